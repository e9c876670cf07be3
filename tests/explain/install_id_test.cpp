#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>
#include <QUuid>
#include <thread>
#include <vector>

#include "explain/InstallId.h"

using namespace rk;

TEST(InstallId, IsMadeOnceAndKeptUnderInstallIDReplacingAnyThatIsNoUuid) {
    QTemporaryDir dir;
    const QString file = dir.filePath("defaults.ini");
    QString first;
    {
        QSettings settings(file, QSettings::IniFormat);
        settings.setValue("installID", "anna@annas-mac");
        first = InstallId::value(settings);
        EXPECT_FALSE(QUuid::fromString(first).isNull());
        EXPECT_EQ(InstallId::value(settings), first);
    }
    QSettings again(file, QSettings::IniFormat);
    EXPECT_EQ(again.value("installID").toString(), first);
    EXPECT_EQ(InstallId::value(again), first);
}

TEST(InstallId, FirstCallsOnSeveralThreadsAgreeOnOneIdentifier) {
    QTemporaryDir dir;
    const QString file = dir.filePath("defaults.ini");
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
    for (const QString& id : ids)
        EXPECT_EQ(id, ids.front());
}
