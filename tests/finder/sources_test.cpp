// Candidates of the two pages, built from store records against a temporary
// machine: which records become candidates, under which names, with which
// verdict and words.

#include "finder/Sources.h"

#include <gtest/gtest.h>

#include <ostream>

#include "finder/Decide.h"
#include "support/PlatformFakes.h"
#include "support/TempRoot.h"

namespace rk {

void PrintTo(const Candidate& c, std::ostream* os) {
    *os << "{key=" << c.key.toStdString() << " names=[" << c.names.join(", ").toStdString()
        << "] liveness=" << int(c.liveness.kind()) << ":\"" << c.liveness.evidence().toStdString()
        << "\" testWhy=" << (c.testWhy ? c.testWhy->toStdString() : "none")
        << " kind=" << c.kindWord.toStdString() << " detail=\"" << c.detail.toStdString() << "\"}";
}

namespace {

using test::FakeAppRegistry;
using test::FakeVolumes;
using test::TempRoot;

const QString ax = "kTCCServiceAccessibility";

TCCRow bundleRow(const QString& client, TCCRow::DB db = TCCRow::DB::system, qint64 auth = 2) {
    return TCCRow{client, 0, ax, auth, db};
}
TCCRow pathRow(const QString& client, TCCRow::DB db = TCCRow::DB::system) {
    return TCCRow{client, 1, ax, 2, db};
}

Candidate app(const QString& client, const QStringList& names, Liveness l, std::optional<QString> why = {}) {
    return Candidate{client, names, std::move(l), std::move(why), "app", "The app " + client + "."};
}
// An app no installed program answers to.
Candidate goneApp(const QString& client, const QStringList& names, std::optional<QString> why = {}) {
    return app(client, names, Liveness::gone("no installed app answers to " + client), std::move(why));
}

// A program client: `shown` is its path as the person reads it.
Candidate program(const QString& path, const QString& name, Liveness l, const QString& shown,
                  std::optional<QString> why = {}) {
    return Candidate{path, {name}, std::move(l), std::move(why), "program", "A program at " + shown + "."};
}

// A display name chosen freely, as the file manager of the Mac gives it.
class FixedAppNames : public AppNames {
public:
    QHash<QString, QString> preferred;  // bundle identifier -> path
    QHash<QString, QString> shown;      // path -> display name
    std::optional<QString> preferredApplicationPath(const QString& id) const override {
        if (!preferred.contains(id))
            return std::nullopt;
        return preferred.value(id);
    }
    QString displayName(const QString& path) const override { return shown.value(path); }
};

class SourcesTest : public testing::Test {
protected:
    SourcesTest() {
        root.makeFolder("/Applications/Toolbox.app");
        registry.pathsOf["com.vendor.Toolbox"] = {"/Applications/Toolbox.app"};
    }
    QList<Candidate> accessibility(const QList<TCCRow>& rows) {
        return Sources::accessibility(rows, root.paths(), registry, volumes, names);
    }
    QList<Candidate> loginItems(const QList<BTMRecord>& records, const QList<LaunchJob>& jobs = {}) {
        return Sources::loginItems(records, jobs, root.paths());
    }

    TempRoot root{"/Users/anna"};
    FakeAppRegistry registry;
    FakeVolumes volumes;
    HostAppNames names{&registry};
};

struct AxCase {
    AxCase(std::string name, QList<TCCRow> rows, QList<Candidate> expected)
        : name(std::move(name)), rows(std::move(rows)), expected(std::move(expected)) {}
    std::string name;
    QList<TCCRow> rows;
    QList<Candidate> expected;
};

void PrintTo(const AxCase& c, std::ostream* os) {
    *os << c.name;
}

const Candidate liveTool =
    program("/Users/anna/bin/tool", "tool", Liveness::live("found at ~/bin/tool"), "~/bin/tool");
const Candidate toolbox = app("com.vendor.Toolbox", {"Toolbox", "com.vendor.Toolbox", "Toolbox"},
                              Liveness::live("installed at /Applications/Toolbox.app"));

class AccessibilitySources : public SourcesTest, public testing::WithParamInterface<AxCase> {};

TEST_P(AccessibilitySources, Candidates) {
    root.writeFile("/Users/anna/bin/tool", "#!/bin/sh\n");
    EXPECT_EQ(accessibility(GetParam().rows), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AccessibilitySources,
    testing::Values(
        AxCase("SameClientInBothDatabasesGivesOneCandidate",
               {bundleRow("com.vendor.Toolbox", TCCRow::DB::system, 0),
                bundleRow("com.vendor.Toolbox", TCCRow::DB::user, 2), pathRow("/Users/anna/bin/tool"),
                pathRow("/Users/anna/bin/tool", TCCRow::DB::user)},
               {toolbox, liveTool}),
        AxCase("OtherServicesGiveNoCandidate",
               {TCCRow{"com.vendor.Toolbox", 0, "kTCCServiceScreenCapture", 2, TCCRow::DB::user},
                TCCRow{"com.vendor.Other", 0, "kTCCServiceAccessibilityX", 2, TCCRow::DB::user}},
               {}),
        AxCase("UninstalledBundleHasOnlyItsIdentifierNames", {bundleRow("com.vendor.Gone")},
               {goneApp("com.vendor.Gone", {"com.vendor.Gone", "Gone"})}),
        AxCase("ClientWithoutDotsIsListedTwice", {bundleRow("Toolbox")},
               {goneApp("Toolbox", {"Toolbox", "Toolbox"})}),
        AxCase("EmptyPartsAreLeftOutOfTheLastPart", {bundleRow("com.vendor.Thing..")},
               {goneApp("com.vendor.Thing..", {"com.vendor.Thing..", "Thing"})}),
        AxCase("ClientsOfDotsOnlyHaveNoEmptyLastPart", {bundleRow("."), bundleRow("..")},
               {goneApp(".", {"."}), goneApp("..", {".."})}),
        // The same folder name, composed in one database and decomposed in the other.
        AxCase("CanonicallyEqualClientsGiveOneCandidate",
               {pathRow(QString::fromUtf8("/Users/anna/bin/Caf\xC3\xA9")),
                pathRow(QString::fromUtf8("/Users/anna/bin/Cafe\xCC\x81"), TCCRow::DB::user)},
               {program(QString::fromUtf8("/Users/anna/bin/Caf\xC3\xA9"), QString::fromUtf8("Caf\xC3\xA9"),
                        Liveness::gone(QString::fromUtf8("nothing at ~/bin/Caf\xC3\xA9")),
                        QString::fromUtf8("~/bin/Caf\xC3\xA9"))}),
        AxCase("PathEndingInASlashIsNamedByItsLastComponent", {pathRow("/Users/anna/bin/Tool.app/")},
               {program("/Users/anna/bin/Tool.app/", "Tool.app", Liveness::gone("nothing at ~/bin/Tool.app/"),
                        "~/bin/Tool.app/")}),
        AxCase("TestBuildReasonsFromTheClient",
               {bundleRow("com.vendor.tool.1234567890"), pathRow("/private/tmp/x/helper")},
               {goneApp("com.vendor.tool.1234567890", {"com.vendor.tool.1234567890", "1234567890"},
                        "a per-run numeric suffix"),
                program("/private/tmp/x/helper", "helper", Liveness::gone("nothing at /private/tmp/x/helper"),
                        "/private/tmp/x/helper", "a program in a temporary folder")})),
    [](const testing::TestParamInfo<AxCase>& info) { return info.param.name; });

TEST_F(SourcesTest, FileManagerDisplayNameLosingOnlyATrailingAppOnlyOfAPreferredLiveApplication) {
    EXPECT_EQ(Sources::withoutAppSuffix("Some Tool.app"), "Some Tool");
    EXPECT_EQ(Sources::withoutAppSuffix("Foo.appliance.app"), "Foo.appliance");
    EXPECT_EQ(Sources::withoutAppSuffix("Foo.appliance"), "Foo.appliance");
    EXPECT_EQ(Sources::withoutAppSuffix("Webapp.apps"), "Webapp.apps");
    EXPECT_EQ(Sources::withoutAppSuffix("Tool.App"), "Tool.App");
    // The file manager's display name leads the names of a live app it prefers;
    // an app it does not prefer (Toolbox) or one that is not live has none.
    root.makeFolder("/Applications/Some Tool.app");
    root.makeFolder("/Users/anna/.Trash/Old.app");
    registry.pathsOf["com.vendor.some"] = {"/Applications/Some Tool.app"};
    registry.pathsOf["com.vendor.old"] = {"/Users/anna/.Trash/Old.app"};
    FixedAppNames fixed;
    fixed.preferred = {{"com.vendor.some", "/Applications/Some Tool.app"},
                       {"com.vendor.old", "/Users/anna/.Trash/Old.app"}};
    fixed.shown = {{"/Applications/Some Tool.app", "Some Tool.app"}, {"/Users/anna/.Trash/Old.app", "Old"}};
    QList<QStringList> names;
    for (const Candidate& c : Sources::accessibility(
             {bundleRow("com.vendor.some"), bundleRow("com.vendor.Toolbox"), bundleRow("com.vendor.old")},
             root.paths(), registry, volumes, fixed))
        names << c.names;
    EXPECT_EQ(names, (QList<QStringList>{{"Some Tool", "com.vendor.some", "some"},
                                         {"com.vendor.Toolbox", "Toolbox"},
                                         {"com.vendor.old", "old"}}));
}

// An installed app whose name holds ".app" inside it must still match its own
// row; otherwise an old record of the same name would get a red mark on it.
TEST_F(SourcesTest, AppNameWithAppInsideStillOwnsItsRow) {
    root.makeFolder("/Applications/Foo.appliance.app");
    registry.pathsOf["com.vendor.fa"] = {"/Applications/Foo.appliance.app"};
    const auto candidates =
        accessibility({pathRow("/Users/anna/Downloads/Foo.appliance"), bundleRow("com.vendor.fa")});
    ASSERT_EQ(candidates.size(), 2);
    EXPECT_EQ(candidates[1].names.first(), "Foo.appliance");

    const Decision d =
        Decide::page(candidates, QList<PaneRow>{PaneRow{PaneSection::accessibility, "Foo.appliance",
                                                        Rect{0, 0, 100, 20}, 0, true, std::nullopt}});
    EXPECT_TRUE(d.marks.isEmpty());
    EXPECT_EQ(d.removeCount(), 0);
    ASSERT_EQ(d.findings.size(), 2);
    EXPECT_EQ(d.findings[0].id, "k:Foo.appliance");
    EXPECT_EQ(d.findings[1].id, "h:/Users/anna/Downloads/Foo.appliance");
}

constexpr qint64 appType = 0x2;
constexpr qint64 agentType = 0x8;
constexpr qint64 daemonType = 0x10;

BTMRecord record(const QString& name, qint64 type, std::optional<QString> path,
                 std::optional<QString> identifier, bool enabled = true,
                 std::optional<QString> executable = std::nullopt) {
    BTMRecord r;
    r.user = "501";
    r.name = name;
    r.type = type;
    r.disposition = enabled ? 0x3 : 0x2;
    r.path = path;
    if (path)
        r.url = "file://" + *path;
    r.identifier = identifier;
    r.executablePath = executable;
    return r;
}

Candidate job(const QString& key, const QString& name, Liveness l, const QString& label,
              std::optional<QString> why = {}) {
    return Candidate{
        key, {name}, std::move(l), std::move(why), "background job", "Background job " + label + "."};
}

Candidate loginApp(const QString& key, const QString& name, Liveness l, std::optional<QString> why = {}) {
    return Candidate{key, {name}, std::move(l), std::move(why), "app", "The app " + name + "."};
}

const QString agents = "/Users/anna/Library/LaunchAgents";

struct LoginCase {
    LoginCase(std::string name, QList<BTMRecord> records, QList<LaunchJob> jobs, QList<Candidate> expected)
        : name(std::move(name)),
          records(std::move(records)),
          jobs(std::move(jobs)),
          expected(std::move(expected)) {}
    std::string name;
    QList<BTMRecord> records;
    QList<LaunchJob> jobs;
    QList<Candidate> expected;
};

void PrintTo(const LoginCase& c, std::ostream* os) {
    *os << c.name;
}

class LoginItemSources : public SourcesTest, public testing::WithParamInterface<LoginCase> {};

TEST_P(LoginItemSources, Candidates) {
    root.makeFolder("/Applications/Sync.app");
    root.writeFile(agents + "/com.v.sync.plist", "<plist/>");
    root.writeFile("/Library/LaunchDaemons/com.v.d.plist", "<plist/>");
    root.writeFile("/usr/local/bin/present", "x");
    root.makeFolder("/Users/anna/.Trash/Trashed.app");
    root.writeFile(agents + QString::fromUtf8("/cafe\xCC\x81.plist"), "<plist/>");
    EXPECT_EQ(loginItems(GetParam().records, GetParam().jobs), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Records, LoginItemSources,
    testing::Values(
        LoginCase("GoneAppSwitchedOnStaysSwitchedOffGoes",
                  {record("Old", appType, "/Applications/Old.app", "2.com.v.old", true),
                   record("Older", appType, "/Applications/Older.app", "2.com.v.older", false),
                   record("Trashed", appType, "/Users/anna/.Trash/Trashed.app", "2.com.v.trash", true)},
                  {},
                  {loginApp("2.com.v.old", "Old", Liveness::gone("nothing at /Applications/Old.app")),
                   loginApp("2.com.v.trash", "Trashed", Liveness::gone("in the Trash"))}),
        LoginCase("DuplicateIdentifiersGiveOneCandidateFromTheFirst",
                  {record("First", appType, "/Applications/Sync.app", "2.com.v.sync"),
                   record("Second", appType, "/Applications/Old.app", "2.com.v.sync")},
                  {}, {loginApp("2.com.v.sync", "First", Liveness::live("found at /Applications/Sync.app"))}),
        LoginCase(
            "CanonicallyEqualKeysGiveOneCandidate",
            {record("First", appType, "/Applications/Sync.app", QString::fromUtf8("2.com.v.caf\xC3\xA9")),
             record("Second", appType, "/Applications/Sync.app", QString::fromUtf8("2.com.v.cafe\xCC\x81"))},
            {},
            {loginApp(QString::fromUtf8("2.com.v.caf\xC3\xA9"), "First",
                      Liveness::live("found at /Applications/Sync.app"))}),
        LoginCase("KeyFallsBackToUrlThenName",
                  {record("Sync", appType, "/Applications/Sync.app", std::nullopt),
                   record("NoPath", agentType, std::nullopt, std::nullopt),
                   record("Blocked", appType, "/Applications/Sync.app", "NoPath"),
                   record("Other", appType, "/Applications/Sync.app", std::nullopt)},
                  {},
                  {loginApp("file:///Applications/Sync.app", "Sync",
                            Liveness::live("found at /Applications/Sync.app"))}),
        // A skipped record still takes its key: the live "On" after "Off" gives nothing.
        LoginCase("RecordsWithoutPathOrKindOrSwitchedOffAreSkipped",
                  {record("NoPath", appType, std::nullopt, "a"),
                   record("Legacy", 0x10000, agents + "/com.v.sync.plist", "b"),
                   record("None", 0, "/Applications/Sync.app", "c"),
                   record("Sync Agent", agentType, agents + "/com.v.sync.plist", "16.com.v.sync", false,
                          "/usr/local/bin/relay"),
                   record("Off", appType, "/Applications/Old.app", "2.com.v.sync", false),
                   record("On", appType, "/Applications/Sync.app", "2.com.v.sync")},
                  {}, {}),
        LoginCase(
            "DeletedSettingsFile",
            {record("Sync Agent", agentType, agents + "/com.v.gone.plist", "16.com.v.gone"),
             record("Quiet", agentType, agents + "/com.v.quiet.plist", "16.com.v.quiet", false)},
            {},
            {job("16.com.v.gone", "Sync Agent",
                 Liveness::gone(
                     "its settings file was deleted (nothing at ~/Library/LaunchAgents/com.v.gone.plist)"),
                 "com.v.gone")}),
        LoginCase("ProgramGoneViaTheLaunchdJob",
                  {record("Sync Agent", agentType, agents + "/com.v.sync.plist", "16.com.v.sync", true,
                          "/usr/local/bin/present")},
                  {LaunchJob{agents + "/com.v.sync.plist", "com.v.sync", "/Users/anna/bin/syncd", "you"}},
                  {job("16.com.v.sync", "Sync Agent",
                       Liveness::gone("its program is gone (nothing at ~/bin/syncd)"), "com.v.sync")}),
        LoginCase("ProgramGoneViaExecutablePath",
                  {record("Daemon", daemonType, "/Library/LaunchDaemons/com.v.d.plist", "8.com.v.d", true,
                          "/usr/local/bin/relay")},
                  {LaunchJob{"/Library/LaunchDaemons/com.v.d.plist", "com.v.d", std::nullopt,
                             "all users (daemon)"}},
                  {job("8.com.v.d", "Daemon",
                       Liveness::gone("its program is gone (nothing at /usr/local/bin/relay)"), "com.v.d")}),
        LoginCase("LaunchdProgramWinsOverExecutablePath",
                  {record("Sync Agent", agentType, agents + "/com.v.sync.plist", "16.com.v.sync", true,
                          "/usr/local/bin/relay")},
                  {LaunchJob{agents + "/com.v.sync.plist", "com.v.sync", "/usr/local/bin/present", "you"}},
                  {job("16.com.v.sync", "Sync Agent",
                       Liveness::live("found at ~/Library/LaunchAgents/com.v.sync.plist"), "com.v.sync")}),
        LoginCase("RelativeOrMissingProgramStaysLive",
                  {record("Py", agentType, agents + "/com.v.sync.plist", "16.com.v.sync", true,
                          "/usr/local/bin/relay"),
                   record("Bare", daemonType, "/Library/LaunchDaemons/com.v.d.plist", "8.com.v.d")},
                  {LaunchJob{agents + "/com.v.sync.plist", "com.v.sync", "python3", "you"}},
                  {job("16.com.v.sync", "Py",
                       Liveness::live("found at ~/Library/LaunchAgents/com.v.sync.plist"), "com.v.sync"),
                   job("8.com.v.d", "Bare", Liveness::live("found at /Library/LaunchDaemons/com.v.d.plist"),
                       "com.v.d")}),
        LoginCase("LaunchdJobFoundUnderACanonicallyEqualPath",
                  {record("Caf\u00e9", agentType, agents + QString::fromUtf8("/cafe\xCC\x81.plist"),
                          "16.com.v.cafe")},
                  {LaunchJob{agents + "/caf\u00e9.plist", "com.v.cafe", "/Users/anna/bin/cafed", "you"}},
                  {job("16.com.v.cafe", "Caf\u00e9",
                       Liveness::gone("its program is gone (nothing at ~/bin/cafed)"), "com.v.cafe")}),
        LoginCase("SettingsFileOnUnpluggedDrive",
                  {record("Ext", agentType, "/Volumes/Backup/com.v.ext.plist", "16.com.v.ext", false)}, {},
                  {job("16.com.v.ext", "Ext",
                       Liveness::driveNotConnected("on the drive \"Backup\", which is not connected"),
                       "com.v.ext")}),
        LoginCase("DetailFallsBackToTheFileName",
                  {record("Sync Agent", agentType, agents + "/com.v.sync.plist", "nodots")}, {},
                  {job("nodots", "Sync Agent",
                       Liveness::live("found at ~/Library/LaunchAgents/com.v.sync.plist"),
                       "com.v.sync.plist")}),
        LoginCase("TestBuildReasonFromThePath",
                  {record("Tmp", appType, "/private/tmp/build/Tmp.app", "2.com.v.tmp")}, {},
                  {loginApp("2.com.v.tmp", "Tmp", Liveness::gone("nothing at /private/tmp/build/Tmp.app"),
                            "a program in a temporary folder")})),
    [](const testing::TestParamInfo<LoginCase>& info) { return info.param.name; });

}  // namespace
}  // namespace rk
