#include "ui/StartView.h"

#include <QHBoxLayout>

#include "app/model/AppModel.h"
#include "app/model/Stats.h"
#include "finder/Presence.h"
#include "ui/AppActions.h"
#include "ui/BadgeAndBanner.h"
#include "ui/Controls.h"
#include "ui/Palette.h"

namespace rk {

StartView::StartView(AppModel& m, bool dark, QWidget* parent) : ModelPage(m, dark, 14, parent) {
    for (auto signal : {&AppModel::jobsChanged, &AppModel::grantsChanged, &AppModel::macNameChanged,
                        &AppModel::macModelChanged}) {
        connect(&m, signal, this, &StartView::scheduleBuild);
    }
    buildNow();
}

void StartView::takeToggles(const ModelPage& earlier) {
    if (const auto* start = qobject_cast<const StartView*>(&earlier)) {
        showJobs_ = start->showJobs_;
        buildNow();
    }
}

QList<LaunchJob> StartView::gone(const QList<LaunchJob>& jobs, const SystemPaths& paths) {
    QList<LaunchJob> result;
    for (const LaunchJob& job : jobs) {
        if (!job.programExists(paths)) {
            result.append(job);
        }
    }
    return result;
}

QString StartView::showTitle(int jobs, bool open) {
    const QString verb = open ? QStringLiteral("Hide ") : QStringLiteral("Show ");
    return verb + (jobs == 1 ? QStringLiteral("it") : QStringLiteral("them"));
}

QString StartView::jobLine(const LaunchJob& job, const SystemPaths& paths) {
    return QStringLiteral("Runs ") + Presence::tilde(job.program.value_or(QString()), paths) +
           QStringLiteral(", which is gone. Set up by: ") + job.scope + QStringLiteral(".");
}

QString StartView::permissionTitle(const Grants& grants) {
    return grants.fullDisk && grants.accessibility ? QStringLiteral("Review permissions")
                                                   : QStringLiteral("Set up permissions");
}

void StartView::build(QVBoxLayout* body) {
    QWidget* page = contents();
    addLeading(body, makeLabel(QStringLiteral("Tidy up what runs on this Mac"),
                               {.pixels = 22, .weight = QFont::Bold}, page));
    addLeading(body,
               makeLabel(QStringLiteral("I read the lists macOS keeps of what can control your Mac and what "
                                        "starts by itself, find the leftovers, and point at each one on the "
                                        "real System Settings screen. You make every change yourself: I only "
                                        "point and explain."),
                         {.pixels = 14, .colour = Palette::dim(dark())}, page));
    addLeading(body, new MacBadge(dark(), m_.macName(), m_.macModel(), page));
    addLeading(body, findingsCard());
    addLeading(body, permissionsCard());
    body->addLayout(startRow());
}

QWidget* StartView::findingsCard() {
    const QList<LaunchJob>& jobs = m_.jobs();
    const QList<LaunchJob> goneJobs = gone(jobs);
    auto* card = new Card(dark(), std::nullopt, contents());
    card->add(makeLabel(QStringLiteral("Already found, with no permissions"),
                        {.pixels = 13, .weight = QFont::DemiBold}, card));
    card->add(makeLabel(ScanLine::text(int(jobs.size()), int(goneJobs.size())), {.pixels = 13}, card));
    if (goneJobs.isEmpty()) {
        return card;
    }
    card->add(new TextButton(
        showTitle(int(jobs.size()), showJobs_),
        {.pixels = 12, .weight = QFont::Medium, .colour = Palette::goldText(dark())},
        [this] {
            showJobs_ = !showJobs_;
            scheduleBuild();
        },
        card));
    if (!showJobs_) {
        return card;
    }
    for (const LaunchJob& job : goneJobs) {
        auto* entry = new QWidget(card);
        auto* lines = new QVBoxLayout(entry);
        lines->setContentsMargins(0, 0, 0, 0);
        lines->setSpacing(2);
        lines->addWidget(makeLabel(job.label, {.pixels = 12, .weight = QFont::DemiBold}, entry));
        lines->addWidget(makeLabel(jobLine(job), {.pixels = 11, .colour = Palette::dim(dark())}, entry));
        card->add(entry);
    }
    return card;
}

QWidget* StartView::permissionsCard() {
    const Grants grants = m_.grants();
    auto* card = new Card(dark(), std::nullopt, contents());
    card->add(makeLabel(QStringLiteral("To do the rest, three permissions"),
                        {.pixels = 13, .weight = QFont::DemiBold}, card));
    card->add(new GrantRow(
        dark(), QStringLiteral("Full Disk Access"),
        QStringLiteral("Reads the two lists: who can control this Mac, and what starts by itself."),
        grants.fullDisk, card));
    card->add(new GrantRow(
        dark(), QStringLiteral("Accessibility"),
        QStringLiteral(
            "Opens the right page, highlights the row, and marks it in red or green on the screen."),
        grants.accessibility, card));
    card->add(new GrantRow(dark(), QStringLiteral("Screen Recording (optional)"),
                           QStringLiteral("Adds a photo here and tells apart rows that share a name."),
                           grants.screen, card));
    card->content()->addSpacing(4);
    card->add(new PrimaryButton(
        permissionTitle(grants),
        [] {
            Stats::record(QStringLiteral("permissions.open"));
            AppActions::current().showPermissions();
        },
        card));
    return card;
}

QLayout* StartView::startRow() {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    AppModel* model = &m_;
    row->addWidget(new PrimaryButton(
        QStringLiteral("Start with Accessibility  →"), [model] { model->go(Step::accessibility); },
        contents()));
    row->addWidget(new QuietButton(
        dark(), QStringLiteral("Go to Login Items"), [model] { model->go(Step::loginItems); }, contents()));
    row->addStretch(1);
    return row;
}

}  // namespace rk
