#include <gtest/gtest.h>

#include "permissions/PermissionProbes.h"
#include "permissions/identity/LegacyRepairDiscovery.h"
#include "support/FakeTools.h"
#include "support/TempRoot.h"

namespace rk {
namespace {

using Pane = KTPermissionProbes::Pane;

TEST(LegacyRepairDiscovery, EachPrivacyPageHasItsService) {
    const std::pair<QUrl, std::optional<QString>> cases[] = {
        {Pane::screenRecording(), QString("ScreenCapture")},
        {Pane::accessibility(), QString("Accessibility")},
        {Pane::inputMonitoring(), QString("ListenEvent")},
        {Pane::fullDisk(), QString("SystemPolicyAllFiles")},
        {Pane::microphone(), QString("Microphone")},
        {Pane::camera(), QString("Camera")},
        {Pane::automation(), QString("AppleEvents")},
        {Pane::loginItems(), std::nullopt},
        {QUrl("x-apple.systempreferences:com.apple.preference.security?Privacy_Photos"), std::nullopt},
    };
    for (const auto& [link, service] : cases)
        EXPECT_EQ(KTLegacyIdentityRepair::tccService(link), service) << link.toString().toStdString();

    const auto on = [](const QUrl& link) { return KTPermission{.settingsURL = link}; };
    EXPECT_EQ(KTLegacyIdentityRepair::services(
                  {on(Pane::fullDisk()), on(Pane::loginItems()), on(Pane::camera()), on(Pane::fullDisk())}),
              QStringList({"SystemPolicyAllFiles", "Camera"}));
}

TEST(LegacyRepairDiscovery, TheRegisterToolIsTheFirstExecutableOfItsPlaces) {
    {
        test::TempRoot bare;
        EXPECT_EQ(KTLegacyIdentityRepair::lsregisterPath(), std::nullopt);
    }
    test::TempRoot root;
    test::FakeTools tools(root);
    root.writeFile(SystemPaths::toolLocation(MacTool::launchServicesRegister), "not a program");
    const QString versioned = tools.install(MacTool::launchServicesRegisterVersioned);
    ASSERT_EQ(KTLegacyIdentityRepair::lsregisterPath(), versioned);

    tools.answer(MacTool::launchServicesRegisterVersioned, 0, "path: /Applications/A.app\n");
    EXPECT_EQ(KTLegacyIdentityRepair::run(versioned, {"-dump"}),
              (ToolResult{.status = 0, .out = "path: /Applications/A.app\n"}));
    tools.answer(MacTool::launchServicesRegisterVersioned, 2);
    EXPECT_EQ(KTLegacyIdentityRepair::run(versioned, {"-u", "/Old App.app"}).status, 2);
    EXPECT_EQ(tools.calls(), QStringList({"lsregister -dump", "lsregister -u /Old App.app"}));
}

}  // namespace
}  // namespace rk
