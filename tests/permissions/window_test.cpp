// The wizard's window: one at a time, re-probing, opening pages, and
// rewriting the record when it closes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSettings>

#include "permissions/PermissionWindow.h"
#include "permissions/PermissionWizard.h"
#include "support/PlatformFakes.h"
#include "support/SimulatedSettings.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

QList<QWidget*> wizardWindows() {
    QList<QWidget*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (dynamic_cast<KTPermissionWindow*>(widget) == nullptr)
            continue;
        windows << widget;
    }
    return windows;
}

void settle(int milliseconds = 0) {
    QElapsedTimer clock;
    clock.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    } while (clock.elapsed() < milliseconds);
}

class PermissionWindowTest : public testing::Test {
protected:
    void SetUp() override {
        test::ensureApplication();
        KTPermission screen = test::samplePermission("screen");
        screen.probe = [this] { return screenGranted; };
        screen.isOptional = true;
        screen.benefit = "<b>So</b> you can see it.";
        screen.settingsURL = KTPermissionProbes::Pane::screenRecording();
        permissions = {test::samplePermission("disk", true), screen};
    }
    void TearDown() override { settle(); }
    void configure() { KTPermissionWizard::configure(product, KTWizardBrand{}, permissions, false); }
    KTPermissionWindow* window() {
        const QList<QWidget*> windows = wizardWindows();
        return windows.size() == 1 ? static_cast<KTPermissionWindow*>(windows[0]) : nullptr;
    }

    test::WizardSandbox sandbox;
    KTWizardProduct product{.name = "Sampler", .slug = "sampler"};
    QList<KTPermission> permissions;
    bool screenGranted = false;
};

TEST_F(PermissionWindowTest, OneWindowTitledForTheProductIsReusedShowingTextsPlain) {
    KTPermissionWizard::present(true);
    settle();
    EXPECT_TRUE(wizardWindows().isEmpty()) << "nothing is presented before configuration";

    configure();
    KTPermissionWizard::present(true);
    KTPermissionWizard::present(false);
    settle();
    ASSERT_NE(window(), nullptr);
    EXPECT_EQ(window()->windowTitle(), "Sampler Permissions");
    EXPECT_EQ(window()->size(), QSize(660, 700));
    EXPECT_TRUE(window()->isVisible());
    bool found = false;
    for (QLabel* label : window()->findChildren<QLabel*>()) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
        found = found || label->text() == "<b>So</b> you can see it.";
    }
    EXPECT_TRUE(found);
    KTPermissionWizard::close();
}

TEST_F(PermissionWindowTest, GrantsAreProbedAgainEverySecond) {
    configure();
    KTPermissionWizard::present(true);
    ASSERT_NE(window(), nullptr);
    EXPECT_EQ(window()->statusText("disk"), "Granted");
    EXPECT_EQ(window()->statusText("screen"), "Not granted (optional)");
    screenGranted = true;
    settle(1300);
    EXPECT_EQ(window()->statusText("screen"), "Granted");
    KTPermissionWizard::close();
}

TEST_F(PermissionWindowTest, TheButtonOpensThePermissionsPageThroughTheWorkspace) {
    test::FakeWorkspace workspace;
    test::ScopedCurrent<Workspace> installed(&workspace);
    // Anything that went round the workspace to the desktop would land here.
    UrlCatcher desktop;
    QDesktopServices::setUrlHandler("x-apple.systempreferences", &desktop, "open");
    configure();
    KTPermissionWizard::present(true);
    ASSERT_NE(window(), nullptr);
    auto* button = window()->findChild<QPushButton*>("open:screen");
    ASSERT_NE(button, nullptr);
    button->click();
    EXPECT_EQ(workspace.opened, QList<QUrl>{KTPermissionProbes::Pane::screenRecording()});
    EXPECT_TRUE(desktop.opened.isEmpty());
    QDesktopServices::unsetUrlHandler("x-apple.systempreferences");
    KTPermissionWizard::close();
}

TEST_F(PermissionWindowTest, TheWindowOpensCentredOnItsScreen) {
    configure();
    KTPermissionWizard::present(true);
    settle();
    ASSERT_NE(window(), nullptr);
    ASSERT_NE(window()->screen(), nullptr);
    const QRect screen = window()->screen()->availableGeometry();
    const QRect frame = window()->frameGeometry();
    // The frame, title bar included, is what the person sees centred.
    EXPECT_LE(std::abs(frame.center().x() - screen.center().x()), 1);
    if (frame.height() <= screen.height()) {
        EXPECT_LE(std::abs(frame.center().y() - screen.center().y()), 1);
    } else {
        // Taller than the screen: the title bar stays reachable.
        EXPECT_EQ(frame.top(), screen.top());
    }
    KTPermissionWizard::close();
}

TEST_F(PermissionWindowTest, ClosingRewritesTheRecordWithTheSkips) {
    struct Case {
        const char* label;
        std::function<void()> closeIt;
    };
    const Case cases[] = {
        {"close()", [] { KTPermissionWizard::close(); }},
        {"the person closes it", [this] { window()->close(); }},
    };
    for (const Case& c : cases) {
        configure();
        QSettings().setValue("KTPermissionWizard.skipped.sampler", QStringList{"screen"});
        KTPermissionWizard::present(true);
        QFile::remove(sandbox.dotFile("sampler", "permissions.json"));
        ASSERT_NE(window(), nullptr) << c.label;
        c.closeIt();
        settle();
        EXPECT_FALSE(KTPermissionWizard::isPresented()) << c.label;
        EXPECT_TRUE(wizardWindows().isEmpty()) << c.label;
        const QByteArray record = sandbox.readDotFile("sampler", "permissions.json");
        EXPECT_TRUE(record.contains("\"skipped\": true")) << c.label;
        // A second close has no window to close and writes nothing.
        QFile::remove(sandbox.dotFile("sampler", "permissions.json"));
        KTPermissionWizard::close();
        EXPECT_FALSE(QFile::exists(sandbox.dotFile("sampler", "permissions.json"))) << c.label;
    }
}

}  // namespace
}  // namespace rk

#include "window_test.moc"
