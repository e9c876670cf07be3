#include "movein/MoveInRows.h"

#include <QUrl>

#include "platform/AppRegistry.h"

namespace rk {

namespace {

// The link a row's action opens: its own link, else the application it names
// (a path, or the first installed app with that bundle identifier).
std::optional<QUrl> actionURL(const MoveInSpec::Action& action, const SystemPaths& paths) {
    if (action.url && !action.url->isEmpty()) {
        const QUrl url(*action.url, QUrl::StrictMode);
        if (url.isValid() && !url.scheme().isEmpty())
            return url;
        return std::nullopt;
    }
    if (!action.app || action.app->isEmpty())
        return std::nullopt;
    if (action.app->startsWith('/'))
        return QUrl::fromLocalFile(paths.disk(*action.app));
    const QStringList installed = AppRegistry::current().applicationPaths(*action.app);
    if (installed.isEmpty())
        return std::nullopt;
    return QUrl::fromLocalFile(paths.disk(installed.first()));
}

bool addMark(QSet<QString> MoveIn::Marks::*set, const QString& id, const QString& marksPath) {
    MoveIn::Marks marks = MoveIn::loadMarks(marksPath);
    (marks.*set).insert(id);
    return MoveIn::saveMarks(marks, marksPath).ok();
}

QString orEmpty(const std::optional<QString>& text) {
    return text.value_or(QString());
}

KTReconnectItem fixed(QString id, QString title, QString detail, KTReconnectResult result) {
    KTReconnectItem item;
    item.id = std::move(id);
    item.title = std::move(title);
    item.detail = std::move(detail);
    item.check = [result] { return result; };
    // Nothing to look at: answer at once, so the first drawing already shows it.
    item.checkOnMainThread = true;
    return item;
}

}  // namespace

QString MoveInRows::refusedLine(const QUrl& url) {
    if (url.scheme() == "x-apple.systempreferences")
        return Workspace::settingsNotOpenedLine();
    return notOpenedLine();
}

QString MoveInRows::notOpenedLine() {
    return "This could not be opened on this computer.";
}

MoveInRows::Pressed MoveInRows::press(const MoveInSpec& spec, const QString& actionLabel,
                                      const QString& marksPath, const SystemPaths& paths,
                                      Workspace& workspace) {
    if (actionLabel.isEmpty() || actionLabel == "Done" || actionLabel == "Check again")
        return {};
    if (actionLabel == "Confirm") {
        addMark(&MoveIn::Marks::done, spec.id, marksPath);
        return {.event = "movein.marked"};
    }
    if (spec.action && !spec.action->isEmpty()) {
        // An app no one here has installed, or a link that is not one, opens
        // nothing either: the row says so and stays unopened.
        const auto url = actionURL(*spec.action, paths);
        if (!url)
            return {.refused = notOpenedLine()};
        if (!workspace.openURL(*url, true))
            return {.refused = refusedLine(*url)};
    }
    addMark(&MoveIn::Marks::opened, spec.id, marksPath);
    return {.event = "movein.fix"};
}

QList<KTReconnectItem> MoveInRows::checklist(const MoveInList& list, const QString& marksPath,
                                             const SystemPaths& paths, Recorder record,
                                             Workspace& workspace) {
    QList<KTReconnectItem> items;
    const std::optional<QDateTime> since = list.since;
    Workspace* opener = &workspace;
    for (const MoveInSpec& spec : list.specs) {
        KTReconnectItem item;
        item.id = spec.id;
        item.title = spec.title;
        item.group = orEmpty(spec.group);
        item.detail = orEmpty(spec.how);
        item.note = orEmpty(spec.note);
        item.optional = spec.optional.value_or(false);
        item.check = [spec, since, paths, marksPath] {
            const MoveIn::Env env = MoveIn::liveEnv(spec, since, paths, marksPath);
            return KTReconnectResult{MoveIn::evaluate(spec, env), MoveIn::label(spec, env)};
        };
        item.action = [spec, marksPath, paths, record, opener](const QString& label) {
            const Pressed pressed = press(spec, label, marksPath, paths, *opener);
            if (!pressed.event.isEmpty() && record)
                record(pressed.event);
            return pressed.refused;
        };
        items << item;
    }
    return items;
}

QList<KTReconnectItem> MoveInRows::permissions(const QList<KTPermission>& permissions, Workspace& workspace) {
    QList<KTReconnectItem> items;
    Workspace* opener = &workspace;
    for (const KTPermission& permission : permissions) {
        KTReconnectItem item;
        item.id = "permission." + permission.id;
        item.title = permission.title;
        item.group = "Permissions";
        item.detail = permission.benefit;
        item.optional = permission.isOptional;
        // The wizard's probes must run on the main thread.
        item.checkOnMainThread = true;
        item.check = [permission] {
            if (permission.probeGranted())
                return KTReconnectResult{KTReconnectStatus::connected("Allowed on this Mac"), "Done"};
            return KTReconnectResult{
                KTReconnectStatus::needsAction("Allow it again in Privacy & Security > " +
                                               permission.paneTitle() + "."),
                "Open Settings"};
        };
        const QUrl url = permission.settingsURL;
        item.action = [url, opener](const QString& label) -> std::optional<QString> {
            if (label != "Done" && url.isValid() && !opener->openURL(url, true))
                return refusedLine(url);
            return std::nullopt;
        };
        items << item;
    }
    return items;
}

QList<KTReconnectItem> MoveInRows::demo(const Texts& texts) {
    const Texts t = texts ? texts : [](const QString& s) { return s; };
    return {
        fixed("demo.accessibility", t("TEST Sample App: Accessibility"),
              t("Allow TEST Sample App again in Privacy & Security > Accessibility."),
              {KTReconnectStatus::connected("Allowed in Privacy & Security"), "Done"}),
        fixed("demo.signin", t("TEST Sample Account sign-in"), t("Open TEST Sample App and sign in again."),
              {KTReconnectStatus::needsAction(t("Open TEST Sample App and sign in again.")), "Sign in"}),
        fixed("demo.utility", t("TEST Sample Utility"),
              t("Open TEST Sample Utility once so it starts again."),
              {KTReconnectStatus::needsAction(t("TEST Sample Utility is not running.")), "Open"}),
    };
}

}  // namespace rk
