#include "ui/FindingRow.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "finder/Presence.h"
#include "ui/Palette.h"

namespace rk {

// --- FindingRow

QString FindingRow::titleText(const Finding& f) {
    if (f.count >= 2) {
        return f.shown + QStringLiteral(" ×") + QString::number(f.count);
    }
    return f.shown;
}

FindingRow::FindingRow(bool dark, const Finding& f, const QString& mark, const QColor& colour, bool showWhy,
                       std::function<void(bool)> whyChanged, const SystemPaths& paths, QWidget* parent)
    : QWidget(parent),
      f_(f),
      colour_(colour),
      showWhy_(showWhy),
      whyChanged_(std::move(whyChanged)),
      markLabel_(
          makeLabel(mark, {.pixels = 14, .weight = QFont::Bold, .colour = colour, .wrap = false}, this)),
      titleLabel_(makeLabel(titleText(f), {.pixels = 13, .weight = QFont::DemiBold}, this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 4, 0, 4);
    row->setSpacing(10);
    markLabel_->setFixedWidth(16);
    row->addWidget(markLabel_, 0, Qt::AlignTop);

    auto* lines = new QVBoxLayout;
    lines->setSpacing(3);
    lines->setContentsMargins(0, 0, 0, 0);
    row->addLayout(lines, 1);
    lines->addWidget(titleLabel_);
    lines->addWidget(makeLabel(f.what, {.pixels = 12, .colour = Palette::dim(dark)}, this));
    if (f.tell) {
        tellLabel_ = makeLabel(tellText(*f.tell), {.pixels = 12, .weight = QFont::Medium}, this);
        lines->addWidget(new TellBox(dark, tellLabel_, this));
    }
    if (!f.evidence.isEmpty()) {
        whyButton_ = new TextButton(
            QString(), {.pixels = 11, .colour = Palette::goldText(dark)}, [this] { setShowWhy(!showWhy_); },
            this);
        lines->addWidget(whyButton_, 0, Qt::AlignLeft);
        for (const QString& line : f.evidence) {
            QLabel* label = makeLabel(
                Presence::tilde(line, paths),
                {.pixels = 11, .colour = Palette::dim(dark), .monospaced = true, .selectable = true}, this);
            evidence_.append(label);
            lines->addWidget(label);
        }
    }
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    showWhyNow();
}

void FindingRow::setShowWhy(bool on) {
    if (whyButton_ == nullptr || on == showWhy_) {
        return;
    }
    showWhy_ = on;
    showWhyNow();
    if (whyChanged_) {
        whyChanged_(on);
    }
}

void FindingRow::showWhyNow() {
    if (whyButton_ == nullptr) {
        return;
    }
    whyButton_->setTitle(showWhy_ ? QStringLiteral("Hide how I know") : QStringLiteral("How I know"));
    for (QLabel* label : evidence_) {
        label->setVisible(showWhy_);
    }
}

QStringList FindingRow::evidenceShown() const {
    QStringList shown;
    if (!showWhy_) {
        return shown;
    }
    for (const QLabel* label : evidence_) {
        shown.append(label->text());
    }
    return shown;
}

QString FindingRow::tellShown() const {
    return tellLabel_ != nullptr ? tellLabel_->text() : QString();
}

// --- TellBox

TellBox::TellBox(bool dark, QLabel* label, QWidget* parent) : QWidget(parent), dark_(dark) {
    auto* box = new QVBoxLayout(this);
    // 8 around the text, plus the 3-wide bar on the leading side.
    box->setContentsMargins(11, 8, 8, 8);
    label->setParent(this);
    box->addWidget(label);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void TellBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath box;
    box.addRoundedRect(QRectF(rect()), 6, 6);
    painter.fillPath(box, Palette::withOpacity(Palette::red(dark_), 0.08));
    painter.setClipPath(box);
    painter.fillRect(QRectF(0, 0, 3, height()), Palette::red(dark_));
}

// --- StoreProblem

QString StoreProblem::sentence(StoreError::Kind kind) {
    switch (kind) {
        case StoreError::Kind::format:
            return QStringLiteral(
                "This Mac's list is in a newer format than this version of the app understands, so I am not "
                "guessing at it. An update will fix this.");
        case StoreError::Kind::unreadable:
            return QStringLiteral("I could not read this list just now. It usually works on the next try.");
        case StoreError::Kind::noAccess:
            break;
    }
    return QStringLiteral("Full Disk Access is off, so I cannot read this list yet.");
}

QString StoreProblem::noSuchListSentence() {
    return QStringLiteral("This computer has no such list; I can read it only on a Mac.");
}

StoreProblem::StoreProblem(bool dark, const QString& sentence, QWidget* parent)
    : Card(dark, Palette::amber(dark), parent) {
    add(makeLabel(sentence, {.pixels = 13, .weight = QFont::DemiBold}, this));
}

StoreProblem* StoreProblem::noSuchList(bool dark, QWidget* parent) {
    return new StoreProblem(dark, noSuchListSentence(), parent);
}

StoreProblem::StoreProblem(bool dark, const StoreError& error, std::function<void()> turnOnFullDisk,
                           QWidget* parent)
    // The detail of a format or read failure is for the diagnostics, not the page.
    : StoreProblem(dark, sentence(error.kind), parent) {
    if (error.kind == StoreError::Kind::noAccess) {
        button_ =
            new PrimaryButton(QStringLiteral("Turn on Full Disk Access"), std::move(turnOnFullDisk), this);
        add(button_);
    }
}

}  // namespace rk
