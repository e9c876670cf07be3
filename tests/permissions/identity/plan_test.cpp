#include <gtest/gtest.h>

#include "permissions/identity/LegacyRepairPlan.h"

namespace rk {
namespace {

using namespace KTLegacyIdentityRepair;

const QString kOld = "com.example.old";
const Copy kRegistered{.path = "/Apps/Old.app", .bundleID = kOld, .declared = true};
const Copy kSameName{.path = "/Apps/Twin.app", .bundleID = "com.other.twin"};
const OwnedAction kOwned{.path = "/Owned/Old.app", .bundleID = kOld, .folder = "/Owned"};
const QString kStubReset =
    "reset ScreenCapture for legacy id com.example.old (no copy registered: via a stub bundle)";

struct Case {
    const char* name;
    Findings findings;
    QStringList lines;
    bool empty = false;
};

// The three branches per former identifier, each with the own Screen
// Recording grant off, on and undecided, and with other service lists.
const Case kCases[] = {
    {"NoFormerIdentifierOnlyCopiesAndOwnedCopies",
     {.copies = {kSameName}, .services = {"ScreenCapture"}, .ownScreenOff = true, .ownedActions = {kOwned}},
     {"unregister /Apps/Twin.app  [com.other.twin, same name, other id]",
      "rename /Owned/Old.app  [com.example.old, in a folder this app owns]"}},
    {"RegisteredCopyIsResetInPlaceAndOwnGrantWhenOff",
     {.legacyIDs = {kOld}, .copies = {kRegistered}, .services = {"ScreenCapture"}, .ownScreenOff = true},
     {"reset ScreenCapture for legacy id com.example.old",
      "unregister /Apps/Old.app  [com.example.old, legacy id]",
      "reset ScreenCapture for this app (org.example.new) so its prompt re-arms"}},
    {"UnregisteredGoesViaAStubAndAWorkingGrantIsKept",
     {.legacyIDs = {kOld}, .services = {"ScreenCapture"}, .ownScreenOff = false},
     {kStubReset, "note: own Screen Recording reads on (here or in a fresh process): not reset"}},
    {"UndecidedOwnGrantIsLeftToRunTime",
     {.legacyIDs = {kOld}, .services = {"ScreenCapture"}},
     {kStubReset,
      "note: own Screen Recording reset decided at run time: only when it reads off here and in a "
      "fresh process"}},
    {"StubAlreadyDoneLeavesOnlyNotes",
     {.legacyIDs = {kOld}, .services = {"ScreenCapture"}, .stubDone = {kOld}},
     {"note: com.example.old: no copy registered and its grants were already reset on an earlier launch",
      "note: own Screen Recording reset decided at run time: only when it reads off here and in a fresh "
      "process"},
     true},
    {"NoServicesResetTheDefaultsButNeverTheOwnGrant",
     {.legacyIDs = {kOld}, .copies = {kRegistered}, .ownScreenOff = true},
     {"reset ScreenCapture,Accessibility,AppleEvents for legacy id com.example.old",
      "unregister /Apps/Old.app  [com.example.old, legacy id]"}},
    {"WithoutScreenRecordingTheOwnGrantIsNotDecided",
     {.legacyIDs = {kOld}, .services = {"Camera", "Microphone"}, .ownScreenOff = true},
     {"reset Camera,Microphone for legacy id com.example.old (no copy registered: via a stub bundle)"}},
};

TEST(LegacyRepairPlan, EachBranchRendersItsLines) {
    for (const Case& c : kCases) {
        const Plan planned = plan(c.findings);
        EXPECT_EQ(planned.lines("org.example.new"), c.lines) << c.name;
        EXPECT_EQ(planned.isEmpty(), c.empty) << c.name;
        EXPECT_EQ(plan(c.findings), planned) << c.name;
    }
    EXPECT_TRUE(plan({}).lines("x").isEmpty());
}

}  // namespace
}  // namespace rk
