#include "ui/DoneView.h"

#include <QHBoxLayout>

#include "app/model/AppModel.h"
#include "permissions/PermissionProbes.h"
#include "platform/Workspace.h"
#include "ui/AppActions.h"
#include "ui/BadgeAndBanner.h"
#include "ui/Controls.h"
#include "ui/Palette.h"

namespace rk {

DoneView::DoneView(AppModel& m, bool dark, QWidget* parent) : ModelPage(m, dark, 14, parent) {
    for (const auto signal : {&AppModel::macNameChanged, &AppModel::macModelChanged, &AppModel::tccChanged,
                              &AppModel::btmChanged, &AppModel::demoChanged})
        connect(&m, signal, this, &DoneView::scheduleBuild);
    buildNow();
}

QString DoneView::summary(const QList<Step>& unreadLists) {
    const QString after = QStringLiteral(
        "An app you still use simply asks again if it ever needs one of these permissions back.");
    if (unreadLists.isEmpty())
        return QStringLiteral("That is everything on both pages, and nothing needs a restart. ") + after;
    QStringList names;
    for (const Step step : unreadLists)
        names.append(step.title());
    const bool one = names.size() == 1;
    return QStringLiteral("I could not read the ") + names.join(QStringLiteral(" and ")) +
           (one ? QStringLiteral(" list, so this may not be everything on it. ")
                : QStringLiteral(" lists, so this may not be everything on them. ")) +
           QStringLiteral("Nothing needs a restart. ") + after;
}

QList<DoneView::PermissionLink> DoneView::permissionLinks() {
    return {
        {QStringLiteral("Full Disk Access"), KTPermissionProbes::Pane::fullDisk()},
        {QStringLiteral("Accessibility"), KTPermissionProbes::Pane::accessibility()},
        {QStringLiteral("Screen Recording"), KTPermissionProbes::Pane::screenRecording()},
    };
}

void DoneView::build(QVBoxLayout* body) {
    QWidget* page = contents();
    addLeading(body, makeLabel(QStringLiteral("All done"), {.pixels = 22, .weight = QFont::Bold}, page));
    addLeading(body,
               makeLabel(summary(m_.unreadLists()), {.pixels = 14, .colour = Palette::dim(dark())}, page));
    addLeading(body, new MacBadge(dark(), m_.macName(), m_.macModel(), page));

    auto* card = new Card(dark(), std::nullopt, page);
    card->add(makeLabel(QStringLiteral("When you no longer need this app"),
                        {.pixels = 13, .weight = QFont::DemiBold}, card));
    card->add(
        makeLabel(QStringLiteral("It is on three lists itself: Full Disk Access, Accessibility, and Screen "
                                 "Recording. Remove \"Rowkeeper\" from each when you are finished; you can "
                                 "add it back any time."),
                  {.pixels = 12, .colour = Palette::dim(dark())}, card));
    auto* buttons = new QHBoxLayout;
    for (const PermissionLink& permission : permissionLinks()) {
        // Opens the page only: taking the app off each list is the person's act.
        buttons->addWidget(new QuietButton(
            dark(), permission.title,
            [this, link = permission.link] {
                const bool refused = !AppActions::current().openSettingsLink(link);
                if (refused != openRefused_) {
                    openRefused_ = refused;
                    scheduleBuild();
                }
            },
            card));
    }
    buttons->addStretch(1);
    card->addLayout(buttons);
    if (openRefused_) {
        card->add(makeLabel(Workspace::settingsNotOpenedLine(),
                            {.pixels = 12, .colour = Palette::amber(dark())}, card));
    }
    addLeading(body, card);

    AppModel* model = &m_;
    addLeading(body, new PrimaryButton(
                         QStringLiteral("Start again"), [model] { model->go(Step::start); }, page));
}

}  // namespace rk
