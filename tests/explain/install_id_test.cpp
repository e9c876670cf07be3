#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>
#include <QUuid>
#include <thread>
#include <vector>

#include "explain/InstallId.h"

using namespace rk;

// Made once and kept under "installID", replacing a stored one that is no
// UUID; first calls on several threads agree on one identifier.
TEST(InstallId, IsMadeOnceAndKeptReplacingAnyThatIsNoUuid) {
    QTemporaryDir dir;
    const QString file = dir.filePath("defaults.ini");
    QSettings(file, QSettings::IniFormat).setValue("installID", "anna@annas-mac");
    std::vector<QString> ids(6);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < ids.size(); ++i) {
        threads.emplace_back([&, i] {
            QSettings settings(file, QSettings::IniFormat);
            ids[i] = InstallId::value(settings);
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_FALSE(QUuid::fromString(ids.front()).isNull());
    for (const QString& id : ids)
        EXPECT_EQ(id, ids.front());
    QSettings again(file, QSettings::IniFormat);
    EXPECT_EQ(again.value("installID").toString(), ids.front());
    EXPECT_EQ(InstallId::value(again), ids.front());
}
