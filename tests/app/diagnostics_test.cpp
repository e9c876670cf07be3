// The diagnostics file: its fourteen members from the model and the
// counters, the machine facts, its name and place, and saving it.

#include "app/Diagnostics.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <cerrno>

#include "app/model/AppInfo.h"
#include "support/LaunchPlistWriter.h"
#include "support/ModelFakes.h"
#include "support/PlatformFakes.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

class FakeHost final : public DiagnosticsHost {
public:
    QString osVersion() const override { return QStringLiteral("Debian GNU/Linux 12 (bookworm)"); }
    QString hardwareModel() const override { return QStringLiteral("Mac16,1"); }
    int cores() const override { return 10; }
    quint64 memoryBytes() const override { return memory; }
    void reveal(const QString& diskPath) override { revealed << diskPath; }

    quint64 memory = 16ull << 30;
    QStringList revealed;
};

const QStringList kKeys{"ai_consent", "app_build", "app_version", "cores",  "counts", "grants", "hw_model",
                        "macos",      "memory_gb", "phase",       "schema", "step",   "stores", "usage"};

class DiagnosticsTest : public ::testing::Test {
protected:
    AppModel& model() {
        if (!world.model)
            world.model = std::make_unique<AppModel>(world.seams);
        return *world.model;
    }
    QJsonObject bundle() {
        return Diagnostics::bundle(DiagnosticsInputs::of(model(), *world.counters), host);
    }

    ModelWorld world;
    FakeHost host;
};

TEST_F(DiagnosticsTest, AtOnceAfterLaunchNothingHasBeenRead) {
    const QJsonObject d = bundle();
    EXPECT_EQ(d.keys(), kKeys);
    EXPECT_EQ(d["schema"].toInt(), 1);
    EXPECT_EQ(d["app_version"].toString(), AppInfo::version());
    EXPECT_EQ(d["app_build"].toString(), AppInfo::build());
    EXPECT_EQ(d["macos"].toString(), host.osVersion());
    EXPECT_EQ(d["hw_model"].toString(), QStringLiteral("Mac16,1"));
    EXPECT_EQ(d["cores"].toInt(), 10);
    EXPECT_EQ(d["memory_gb"].toInt(), 16);
    EXPECT_EQ(d["stores"].toObject(),
              (QJsonObject{{"tcc", "not_read"}, {"btm", "not_read"}, {"btm_version", 0}}));
    EXPECT_EQ(d["grants"].toObject(),
              (QJsonObject{{"full_disk", false}, {"accessibility", false}, {"screen", false}}));
    EXPECT_EQ(
        d["counts"].toObject(),
        (QJsonObject{
            {"launch_jobs", 0}, {"launch_jobs_gone", 0}, {"findings_remove", 0}, {"findings_look", 0}}));
    EXPECT_EQ(d["phase"].toString(), QStringLiteral("idle"));
    EXPECT_EQ(d["step"].toString(), QStringLiteral("start"));
    EXPECT_EQ(d["ai_consent"].toInt(), 0);
    EXPECT_EQ(d["usage"].toObject(), QJsonObject());
}

TEST_F(DiagnosticsTest, AfterTheFirstReadsStoresJobsAndCounters) {
    world.root.writeFile(
        world.root.paths().userLaunchAgents() + "/com.gone.agent.plist",
        LaunchPlistWriter::write({"com.gone.agent", "/Applications/Gone.app/gone", std::nullopt}));
    world.root.writeFile(world.root.paths().userLaunchAgents() + "/com.live.agent.plist",
                         LaunchPlistWriter::write({"com.live.agent", "/usr/bin/live", std::nullopt}));
    world.root.writeFile("/usr/bin/live", "#!/bin/sh\n");
    model().start();
    Stats::record("launch");
    Stats::record("launch");
    const QJsonObject d = bundle();
    EXPECT_EQ(d["stores"].toObject(), (QJsonObject{{"tcc", "ok"}, {"btm", "ok"}, {"btm_version", 4}}));
    EXPECT_EQ(d["counts"].toObject()["launch_jobs"].toInt(), 2);
    EXPECT_EQ(d["counts"].toObject()["launch_jobs_gone"].toInt(), 1);
    EXPECT_EQ(d["grants"].toObject()["full_disk"].toBool(), true);
    EXPECT_EQ(d["usage"].toObject(), (QJsonObject{{"launch", 2}}));
}

TEST_F(DiagnosticsTest, APrivacyDatabaseWithoutAccessReadsNoAccess) {
    FakeFileProbe files;
    files.openErrors.insert(world.root.disk(world.root.paths().systemTCC()), EACCES);
    files.openErrors.insert(world.root.disk(world.root.paths().userTCC()), EACCES);
    ScopedCurrent<FileProbe> probe(&files);
    model().start();
    EXPECT_EQ(bundle()["stores"].toObject()["tcc"].toString(), QStringLiteral("no_access"));
}

TEST_F(DiagnosticsTest, FindingsAreCountedByVerdict) {
    DiagnosticsInputs inputs;
    for (Finding::Verdict verdict :
         {Finding::Verdict::remove, Finding::Verdict::look, Finding::Verdict::remove, Finding::Verdict::keep,
          Finding::Verdict::hidden, Finding::Verdict::look, Finding::Verdict::remove}) {
        Finding finding;
        finding.verdict = verdict;
        inputs.decision.findings << finding;
    }
    inputs.tcc = AppModel::TCCRead(fail(StoreError::format("no access table")));
    inputs.btm = AppModel::BTMRead(fail(StoreError::unreadable("missing")));
    const QJsonObject d = Diagnostics::bundle(inputs, host);
    EXPECT_EQ(d["counts"].toObject()["findings_remove"].toInt(), 3);
    EXPECT_EQ(d["counts"].toObject()["findings_look"].toInt(), 2);
    EXPECT_EQ(d["stores"].toObject(),
              (QJsonObject{{"tcc", "format"}, {"btm", "unreadable"}, {"btm_version", 0}}));
}

TEST(DiagnosticsWords, PhasesByTheirCaseNamesAndMemoryInWholeGibibytes) {
    const QList<std::pair<Phase, const char*>> names{{Phase::idle, "idle"},
                                                     {Phase::working, "working"},
                                                     {Phase::selected, "selected"},
                                                     {Phase::circled, "circled"},
                                                     {Phase::scroll, "scroll"},
                                                     {Phase::wrongPage, "wrongPage"},
                                                     {Phase::nothingLeft, "nothingLeft"},
                                                     {Phase::notOpen, "notOpen"},
                                                     {Phase::noAccessibility, "noAccessibility"}};
    for (const auto& [phase, name] : names)
        EXPECT_EQ(Diagnostics::phaseName(phase), QString::fromLatin1(name));
    EXPECT_EQ(Diagnostics::wholeGiB(16ull << 30), 16);
    EXPECT_EQ(Diagnostics::wholeGiB((16ull << 30) - 1), 15);
    EXPECT_EQ(Diagnostics::wholeGiB(0), 0);
}

TEST(DiagnosticsFile, NamedForTheLocalMinute) {
    EXPECT_EQ(Diagnostics::fileName(QDateTime(QDate(2026, 12, 5), QTime(16, 41, 59))),
              QStringLiteral("Rowkeeper Diagnostics 2026-12-05 1641.json"));
    EXPECT_EQ(Diagnostics::fileName(QDateTime(QDate(2027, 1, 2), QTime(3, 4))),
              QStringLiteral("Rowkeeper Diagnostics 2027-01-02 0304.json"));
}

TEST(DiagnosticsFile, PrettyPrintedWithSortedKeys) {
    const QByteArray text =
        Diagnostics::json(QJsonObject{{"usage", QJsonObject{{"b", 1}, {"a", 2}}}, {"cores", 1}});
    EXPECT_LT(text.indexOf("\"cores\""), text.indexOf("\"usage\""));
    EXPECT_LT(text.indexOf("\"a\""), text.indexOf("\"b\""));
    EXPECT_TRUE(text.contains('\n'));
}

TEST(HostDiagnosticsTest, TheFirmwaresModelNameOrUnknown) {
    TempRoot root;
    HostDiagnostics host(root.paths());
    EXPECT_EQ(host.hardwareModel(), QStringLiteral("unknown"));
    root.writeFile(root.paths().productNameFile(), "\n");
    EXPECT_EQ(host.hardwareModel(), QStringLiteral("unknown"));
    root.writeFile(root.paths().productNameFile(), "  ThinkPad X1 Carbon Gen 9 \n");
    EXPECT_EQ(host.hardwareModel(), QStringLiteral("ThinkPad X1 Carbon Gen 9"));
    EXPECT_GT(host.cores(), 0);
    EXPECT_GT(host.memoryBytes(), 0u);
    EXPECT_FALSE(host.osVersion().isEmpty());
}

class Saving : public ::testing::Test {
protected:
    QString desktop() const { return root.disk(root.paths().desktop()); }
    Result<QString, QString> save(const QJsonObject& object, const QDateTime& at) {
        return Diagnostics::saveAndReveal(object, at, root.paths(), host, counters);
    }
    TempRoot root;
    FakeHost host;
    FakeClock clock;
    UsageCounters counters{UsageCounters::Options{root.root() + "/support", &clock}};
};

TEST_F(Saving, TwoSavesInOneMinuteLeaveOneFileTheLaterOne) {
    const auto first =
        save(QJsonObject{{"schema", 1}, {"step", "start"}}, QDateTime(QDate(2026, 12, 5), QTime(16, 41, 2)));
    const auto second =
        save(QJsonObject{{"schema", 1}, {"step", "done"}}, QDateTime(QDate(2026, 12, 5), QTime(16, 41, 40)));
    ASSERT_TRUE(first.ok());
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(first.value(), second.value());
    EXPECT_EQ(QDir(desktop()).entryList(QDir::Files),
              QStringList{"Rowkeeper Diagnostics 2026-12-05 1641.json"});
    QFile file(second.value());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(file.readAll()).object()["step"].toString(), QStringLiteral("done"));
    EXPECT_EQ(host.revealed, (QStringList{first.value(), second.value()}));
    EXPECT_EQ(counters.snapshot().value("diagnostics.save"), 2);
}

TEST_F(Saving, AFailedWriteIsReportedAndNeitherRevealedNorCounted) {
    root.writeFile(root.paths().desktop(), "a file where the folder should be");
    testing::internal::CaptureStderr();
    const auto saved = save(QJsonObject{{"schema", 1}}, QDateTime(QDate(2026, 12, 5), QTime(16, 41)));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(saved.ok());
    EXPECT_NE(err.find("Save Diagnostics: could not write"), std::string::npos) << err;
    EXPECT_NE(err.find("Rowkeeper Diagnostics 2026-12-05 1641.json"), std::string::npos) << err;
    EXPECT_TRUE(host.revealed.isEmpty());
    EXPECT_FALSE(counters.snapshot().contains("diagnostics.save"));
}

}  // namespace
