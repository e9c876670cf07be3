#pragma once
// The self-test of the wizard's rules that depend on the app's identity:
// the permission record's writer, the settle decision at launch, how the
// window is presented, skip bookkeeping, the rule that quits a stale System
// Settings (with a live decoy app where one can be built and launched), the
// disabling of copies in owned folders (with live stub bundles) and the "+"
// hint line. Each check pairs a decoy, which must trigger, with controls,
// which must not. Run by the identity repair's self-test.
//
// Synchronous on the calling thread; blocks for seconds. Temporary bundles
// and folders are removed again, and a decoy that outlives its test is
// killed.

#include <QString>
#include <functional>

namespace rk::KTLegacyIdentityRepair {

// Receives each check's outcome and label, in order.
using SelftestCheck = std::function<void(bool passed, const QString& label)>;

// Runs every check through `check`; returns the notes on its two live arms
// ("settings quit live: ...", "owned folders live: ...") joined by "; ".
QString identitySelftest(const SelftestCheck& check);

}  // namespace rk::KTLegacyIdentityRepair
