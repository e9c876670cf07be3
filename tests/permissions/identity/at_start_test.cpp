#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThreadPool>

#include "permissions/PermissionWizard.h"
#include "permissions/identity/LegacyRepairAtStart.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

using namespace KTLegacyIdentityRepair;

// Runs the event loop until `done` or `limitMs` have passed.
void pump(const std::function<bool()>& done, int limitMs = 10'000) {
    QElapsedTimer waited;
    waited.start();
    do
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    while (!done() && waited.elapsed() < limitMs);
}

// Every guard returns without a word and without using up the launch's
// one run; a presentation with a permission off then runs the repair, once.
TEST(LegacyRepairAtStart, RunsOncePerLaunchWhenAPermissionReadsOff) {
    test::ensureApp(test::AppKind::core, "at_start_test");
    test::WizardSandbox sandbox;
    QStringList lines;
    KTPermissionWizard::onDecision = [&](const QString& line) {
        if (line.startsWith("legacy repair: "))
            lines << line;
    };
    const KTWizardProduct renamed{
        .name = "Sample", .slug = "sample", .legacyBundleIdentifiers = {"com.example.old"}};
    const QList<KTPermission> off{test::samplePermission("camera", false)};
    runIfNeeded(KTWizardProduct{}, off);
    runIfNeeded(renamed, {test::samplePermission("camera", true)});
    sandbox.bundle.args << "--permission-repair-legacy";
    runIfNeeded(renamed, off);
    sandbox.bundle.args = {"Sample"};
    sandbox.bundle.identifier.reset();
    runIfNeeded(renamed, off);
    sandbox.bundle.identifier = "org.example.sample";
    pump([] { return false; }, 300);
    EXPECT_TRUE(lines.isEmpty());

    installWizardStartHook();
    KTPermissionWizard::configure(renamed, KTWizardBrand{}, off, false);
    KTPermissionWizard::present(true);
    KTPermissionWizard::present(true);
    pump([&] { return lines.size() >= 2; });
    QThreadPool::globalInstance()->waitForDone();
    pump([] { return false; }, 300);
    EXPECT_EQ(lines,
              QStringList({"legacy repair: 0 old copies found; plan: reset Camera for legacy id "
                           "com.example.old (no copy registered: via a stub bundle)",
                           "legacy repair: could not build a stub for com.example.old; its grants were not "
                           "reset"}));
}

}  // namespace
}  // namespace rk
