#pragma once
// The card under a System Settings page's photo that explains, in plain
// English, the background items the model offers for explanation, and asks
// first for consent before any name would be sent to the AI service.

#include <QList>
#include <QWidget>

#include "explain/ExplainTypes.h"

namespace rk {

class AppModel;
class Card;

class ExplainCard : public QWidget {
    Q_OBJECT
public:
    // Draws the model's state of this moment; hidden (taking no space) when
    // the model offers nothing to explain.
    ExplainCard(AppModel& m, bool dark, QWidget* parent = nullptr);

    bool isEmpty() const { return card_ == nullptr; }
    bool asksConsent() const { return asks_; }

    // "Explain 2 unfamiliar items with AI?"
    static QString question(qsizetype n);
    // The names that would be sent, one line each (name · id), at most
    // twelve, then "… and N more".
    static QString consentList(const QList<ExplainItem>& pending);
    // The row's first line: the name, and "  ·  " and the id when there is one.
    static QString nameLine(const ExplainItem& item);
    // The row's sentence, or "No explanation yet." without an answer.
    static QString sentence(const ExplainItem& item, const ExplanationMap& explanations);

private:
    QWidget* consentBox(bool dark, const QList<ExplainItem>& pending);

    AppModel& m_;
    Card* card_ = nullptr;
    bool asks_ = false;
};

}  // namespace rk
