#pragma once
// What a System Settings page's lists are made of: one finding as a row with
// its mark, sentence, how-to-tell box and evidence, and the card that says
// why the store behind the page cannot be read.

#include <QLabel>
#include <QList>
#include <functional>

#include "finder/Decision.h"
#include "finder/StoreError.h"
#include "platform/SystemPaths.h"
#include "ui/Controls.h"

namespace rk {

class FindingRow : public QWidget {
    Q_OBJECT
public:
    // `showWhy` is the page's remembered toggle for this row; `whyChanged`
    // tells the page when the person flips it.
    FindingRow(bool dark, const Finding& f, const QString& mark, const QColor& colour, bool showWhy = false,
               std::function<void(bool)> whyChanged = {}, const SystemPaths& paths = SystemPaths::current(),
               QWidget* parent = nullptr);

    // `shown`, and " ×" with the count when it is 2 or more.
    static QString titleText(const Finding& f);
    static QString tellText(const QString& tell) { return QStringLiteral("How to tell them apart: ") + tell; }

    const Finding& finding() const { return f_; }
    QString mark() const { return markLabel_->text(); }
    QColor markColour() const { return colour_; }
    QString title() const { return titleLabel_->text(); }
    bool showsWhy() const { return showWhy_; }
    // The "How I know" button; none without evidence.
    TextButton* whyButton() const { return whyButton_; }
    // The evidence lines as shown ("~" for the home folder); empty while closed.
    QStringList evidenceShown() const;
    // The labels of the evidence lines, open or not.
    const QList<QLabel*>& evidenceLabels() const { return evidence_; }
    // The "How to tell them apart" text; empty without one.
    QString tellShown() const;

private:
    void setShowWhy(bool on);
    void showWhyNow();

    Finding f_;
    QColor colour_;
    bool showWhy_;
    std::function<void(bool)> whyChanged_;
    QLabel* markLabel_;
    QLabel* titleLabel_;
    QLabel* tellLabel_ = nullptr;
    TextButton* whyButton_ = nullptr;
    QList<QLabel*> evidence_;
};

// The framed box behind "How to tell them apart": a faint red fill with a
// red bar along its leading edge.
class TellBox : public QWidget {
    Q_OBJECT
public:
    TellBox(bool dark, QLabel* label, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool dark_;
};

// Why the page's store cannot be read, in words, on an amber-framed card;
// for missing access, with the button that opens the permission wizard.
class StoreProblem : public Card {
    Q_OBJECT
public:
    StoreProblem(bool dark, const StoreError& error, std::function<void()> turnOnFullDisk,
                 QWidget* parent = nullptr);
    // For a store that does not exist on this computer, which is no Mac: the
    // one sentence saying so, and no control.
    static StoreProblem* noSuchList(bool dark, QWidget* parent = nullptr);

    static QString sentence(StoreError::Kind kind);
    static QString noSuchListSentence();
    // The "Turn on Full Disk Access" button; none unless access is missing.
    PrimaryButton* button() const { return button_; }

private:
    StoreProblem(bool dark, const QString& sentence, QWidget* parent);

    PrimaryButton* button_ = nullptr;
};

}  // namespace rk
