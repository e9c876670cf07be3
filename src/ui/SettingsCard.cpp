#include "ui/SettingsCard.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "app/model/AppModel.h"
#include "ui/AppActions.h"
#include "ui/Controls.h"
#include "ui/Palette.h"

namespace rk {

namespace {

SettingsCard::UpdatesRows& updatesRows() {
    static SettingsCard::UpdatesRows make;
    return make;
}

}  // namespace

void SettingsCard::setUpdatesRows(UpdatesRows make) {
    updatesRows() = std::move(make);
}

SettingsCard::SettingsCard(AppModel& m, bool dark, QWidget* parent) : QWidget(parent), dark_(dark) {
    setFixedWidth(cardWidth);
    setTextColour(this, Palette::ink(dark));
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(16, 16, 16, 16);
    stack->setSpacing(12);

    stack->addWidget(makeLabel(QStringLiteral("Settings"), {.pixels = 14, .weight = QFont::Bold}, this));

    AppModel* model = &m;
    auto* aiRow = new QHBoxLayout;
    auto* aiText = new QVBoxLayout;
    aiText->setSpacing(2);
    aiText->addWidget(makeLabel(QStringLiteral("Explain unfamiliar items with AI"),
                                {.pixels = 12, .weight = QFont::Medium}, this));
    aiText->addWidget(makeLabel(QStringLiteral("Sends only item names, never photos, folders or your name."),
                                {.pixels = 11, .colour = Palette::dim(dark)}, this));
    aiRow->addLayout(aiText, 1);
    // 1 is yes; 0 (not asked) and 2 (no) both show off.
    ai_ = new CapsuleSwitch(
        dark, m.aiConsent() == 1, [model](bool on) { model->setConsent(on); }, this);
    aiRow->addWidget(ai_, 0, Qt::AlignTop);
    stack->addLayout(aiRow);

    auto* demoRow = new QHBoxLayout;
    demoRow->addWidget(makeLabel(QStringLiteral("Demo mode (made-up rows)"),
                                 {.pixels = 12, .weight = QFont::Medium, .wrap = false}, this));
    demoRow->addStretch(1);
    demo_ = new CapsuleSwitch(
        dark, m.demo(),
        [model](bool on) {
            model->setDemo(on);
            // Going to the page already showing rebuilds it from the new rows.
            model->go(model->step());
        },
        this);
    demoRow->addWidget(demo_, 0, Qt::AlignVCenter);
    stack->addLayout(demoRow);

    stack->addWidget(makeDivider(dark, this));
    updates_ = new QWidget(this);
    auto* updateRows = new QVBoxLayout(updates_);
    updateRows->setContentsMargins(0, 0, 0, 0);
    if (updatesRows()) {
        if (QWidget* rows = updatesRows()(dark, updates_)) {
            updateRows->addWidget(rows);
        }
    }
    const bool hasUpdates = !updates_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty();
    updates_->setVisible(hasUpdates);
    stack->addWidget(updates_);
    if (hasUpdates) {
        stack->addWidget(makeDivider(dark, this));
    }

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(new QuietButton(
        dark, QStringLiteral("Permissions…"), [] { AppActions::current().showPermissions(); }, this));
    saved_ = makeLabel(QString(), {.pixels = 11, .colour = Palette::dim(dark), .selectable = true}, this);
    buttons->addWidget(new QuietButton(
        dark, QStringLiteral("Save Diagnostics…"),
        [this] {
            const QString line = AppActions::current().saveDiagnostics();
            saved_->setText(line);
            saved_->setVisible(!line.isEmpty());
            emit heightChanged();
        },
        this));
    buttons->addStretch(1);
    stack->addLayout(buttons);
    saved_->hide();
    stack->addWidget(saved_);
}

QString SettingsCard::savedLine() const {
    return saved_->isVisible() ? saved_->text() : QString();
}

void SettingsCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Palette::card(dark_));
}

}  // namespace rk
