#include <gtest/gtest.h>

#include <QFileInfo>

#include "app/model/AppModel.h"
#include "support/ModelFakes.h"
#include "support/UiProbe.h"
#include "ui/Palette.h"
#include "ui/Rendering.h"
#include "ui/RootView.h"

namespace rk {
namespace {

// Renders the whole window on every step from the demo fixtures, in both
// schemes, into PNG files under the build folder for people to look at.
class RenderPagesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureUiApplication(); }
    void SetUp() override {
        RootView::setMoveInPageFactory([](AppModel&, bool, QWidget* parent) { return new QWidget(parent); });
    }
    void TearDown() override { RootView::setMoveInPageFactory({}); }

    StaticRenderingScope still;
    test::ModelWorld world;
    test::RecordingActions actions;
};

TEST_F(RenderPagesTest, EveryStepInBothSchemes) {
    AppModel& m = world.startModel();
    m.setDemo(true);
    for (Step step : {Step::start, Step::accessibility, Step::loginItems, Step::done}) {
        for (bool dark : {false, true}) {
            m.go(step);
            world.beat();
            RootView root(m, dark);
            root.resize(600, 820);
            root.show();
            test::settle();
            root.refreshNow();
            test::settle();
            // The whole page, not only the part inside the window.
            const int pageHeight = root.page()->heightForWidth(root.page()->width());
            root.resize(600, std::max(820, pageHeight + 220));
            test::settle();
            QImage image(root.size() * 2, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(2);
            root.render(&image);
            const QString path = test::savePng(
                image, QStringLiteral("root-%1-%2").arg(step.rawValue(), dark ? "dark" : "light"));
            EXPECT_TRUE(QFileInfo(path).size() > 0) << path.toStdString();
            EXPECT_EQ(image.pixelColor(4, 4), Palette::ground(dark)) << step.rawValue().toStdString();
        }
    }
}

}  // namespace
}  // namespace rk
