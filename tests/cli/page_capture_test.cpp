#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "cli/PageCapture.h"
#include "support/ModelFakes.h"
#include "ui/Palette.h"

namespace rk {
namespace {

[[maybe_unused]] const auto* const kApp = ::testing::AddGlobalTestEnvironment(new test::QtAppEnvironment);

class PageCaptureTest : public ::testing::Test {
protected:
    // The capture's status and closing line.
    std::pair<int, QString> capture(const QString& folder) {
        QString text;
        QTextStream out(&text);
        const int status = PageCapture::run(folder, false, model, out);
        return {status, text};
    }

    test::ModelWorld world;
    AppModel model{world.seams};
    QTemporaryDir dir;
};

TEST_F(PageCaptureTest, WritesEveryPageInBothSchemes) {
    const QString folder = dir.filePath("pages");
    EXPECT_EQ(capture(folder), std::make_pair(0, "captured 10 pages to " + folder + "\n"));
    const QStringList expected{"accessibility-dark.png", "accessibility-light.png", "done-dark.png",
                               "done-light.png",         "loginItems-dark.png",     "loginItems-light.png",
                               "moveIn-dark.png",        "moveIn-light.png",        "start-dark.png",
                               "start-light.png"};
    ASSERT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name), expected);
    for (const QString& name : expected) {
        const QImage image(QDir(folder).filePath(name));
        const qreal scale = image.width() / double(PageCapture::width);
        EXPECT_TRUE(scale == 1 || scale == 2) << name.toStdString();
        EXPECT_GE(image.height(), PageCapture::minHeight * scale) << name.toStdString();
        EXPECT_LE(image.height(), PageCapture::maxHeight * scale) << name.toStdString();
        // The scheme comes from the frame, whatever the desktop says.
        EXPECT_EQ(image.pixelColor(2, 2).rgb(), Palette::ground(name.contains("dark")).rgb())
            << name.toStdString();
    }
}

TEST_F(PageCaptureTest, AFolderThatCannotBeWrittenCountsNoPage) {
    QFile file(dir.filePath("plain-file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString folder = dir.filePath("plain-file/pages");
    EXPECT_EQ(capture(folder), std::make_pair(1, "captured 0 pages to " + folder + "\n"));
}

}  // namespace
}  // namespace rk
