// The update model: what it reads from the updater when it is made, what its
// setters write through, the messages the updater's hooks hand it, and the
// last-checked line.

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "support/Printers.h"
#include "support/QtApp.h"
#include "support/TempDefaults.h"
#include "update/KTUpdate.h"
#include "update/KTUpdateModel.h"

namespace rk {
namespace {

[[maybe_unused]] const auto* const kApp =
    ::testing::AddGlobalTestEnvironment(new test::AppEnvironment(test::AppKind::core, "update_model_test"));

// The value signals of `m`, in order: "check off", "status <text>", "pending 1.5", ...
void watch(KTUpdateModel& m, QStringList& seen) {
    const auto on = [](bool value) { return value ? QString(" on") : QString(" off"); };
    QObject::connect(&m, &KTUpdateModel::autoCheckChanged, [&, on](bool v) { seen << "check" + on(v); });
    QObject::connect(&m, &KTUpdateModel::autoDownloadChanged,
                     [&, on](bool v) { seen << "download" + on(v); });
    QObject::connect(&m, &KTUpdateModel::autoInstallChanged, [&, on](bool v) { seen << "install" + on(v); });
    QObject::connect(&m, &KTUpdateModel::statusChanged,
                     [&](const QString& text) { seen << "status " + text; });
    QObject::connect(&m, &KTUpdateModel::pendingVersionChanged, [&](const std::optional<QString>& version) {
        seen << "pending " + version.value_or("none");
    });
}

class UpdateModel : public ::testing::Test {
protected:
    void TearDown() override { KTUpdate::setPendingUpdate({}); }
    test::TempDefaults defaults;
    QStringList seen;
};

TEST_F(UpdateModel, StartsFromTheUpdaterAndWritesEachSettingThroughAlone) {
    QSettings().setValue(KTUpdate::kAutoDownload, false);
    KTUpdate::PendingUpdate pending;
    pending.staged = "/tmp/staged/Rowkeeper.app";
    pending.version = "1.4.2";
    KTUpdate::setPendingUpdate(pending);
    KTUpdateModel m;
    watch(m, seen);
    EXPECT_TRUE(m.autoCheck() && !m.autoDownload() && m.autoInstall() && !m.fullyAutomatic());
    EXPECT_EQ(m.pendingVersion(), QString("1.4.2"));
    EXPECT_EQ(m.status(), QString());
    EXPECT_EQ(m.lastCheckedLine(), QString("not yet checked"));

    m.setAutoInstall(false);
    EXPECT_EQ(QSettings().allKeys(), (QStringList{KTUpdate::kAutoDownload, KTUpdate::kAutoInstall}));
    EXPECT_FALSE(KTUpdate::autoInstall());
    m.setFullyAutomatic(true);
    EXPECT_EQ(seen, (QStringList{"install off", "check on", "download on", "install on"}));
    EXPECT_TRUE(KTUpdate::fullyAutomatic());
}

TEST_F(UpdateModel, TheHooksHandMessagesOverOnTheMainThreadInTheirOrder) {
    int earlier = 0;
    KTUpdate::onStatus = [&earlier](const QString&) { ++earlier; };
    KTUpdateModel m;
    watch(m, seen);
    std::thread updater([] {
        KTUpdate::onStatus(QStringLiteral("downloading v1.5…"));
        KTUpdate::onPendingUpdate(QStringLiteral("1.5"));
        KTUpdate::onStatus(QStringLiteral("v1.5 ready to install"));
    });
    updater.join();
    EXPECT_TRUE(seen.isEmpty());  // not before the main thread's turn
    QCoreApplication::processEvents();
    EXPECT_EQ(seen, (QStringList{"status downloading v1.5…", "pending 1.5", "status v1.5 ready to install"}));
    EXPECT_EQ(earlier, 0);  // the handler the model replaced is not called
}

TEST(LastCheckedLine, TheTimeAloneTodayElseTheDateToo) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QDateTime now(QDate(2025, 3, 4), QTime(16, 0));
    EXPECT_EQ(KTUpdateModel::lastCheckedLine(QDateTime(QDate(2025, 3, 4), QTime(9, 30)), now, english),
              QString("last checked 9:30 AM"));
    EXPECT_EQ(KTUpdateModel::lastCheckedLine(QDateTime(QDate(2025, 3, 1), QTime(21, 5)), now, english),
              QString("last checked Mar 1, 2025, 9:05 PM"));
}

}  // namespace
}  // namespace rk
