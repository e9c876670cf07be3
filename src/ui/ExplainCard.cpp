#include "ui/ExplainCard.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "app/model/AppModel.h"
#include "ui/Controls.h"
#include "ui/Palette.h"

namespace rk {

namespace {

constexpr qsizetype kListedNames = 12;

// The consent question's faint gold ground.
class ConsentBox : public QWidget {
public:
    explicit ConsentBox(QWidget* parent) : QWidget(parent) {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing, true);
        QPainterPath box;
        box.addRoundedRect(QRectF(rect()), 8, 8);
        painter.fillPath(box, Palette::withOpacity(Palette::gold(), 0.12));
    }
};

}  // namespace

QString ExplainCard::question(qsizetype n) {
    return QStringLiteral("Explain ") + QString::number(n) + QStringLiteral(" unfamiliar item") +
           (n == 1 ? QString() : QStringLiteral("s")) + QStringLiteral(" with AI?");
}

QString ExplainCard::consentList(const QList<ExplainItem>& pending) {
    QStringList lines;
    for (qsizetype i = 0; i < pending.size() && i < kListedNames; ++i) {
        const ExplainItem& item = pending[i];
        lines.append(item.id ? item.name + QStringLiteral(" · ") + *item.id : item.name);
    }
    QString text = lines.join(QLatin1Char('\n'));
    if (pending.size() > kListedNames) {
        text += QStringLiteral("\n… and ") + QString::number(pending.size() - kListedNames) +
                QStringLiteral(" more");
    }
    return text;
}

QString ExplainCard::nameLine(const ExplainItem& item) {
    return item.id ? item.name + QStringLiteral("  ·  ") + *item.id : item.name;
}

QString ExplainCard::sentence(const ExplainItem& item, const ExplanationMap& explanations) {
    const auto found = explanations.constFind(item.key);
    return found != explanations.constEnd() ? found->what : QStringLiteral("No explanation yet.");
}

ExplainCard::ExplainCard(AppModel& m, bool dark, QWidget* parent) : QWidget(parent), m_(m) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    const QList<ExplainItem> items = m.explainItems();
    if (items.isEmpty()) {
        hide();
        return;
    }
    card_ = new Card(dark, std::nullopt, this);
    outer->addWidget(card_);
    card_->add(makeLabel(QStringLiteral("Everything else running in the background, in plain English"),
                         {.pixels = 13, .weight = QFont::DemiBold}, card_));
    card_->add(makeLabel(QStringLiteral("Nothing to do here unless a line surprises you."),
                         {.pixels = 11, .colour = Palette::dim(dark)}, card_));
    if (const QList<ExplainItem> named = m.consentItems(); !named.isEmpty() && m.aiConsent() == 0) {
        asks_ = true;
        card_->add(consentBox(dark, named));
    }
    const ExplanationMap& explanations = m.explanations();
    for (const ExplainItem& item : items) {
        auto* row = new QWidget(card_);
        auto* lines = new QVBoxLayout(row);
        lines->setContentsMargins(0, 0, 0, 0);
        lines->setSpacing(2);
        lines->addWidget(new ElidedLabel(nameLine(item), {.pixels = 12, .weight = QFont::DemiBold}, row));
        lines->addWidget(
            makeLabel(sentence(item, explanations), {.pixels = 12, .colour = Palette::dim(dark)}, row));
        card_->add(row);
    }
    if (const std::optional<QString>& note = m.explainNote()) {
        card_->add(makeLabel(*note, {.pixels = 11, .colour = Palette::amber(dark)}, card_));
    }
}

QWidget* ExplainCard::consentBox(bool dark, const QList<ExplainItem>& pending) {
    auto* box = new ConsentBox(card_);
    auto* lines = new QVBoxLayout(box);
    lines->setContentsMargins(10, 10, 10, 10);
    lines->setSpacing(6);
    lines->addWidget(makeLabel(question(pending.size()), {.pixels = 13, .weight = QFont::DemiBold}, box));
    lines->addWidget(
        makeLabel(QStringLiteral("This sends only these names to the AI service (never a photo, a "
                                 "folder, or your name):"),
                  {.pixels = 11, .colour = Palette::dim(dark)}, box));
    lines->addWidget(makeLabel(consentList(pending),
                               {.pixels = 11, .colour = Palette::dim(dark), .monospaced = true}, box));
    auto* buttons = new QHBoxLayout;
    AppModel* model = &m_;
    buttons->addWidget(new PrimaryButton(
        QStringLiteral("Explain them"), [model] { model->setConsent(true); }, box));
    buttons->addWidget(new QuietButton(
        dark, QStringLiteral("Not now"), [model] { model->setConsent(false); }, box));
    buttons->addStretch(1);
    lines->addLayout(buttons);
    return box;
}

}  // namespace rk
