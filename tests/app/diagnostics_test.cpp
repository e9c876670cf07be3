// The diagnostics file: its fourteen members from the model and the
// counters, the machine facts, its name and place, and saving it.

#include "app/Diagnostics.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

#include "app/model/AppInfo.h"
#include "support/LaunchPlistWriter.h"
#include "support/ModelFakes.h"
#include "support/Printers.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

class FakeHost final : public DiagnosticsHost {
public:
    QString osVersion() const override { return QStringLiteral("Debian GNU/Linux 12 (bookworm)"); }
    QString hardwareModel() const override { return QStringLiteral("Mac16,1"); }
    int cores() const override { return 10; }
    quint64 memoryBytes() const override { return 16ull << 30; }
    bool reveal(const QString& diskPath) override { return revealed << diskPath, shows; }
    QStringList revealed;
    bool shows = true;
};

class DiagnosticsTest : public ::testing::Test {
protected:
    QJsonObject bundle() {
        if (!world.model)
            world.model = std::make_unique<AppModel>(world.seams);
        return Diagnostics::bundle(DiagnosticsInputs::of(*world.model, *world.counters), host);
    }
    ModelWorld world;
    FakeHost host;
};

TEST_F(DiagnosticsTest, AtOnceAfterLaunchNothingHasBeenRead) {
    EXPECT_EQ(
        bundle(),
        (QJsonObject{
            {"ai_consent", 0},
            {"app_build", AppInfo::build()},
            {"app_version", AppInfo::version()},
            {"cores", 10},
            {"counts",
             QJsonObject{
                 {"launch_jobs", 0}, {"launch_jobs_gone", 0}, {"findings_remove", 0}, {"findings_look", 0}}},
            {"grants", QJsonObject{{"full_disk", false}, {"accessibility", false}, {"screen", false}}},
            {"hw_model", "Mac16,1"},
            {"macos", "Debian GNU/Linux 12 (bookworm)"},
            {"memory_gb", 16},
            {"phase", "idle"},
            {"schema", 1},
            {"step", "start"},
            {"stores", QJsonObject{{"tcc", "not_read"}, {"btm", "not_read"}, {"btm_version", 0}}},
            {"usage", QJsonObject()},
        }));
}

TEST_F(DiagnosticsTest, AfterTheFirstReadsStoresJobsAndCounters) {
    const QString agents = world.root.paths().userLaunchAgents();
    world.root.writeFile(agents + "/com.gone.agent.plist",
                         LaunchPlistWriter::write({"com.gone.agent", "/Applications/Gone.app/gone", {}}));
    world.root.writeFile(agents + "/com.live.agent.plist",
                         LaunchPlistWriter::write({"com.live.agent", "/usr/bin/live", {}}));
    world.root.writeFile("/usr/bin/live", "#!/bin/sh\n");
    world.startModel();
    Stats::record("launch");
    Stats::record("launch");
    const QJsonObject d = bundle();
    EXPECT_EQ(d["stores"].toObject(), (QJsonObject{{"tcc", "ok"}, {"btm", "ok"}, {"btm_version", 4}}));
    EXPECT_EQ(d["counts"].toObject()["launch_jobs"].toInt(), 2);
    EXPECT_EQ(d["counts"].toObject()["launch_jobs_gone"].toInt(), 1);
    EXPECT_EQ(d["grants"].toObject()["full_disk"].toBool(), true);
    EXPECT_EQ(d["usage"].toObject(), (QJsonObject{{"launch", 2}}));
}

TEST(DiagnosticsWords, FindingsByVerdictStoreFailuresAndMemory) {
    DiagnosticsInputs inputs;
    using V = Finding::Verdict;
    for (V verdict : {V::remove, V::look, V::remove, V::keep, V::hidden, V::look, V::remove}) {
        Finding finding;
        finding.verdict = verdict;
        inputs.decision.findings << finding;
    }
    inputs.tcc = AppModel::TCCRead(fail(StoreError::format("no access table")));
    inputs.btm = AppModel::BTMRead(fail(StoreError::unreadable("missing")));
    FakeHost host;
    const QJsonObject d = Diagnostics::bundle(inputs, host);
    EXPECT_EQ(d["counts"].toObject()["findings_remove"].toInt(), 3);
    EXPECT_EQ(d["counts"].toObject()["findings_look"].toInt(), 2);
    EXPECT_EQ(d["stores"].toObject(),
              (QJsonObject{{"tcc", "format"}, {"btm", "unreadable"}, {"btm_version", 0}}));
    inputs.tcc = AppModel::TCCRead(fail(StoreError::noAccess()));
    EXPECT_EQ(Diagnostics::bundle(inputs, host)["stores"].toObject()["tcc"], "no_access");
    QStringList names;
    for (Phase phase : {Phase::idle, Phase::working, Phase::selected, Phase::circled, Phase::scroll,
                        Phase::wrongPage, Phase::nothingLeft, Phase::notOpen, Phase::noAccessibility})
        names << Diagnostics::phaseName(phase);
    EXPECT_EQ(names.join(' '),
              "idle working selected circled scroll wrongPage nothingLeft notOpen noAccessibility");
    EXPECT_EQ(Diagnostics::wholeGiB((16ull << 30) - 1), 15);
}

TEST(HostDiagnosticsTest, TheFirmwaresModelNameOrUnknown) {
    TempRoot root;
    HostDiagnostics host(root.paths());
    EXPECT_EQ(host.hardwareModel(), QStringLiteral("unknown"));
    root.writeFile(root.paths().productNameFile(), "\n");
    EXPECT_EQ(host.hardwareModel(), QStringLiteral("unknown"));
    root.writeFile(root.paths().productNameFile(), "  ThinkPad X1 Carbon Gen 9 \n");
    EXPECT_EQ(host.hardwareModel(), QStringLiteral("ThinkPad X1 Carbon Gen 9"));
    EXPECT_TRUE(host.cores() > 0 && host.memoryBytes() > 0 && !host.osVersion().isEmpty());
}

class Saving : public ::testing::Test {
protected:
    Result<Diagnostics::Saved, QString> save(const char* step, QTime at) {
        return Diagnostics::saveAndReveal(QJsonObject{{"schema", 1}, {"step", step}},
                                          QDateTime(QDate(2026, 12, 5), at), root.paths(), host, counters);
    }
    TempRoot root;
    FakeHost host;
    FakeClock clock;
    UsageCounters counters{UsageCounters::Options{root.root() + "/support", &clock}};
};

// Nothing saved earlier is replaced, and nothing at a name is written
// through: each save of the minute takes the first name where nothing stands.
TEST_F(Saving, EachSaveInOneMinuteTakesAFreeNameAndAFailedOneIsOnlyReported) {
    const QString desktop = root.disk(root.paths().desktop());
    const QString stem = desktop + "/Rowkeeper Diagnostics 2026-12-05 1641";
    const auto first = save("start", QTime(16, 41, 2));
    const auto second = save("done", QTime(16, 41, 40));
    ASSERT_TRUE(first.ok() && second.ok());
    EXPECT_EQ(first.value().path, stem + ".json");
    EXPECT_EQ(second.value().path, stem + " 2.json");
    EXPECT_EQ(QJsonDocument::fromJson(readFileAt(stem + ".json")).object()["step"], "start");
    EXPECT_EQ(QJsonDocument::fromJson(readFileAt(stem + " 2.json")).object()["step"], "done");
    const QString elsewhere = root.writeFile("/elsewhere.json", "someone's");
    ASSERT_TRUE(QFile::link(elsewhere, stem + " 3.json"));
    const auto third = save("done", QTime(16, 41, 59));
    ASSERT_TRUE(third.ok());
    EXPECT_EQ(third.value().path, stem + " 4.json");
    EXPECT_EQ(readFileAt(elsewhere), "someone's");
    EXPECT_EQ(host.revealed, (QStringList{stem + ".json", stem + " 2.json", stem + " 4.json"}));
    EXPECT_TRUE(third.value().shown);
    EXPECT_EQ(Diagnostics::line(third), "");
    EXPECT_EQ(counters.snapshot().value("diagnostics.save"), 3);

    // A folder nothing could show: the file is saved, and the line says where.
    host.shows = false;
    const auto unshown = save("done", QTime(16, 41));
    EXPECT_FALSE(unshown.value().shown);
    EXPECT_EQ(Diagnostics::line(unshown),
              "Saved to " + stem + " 5.json. Its folder could not be shown on this computer.");

    // A failed write is reported, and neither revealed nor counted.
    QDir(desktop).removeRecursively();
    root.writeFile(root.paths().desktop(), "a file where the folder should be");
    testing::internal::CaptureStderr();
    const auto saved = save("start", QTime(16, 41));
    const std::string err = testing::internal::GetCapturedStderr();
    const QString line = "The diagnostics file could not be saved in " + desktop + ": not a directory.";
    EXPECT_EQ(Diagnostics::line(saved), line);
    EXPECT_EQ(err, ("Save Diagnostics: " + line + "\n").toStdString());
    EXPECT_EQ(host.revealed.size(), 4);
    EXPECT_EQ(counters.snapshot().value("diagnostics.save"), 4);
}

}  // namespace
