// The fresh-process check against a real child: this test binary started
// again with "--permission-check", told by an environment variable how to
// behave (answer through the wizard, hang, print noise, ...).

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "permissions/FreshProcessCheck.h"
#include "permissions/PermissionWizard.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

constexpr char kModeVariable[] = "RK_FRESH_HELPER";
constexpr char kPidFileVariable[] = "RK_FRESH_PIDFILE";

void say(const QByteArray& text) {
    std::fputs(text.constData(), stdout);
    std::fflush(stdout);
}

// What the child does, by mode. Runs before main and never returns to it.
int playHelper(const QString& mode) {
    const QStringList args = HostAppBundle().arguments();
    if (args.size() != 2 || args[1] != "--permission-check")
        return 9;
    std::fputs("noise on standard error\n", stderr);
    if (mode == "check") {
        say("starting up\n{ not the answer\n");
        KTPermissionWizard::configure(
            KTWizardProduct{.name = "Sampler", .slug = "sampler"}, KTWizardBrand{},
            {test::samplePermission("held", true), test::samplePermission("missing")}, false);
    }
    if (mode == "check" || mode == "unconfigured")
        return KTPermissionWizard::runPermissionCheckCLI();
    if (mode == "last-wins")
        say("{\"a\":false}\n{\"a\":true}\ntrailing words\n");
    if (mode == "flood") {
        for (int i = 0; i < 3000; ++i)
            say(QByteArray(1000, 'x') + "\n");
        say("{\"a\":true}\n");
    }
    if (mode == "hang") {
        QFile pidFile(qEnvironmentVariable(kPidFileVariable));
        if (pidFile.open(QIODevice::WriteOnly))
            pidFile.write(QByteArray::number(qint64(::getpid())));
        pidFile.close();
        say("{\"a\":true}\n");
        ::sleep(60);
    }
    return 0;
}

[[maybe_unused]] const bool helperGate = [] {
    if (const char* mode = std::getenv(kModeVariable))
        ::_exit(playHelper(QString::fromUtf8(mode)));
    return true;
}();

QString selfPath() {
    return QFile::symLinkTarget("/proc/self/exe");
}

class FreshProcessCheck : public testing::Test {
protected:
    void TearDown() override { ::unsetenv(kModeVariable); }
    std::optional<KTGrantMap> askAs(const char* mode) {
        ::setenv(kModeVariable, mode, 1);
        return KTFreshProcessCheck::ask(selfPath());
    }
};

TEST_F(FreshProcessCheck, AnswersAreTakenFromOutput) {
    const std::pair<const char*, std::optional<KTGrantMap>> cases[] = {
        {"last-wins", KTGrantMap{{"a", true}}},
        {"flood", KTGrantMap{{"a", true}}},
        {"silent", std::nullopt},
        {"unconfigured", std::nullopt},
    };
    for (const auto& [mode, expected] : cases)
        EXPECT_EQ(askAs(mode), expected) << mode;
    EXPECT_FALSE(KTFreshProcessCheck::ask("/nonexistent/app").has_value());
}

TEST_F(FreshProcessCheck, AHangingChildIsKilledAtTheLimitAndReaped) {
    QTemporaryDir dir;
    ::setenv(kPidFileVariable, dir.filePath("pid").toUtf8().constData(), 1);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(askAs("hang").has_value());
    EXPECT_GE(clock.elapsed(), 4000);
    EXPECT_LT(clock.elapsed(), 6000);
    ::unsetenv(kPidFileVariable);

    QFile file(dir.filePath("pid"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const pid_t child = pid_t(file.readAll().toLongLong());
    ASSERT_GT(child, 0);
    // A zombie would still answer; a reaped child is gone.
    EXPECT_EQ(::kill(child, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

// The hook asks the app's own executable, which answers through the wizard.
TEST_F(FreshProcessCheck, EnablingInstallsTheHookForTheAppsOwnExecutable) {
    test::WizardSandbox sandbox;
    sandbox.bundle.executable = selfPath();
    EXPECT_FALSE(KTPermissionWizard::freshProcessGrants);
    KTPermissionWizard::enableFreshProcessCheck();
    ASSERT_TRUE(KTPermissionWizard::freshProcessGrants);
    EXPECT_TRUE(KTPermissionWizard::staleGrantRestart);
    ::setenv(kModeVariable, "check", 1);
    EXPECT_EQ(KTPermissionWizard::freshProcessGrants(), (KTGrantMap{{"held", true}, {"missing", false}}));
}

TEST(FreshProcessAnswer, ParsesTheLastLineThatBeginsWithABrace) {
    EXPECT_EQ(KTFreshProcessCheck::parseAnswer("{\"a\":true}\r\n"), (KTGrantMap{{"a", true}}));
    EXPECT_EQ(KTFreshProcessCheck::parseAnswer("{}\n"), KTGrantMap{});
    for (const char* bad :
         {" {\"a\":true}\n", "{\"a\":true}\n{\"b\":null}\n", "{\"a\":1}\n", "{\"a\":tru\n", "[true]\n"})
        EXPECT_FALSE(KTFreshProcessCheck::parseAnswer(bad).has_value()) << bad;
}

}  // namespace
}  // namespace rk
