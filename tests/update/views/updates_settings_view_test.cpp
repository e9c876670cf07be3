// The update rows: the switches write their settings through the model and
// grey out below a setting that is off, the ready notice and the status
// line follow the model, and the settings card shows the rows between its
// two dividers in both schemes.

#include <gtest/gtest.h>

#include "support/ModelFakes.h"
#include "support/Printers.h"
#include "support/TempDefaults.h"
#include "support/UiProbe.h"
#include "ui/Controls.h"
#include "ui/Rendering.h"
#include "ui/SettingsCard.h"
#include "update/KTUpdate.h"
#include "update/KTUpdateModel.h"
#include "update/views/KTUpdatesSettingsView.h"

namespace rk {
namespace {

class UpdateRows : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureUiApplication(); }
    StaticRenderingScope still;
    test::TempDefaults defaults;
    KTUpdateModel m;
    KTUpdateRows rows{m, "Rowkeeper", false};
};

TEST_F(UpdateRows, TheSwitchesWriteTheirSettingsAndGreyOutBelowOneThatIsOff) {
    test::clickCentre(rows.masterSwitch());  // all on: all off
    EXPECT_EQ(QSettings().allKeys(),
              (QStringList{KTUpdate::kAutoCheck, KTUpdate::kAutoDownload, KTUpdate::kAutoInstall}));
    EXPECT_FALSE(KTUpdate::autoCheck() || KTUpdate::autoDownload() || KTUpdate::autoInstall());
    m.setAutoDownload(true);  // shown on, greyed out while checking is off
    EXPECT_TRUE(rows.downloadSwitch()->isOn() && !rows.downloadSwitch()->isEnabled());
    EXPECT_FALSE(rows.installSwitch()->isEnabled());
    test::clickCentre(rows.checkSwitch());
    EXPECT_TRUE(KTUpdate::autoCheck());
    EXPECT_TRUE(rows.installSwitch()->isEnabled() && !rows.installSwitch()->isOn());
}

TEST_F(UpdateRows, TheNoticeAndTheStatusLineFollowTheModel) {
    EXPECT_TRUE(rows.readyNotice()->isHidden());
    EXPECT_EQ(rows.statusText(), QString("not yet checked"));
    m.setPendingVersion(QStringLiteral("1.5"));
    m.setStatus(QStringLiteral("v1.5 ready to install"));
    EXPECT_EQ(test::shownTexts(rows.readyNotice()),
              (QStringList{"Update to v1.5 is ready.", "Install and Relaunch"}));
    EXPECT_EQ(rows.statusText(), QString("v1.5 ready to install"));
}

TEST_F(UpdateRows, TheSettingsCardShowsTheRowsBetweenItsDividersInBothSchemes) {
    test::ModelWorld world;
    AppModel& app = world.startModel();
    m.setPendingVersion(QStringLiteral("1.5"));
    SettingsCard::setUpdatesRows([this](bool dark, QWidget* parent) {
        return KTUpdatesSettingsView("Rowkeeper", m).rows(dark, parent);
    });
    for (const bool dark : {false, true}) {
        SettingsCard card(app, dark);
        test::render(&card, SettingsCard::cardWidth);
        QList<int> dividers;
        for (const QWidget* child : card.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->height() == 1)
                dividers << child->y();
        }
        ASSERT_EQ(dividers.size(), 2);
        const QRect area = card.updatesArea()->geometry();
        EXPECT_TRUE(dividers[0] < area.top() && area.bottom() < dividers[1]) << area.y();
        EXPECT_TRUE(test::shows(card.updatesArea(), "Automatically keep Rowkeeper up to date"));
    }
    SettingsCard::setUpdatesRows({});
}

}  // namespace
}  // namespace rk
