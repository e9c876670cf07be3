// The update model: what it reads from the updater when it is made, what its
// setters write through, the messages the updater's hooks hand it, and the
// last-checked line.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSettings>
#include <memory>
#include <thread>

#include "support/Printers.h"
#include "support/QtApp.h"
#include "support/TempDefaults.h"
#include "update/KTUpdate.h"
#include "update/KTUpdateModel.h"

namespace rk {
namespace {

[[maybe_unused]] const auto* const kApp =
    ::testing::AddGlobalTestEnvironment(new test::AppEnvironment(test::AppKind::core, "update_model_test"));

using Message = std::function<void(const QString&)>;

void runMainTurn() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// Every signal of `m`, in order: "check off", "status <text>", "pending 1.5", "changed", ...
void watch(KTUpdateModel& m, QStringList& seen) {
    const auto word = [](bool on) { return on ? QString("on") : QString("off"); };
    QObject::connect(&m, &KTUpdateModel::autoCheckChanged,
                     [&, word](bool on) { seen << "check " + word(on); });
    QObject::connect(&m, &KTUpdateModel::autoDownloadChanged,
                     [&, word](bool on) { seen << "download " + word(on); });
    QObject::connect(&m, &KTUpdateModel::autoInstallChanged,
                     [&, word](bool on) { seen << "install " + word(on); });
    QObject::connect(&m, &KTUpdateModel::statusChanged,
                     [&](const QString& text) { seen << "status " + text; });
    QObject::connect(&m, &KTUpdateModel::pendingVersionChanged, [&](const std::optional<QString>& version) {
        seen << "pending " + version.value_or("none");
    });
    QObject::connect(&m, &KTUpdateModel::changed, [&] { seen << "changed"; });
}

class UpdateModel : public ::testing::Test {
protected:
    void TearDown() override {
        runMainTurn();
        KTUpdate::setPendingUpdate({});
        KTUpdate::onStatus = Message();
        KTUpdate::onPendingUpdate = Message();
    }
    test::TempDefaults defaults;
};

TEST_F(UpdateModel, StartsFromTheUpdatersSettingsAndPendingVersionWithoutWritingThem) {
    QSettings().setValue(KTUpdate::kAutoDownload, false);
    KTUpdate::PendingUpdate pending;
    pending.staged = "/tmp/staged/Rowkeeper.app";
    pending.version = "1.4.2";
    KTUpdate::setPendingUpdate(pending);
    const KTUpdateModel m;
    EXPECT_TRUE(m.autoCheck());
    EXPECT_FALSE(m.autoDownload());
    EXPECT_TRUE(m.autoInstall());
    EXPECT_FALSE(m.fullyAutomatic());
    EXPECT_EQ(m.pendingVersion(), QString("1.4.2"));
    EXPECT_EQ(m.status(), QString());
    EXPECT_EQ(m.lastCheckedLine(), QString("not yet checked"));
    EXPECT_EQ(test::TempDefaults::keys(), QStringList{KTUpdate::kAutoDownload});
}

TEST_F(UpdateModel, EachSetterSignalsThenWritesOnlyItsOwnSetting) {
    KTUpdateModel m;
    QStringList seen;
    watch(m, seen);
    m.setAutoInstall(false);
    EXPECT_EQ(seen, (QStringList{"install off", "changed"}));
    EXPECT_EQ(test::TempDefaults::keys(), QStringList{KTUpdate::kAutoInstall});
    EXPECT_FALSE(KTUpdate::autoInstall());

    seen.clear();
    m.setFullyAutomatic(false);
    EXPECT_EQ(seen,
              (QStringList{"check off", "changed", "download off", "changed", "install off", "changed"}));
    EXPECT_FALSE(KTUpdate::autoCheck() || KTUpdate::autoDownload() || KTUpdate::autoInstall());

    // A change made to the updater directly does not reach the model.
    KTUpdate::setAutoCheck(true);
    EXPECT_FALSE(m.autoCheck());
}

TEST_F(UpdateModel, TheHooksHandMessagesOverOnTheMainThreadInTheirOrder) {
    int earlier = 0;
    KTUpdate::onStatus = [&earlier](const QString&) { ++earlier; };
    KTUpdateModel m;
    QStringList seen;
    watch(m, seen);
    std::thread updater([] {
        KTUpdate::onStatus(QStringLiteral("downloading v1.5…"));
        KTUpdate::onPendingUpdate(QStringLiteral("1.5"));
        KTUpdate::onStatus(QStringLiteral("v1.5 ready to install"));
    });
    updater.join();
    EXPECT_TRUE(seen.isEmpty());  // not before the main thread's turn
    runMainTurn();
    EXPECT_EQ(seen, (QStringList{"status downloading v1.5…", "changed", "pending 1.5", "changed",
                                 "status v1.5 ready to install", "changed"}));
    EXPECT_EQ(earlier, 0);  // the handler the model replaced is not called

    // A message for a model that has gone changes nothing.
    auto gone = std::make_unique<KTUpdateModel>();
    KTUpdate::onStatus(QStringLiteral("checked 3:07pm · feed unreachable"));
    gone.reset();
    runMainTurn();
    EXPECT_EQ(m.status(), QString("v1.5 ready to install"));
}

TEST(LastCheckedLine, TheTimeAloneTodayElseTheDateToo) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QDateTime now(QDate(2025, 3, 4), QTime(16, 0));
    EXPECT_EQ(KTUpdateModel::lastCheckedLine(std::nullopt, now, english), QString("not yet checked"));
    EXPECT_EQ(KTUpdateModel::lastCheckedLine(QDateTime(QDate(2025, 3, 4), QTime(9, 30)), now, english),
              QString("last checked 9:30 AM"));
    EXPECT_EQ(KTUpdateModel::lastCheckedLine(QDateTime(QDate(2025, 3, 1), QTime(21, 5)), now, english),
              QString("last checked Mar 1, 2025, 9:05 PM"));
    const QLocale british(QLocale::English, QLocale::UnitedKingdom);
    EXPECT_EQ(KTUpdateModel::lastCheckedLine(QDateTime(QDate(2025, 3, 1), QTime(21, 5)), now, british),
              QString("last checked 1 Mar 2025, 21:05"));
}

}  // namespace
}  // namespace rk
