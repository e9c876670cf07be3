// The window shots: the frames rendered, the height taken from the
// environment, the fit verdicts, and whole runs into a folder and into a
// place where nothing can be written.

#include "permissions/screens/Windowshot.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "support/ScreensFixture.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

QStringList names(const QList<KTWindowshot::Frame>& frames) {
    QStringList out;
    for (const KTWindowshot::Frame& frame : frames)
        out << frame.name;
    return out;
}

TEST(Windowshot, FramesPerPermissionAndForFormerIdentities) {
    QSet<QString> granted;
    const QList<KTPermission> permissions = test::screensPermissions(&granted);
    KTWizardProduct product = test::screensProduct();
    const QList<KTWindowshot::Frame> frames = KTWindowshot::frames(product, permissions);
    EXPECT_EQ(names(frames),
              (QStringList{"summary", "disk", "disk-waiting", "disk-granted", "access", "access-waiting",
                           "access-granted", "screen", "screen-waiting", "screen-granted", "done"}));
    EXPECT_EQ(frames[6], (KTWindowshot::Frame{.name = "access-granted", .step = 1, .granted = {"access"}}));
    product.legacyBundleIdentifiers = {"org.example.old"};
    EXPECT_EQ(KTWindowshot::frames(product, permissions)[4].name, "disk-legacy-cleared");
    EXPECT_EQ(KTWindowshot::frames(product, permissions).size(), 14);
    EXPECT_EQ(KTWindowshot::cardPaneName(permissions), "Full Disk Access");
}

TEST(Windowshot, HeightAndVerdictsAroundTheMinimumAndTheFold) {
    const std::pair<std::optional<QString>, double> cases[] = {
        {std::nullopt, 700}, {"600.9", 600.9}, {"1", 1},       {"10000", 10000}, {"abc", 700},
        {"nan", 700},        {"inf", 700},     {"-500", 700},  {"0", 700},       {"1e308", 700},
        {"10000.5", 700},    {" 600", 700},    {"600px", 700}, {"", 700},
    };
    for (const auto& [variable, height] : cases)
        EXPECT_EQ(KTWindowshot::height(variable), height) << variable.value_or("(unset)").toStdString();
    using V = KTWindowshot::Verdict;
    EXPECT_EQ(KTWindowshot::verdict(559.6, std::nullopt),
              (V{"fit NOT MEASURED (no scroll view on this screen)", false}));
    EXPECT_EQ(KTWindowshot::verdict(559.4, 0), (V{"CLIPPED by 1pt (window below the 560pt minimum)", true}));
    EXPECT_EQ(KTWindowshot::verdict(500, 0), (V{"CLIPPED by 60pt (window below the 560pt minimum)", true}));
    EXPECT_EQ(KTWindowshot::verdict(700, 0.5), (V{"fits", false}));
    EXPECT_EQ(KTWindowshot::verdict(700, 0.6), (V{"OVERFLOWS by 1pt", true}));
}

class WindowshotRun : public testing::Test {
protected:
    void SetUp() override { test::ensureApplication(); }

    int run(const QString& outDir, double height = 700) {
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        return KTWindowshot::run(test::screensBrand(), test::screensProduct(),
                                 test::screensPermissions(&granted), outDir, height, outStream, errStream,
                                 [](int) { QCoreApplication::processEvents(); });
    }
    QStringList lines(const QString& text) const { return text.split('\n', Qt::SkipEmptyParts); }

    test::WizardSandbox sandbox;
    QSet<QString> granted;
    QString out;
    QString err;
};

TEST_F(WindowshotRun, WritesEveryScreenAndCardAsAPicture) {
    QTemporaryDir folder;
    EXPECT_EQ(run(folder.path() + "/shots"), 0) << out.toStdString();
    const QStringList written = QDir(folder.path() + "/shots").entryList(QDir::Files);
    EXPECT_EQ(written.size(), 26);
    for (const QString& name : written)
        EXPECT_FALSE(QImage(folder.path() + "/shots/" + name).isNull()) << name.toStdString();
    const QStringList printed = lines(out);
    ASSERT_EQ(printed.size(), 27);
    EXPECT_EQ(printed.first(), "wrote " + folder.path() +
                                   "/shots/window-summary-dark.png  fit NOT MEASURED (no scroll view on "
                                   "this screen)");
    EXPECT_EQ(printed[1], "wrote " + folder.path() + "/shots/window-disk-dark.png  fits");
    EXPECT_EQ(printed.last(), "windowshot: 26 frames at 660x700 (+4 drag-companion cards)");
    EXPECT_TRUE(err.isEmpty());
}

TEST_F(WindowshotRun, NothingWrittenIsNothingClaimed) {
    QTemporaryDir folder;
    QFile blocker(folder.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    // No folder can be made inside a file, whoever runs the test.
    EXPECT_EQ(run(folder.filePath("file/shots"), 500), 1);
    EXPECT_EQ(lines(err).size(), 26);
    EXPECT_EQ(lines(err).first(),
              "windowshot: could not write " + folder.filePath("file/shots") + "/window-summary-dark.png");
    const QStringList printed = lines(out);
    EXPECT_EQ(printed.first(), "windowshot: NOT MEASURED, 0 of 26 frames");
    EXPECT_TRUE(
        printed.last().startsWith("windowshot: content runs past the fold on summary-dark, disk-dark,"));
}

}  // namespace
}  // namespace rk
