#include "cli/SelfTest.h"

#include <cstdio>

#include "cli/SelfTestChecks.h"
#include "cli/SelfTestDecide.h"
#include "cli/SelfTestFiles.h"
#include "cli/SelfTestGate.h"
#include "cli/SelfTestMoveIn.h"
#include "cli/SelfTestReaders.h"
#include "finder/BackgroundStore.h"
#include "finder/TCCStore.h"

namespace rk {

namespace {

// What the Mac's own stores hold, for information only: never a check.
void liveLines(QTextStream& out) {
    const auto tcc = TCCStore::read(QSet<QString>{QStringLiteral("kTCCServiceAccessibility")});
    if (tcc.ok())
        out << "live: privacy database read, " << tcc.value().size() << " Accessibility rows\n";
    else
        out << "live: privacy database NOT MEASURED (" << tcc.error().description() << ")\n";
    const auto btm = BackgroundStore::read();
    if (btm.ok())
        out << "live: Login Items store v" << btm.value().version << " read, " << btm.value().records.size()
            << " records\n";
    else
        out << "live: Login Items store NOT MEASURED (" << btm.error().description() << ")\n";
}

}  // namespace

int SelfTest::run(QTextStream& out, const std::function<void()>& configureWizard) {
    SelfTestChecks checks(out);
    SelfTestGate::run(checks);
    SelfTestMoveIn::run(checks);
    SelfTestFiles::run(checks);
    SelfTestDecide::run(checks);
    SelfTestReaders::run(checks, configureWizard);
    liveLines(out);
    out << verdict(checks.failures()) << '\n';
    out.flush();
    return checks.failures() == 0 ? 0 : 1;
}

int SelfTest::run(const std::function<void()>& configureWizard) {
    QTextStream out(stdout);
    return run(out, configureWizard);
}

QString SelfTest::verdict(int failures) {
    return failures == 0 ? QStringLiteral("SELFTEST PASS")
                         : QStringLiteral("SELFTEST FAIL (%1)").arg(failures);
}

}  // namespace rk
