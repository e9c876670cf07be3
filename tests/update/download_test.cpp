// Downloading and checking an update: each refusal with its message, the
// order in which the tools run, and where the download may be put.

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "support/FakeTools.h"
#include "support/LoopbackHttps.h"
#include "support/PlatformFakes.h"
#include "support/Printers.h"
#include "support/QtApp.h"
#include "update/KTUpdate.h"
#include "update/UpdateDownload.h"
#include "update/UpdateStaging.h"

namespace rk {
namespace {

using namespace KTUpdate;
using namespace std::chrono_literals;

[[maybe_unused]] const auto* const kApp =
    ::testing::AddGlobalTestEnvironment(new test::AppEnvironment(test::AppKind::core, "update_download_test"));

const QByteArray kSigned = "Executable=/x/Rowkeeper\nTeamIdentifier=K4TQ9XR2VM\n";

QString sha256(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// A zip of "Rowkeeper.app" (identifier com.quillory.rowkeeper, an executable
// and a link) under `folder`, with a name outside the archive's folder when asked.
QByteArray archive(const QString& folder = "", bool outside = false) {
    const QTemporaryDir dir;
    const QString contents = dir.filePath("pack/" + folder + "Rowkeeper.app/Contents");
    QDir().mkpath(contents + "/MacOS");
    QFile plist(contents + "/Info.plist");
    plist.open(QIODevice::WriteOnly);
    plist.write("<plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
                "<string>com.quillory.rowkeeper</string></dict></plist>");
    plist.close();
    QFile(contents + "/MacOS/Rowkeeper").open(QIODevice::WriteOnly);
    QFile::setPermissions(contents + "/MacOS/Rowkeeper", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::link("MacOS", contents + "/Current");
    QFile(dir.filePath("evil")).open(QIODevice::WriteOnly);
    QProcess zip;
    zip.setWorkingDirectory(dir.filePath("pack"));
    zip.start("zip", QStringList{"-q", "-r", "-y", "../a.zip", folder.isEmpty() ? "Rowkeeper.app" : folder} +
                         (outside ? QStringList{"../evil"} : QStringList{}));
    zip.waitForFinished();
    QFile made(dir.filePath("a.zip"));
    return made.open(QIODevice::ReadOnly) ? made.readAll() : QByteArray();
}

class UpdateDownload : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        server.trustInThisProcess();
        appKey = "lark-spur";
        teamID = "K4TQ9XR2VM";
        tools.installStandIn(MacTool::ditto);
        for (const MacTool tool : {MacTool::codesign, MacTool::spctl, MacTool::xattr}) {
            tools.install(tool);
            tools.answer(tool, 0);
        }
        tools.answer(MacTool::codesign, 0, kSigned);
        self.identifier = "com.quillory.rowkeeper";
    }
    void TearDown() override { qunsetenv("XDG_RUNTIME_DIR"); }

    Appcast offer(const QByteArray& zip, const QString& version = "1.4.2") {
        server.answer("/Rowkeeper.zip", {200, zip});
        Appcast entry;
        entry.version = version;
        entry.build = 57;
        entry.url = QUrl(server.base() + "/Rowkeeper.zip");
        entry.sha256 = sha256(zip);
        return entry;
    }

    QTemporaryDir runtime;
    test::TempRoot root;
    test::FakeTools tools{root};
    test::LoopbackHttps server;
    test::FakeAppBundle self;
    test::ScopedCurrent<AppBundle> selfInPlace{&self};
};

TEST_F(UpdateDownload, StagesAVerifiedBundleAndLiftsTheQuarantineLast) {
    const auto staged = downloadAndVerify(offer(archive()), 10s);
    ASSERT_TRUE(staged.ok()) << staged.error().toStdString();
    const QString folder = runtime.path() + "/KTUpdate/KTUpdate-lark-spur-1.4.2-57";
    const QString app = folder + "/Rowkeeper.app";
    EXPECT_EQ(*staged, app);
    EXPECT_EQ(tools.calls(), QStringList({"ditto -x -k " + folder + "/update.zip " + folder,
                                          "codesign --verify --deep --strict " + app,
                                          "codesign -dv --verbose=2 " + app, "spctl -a " + app,
                                          "xattr -dr com.apple.quarantine " + app}));
    EXPECT_TRUE(QFileInfo(app + "/Contents/MacOS/Rowkeeper").isExecutable());
    EXPECT_TRUE(QFileInfo(app + "/Contents/Current").isSymLink());
}

TEST_F(UpdateDownload, RefusesAtTheFirstCheckThatFails) {
    const QByteArray good = archive();
    const QString otherTeam = "wrong signer (TeamIdentifier != K4TQ9XR2VM)";
    const QString gatekeeper = "Gatekeeper rejected the update (unnotarized or non-Developer-ID build)";
    const QStringList checked{"ditto", "codesign", "codesign", "spctl"};
    const struct {
        std::function<void(Appcast&)> change;
        QString message;
        QStringList toolsRun;
    } rows[] = {
        {[&](Appcast& a) { a.url = QUrl(server.base() + "/missing.zip"); }, "download failed", {}},
        {[](Appcast& a) { a.sha256 = QString(64, 'b'); },
         "sha256 mismatch (got " + sha256(good).left(12) + "\u2026, manifest bbbbbbbbbbbb\u2026)", {}},
        {[&](Appcast& a) { a = offer(archive("", true)); }, "unzip failed", {"ditto"}},
        {[&](Appcast& a) { a = offer(archive("Payload/")); }, "no .app in the archive", {"ditto"}},
        {[&](Appcast&) { root.remove(SystemPaths::toolLocation(MacTool::codesign)); }, "code signature invalid",
         {"ditto"}},
        {[&](Appcast&) { tools.answer(MacTool::codesign, 1); }, "code signature invalid", {"ditto", "codesign"}},
        {[&](Appcast&) { tools.answer(MacTool::codesign, 0, "TeamIdentifier=Z9Z9Z9Z9Z9\n"); }, otherTeam,
         {"ditto", "codesign", "codesign"}},
        {[&](Appcast&) {
             tools.answer(MacTool::codesign, 0, "Executable=/u/TeamIdentifier=K4TQ9XR2VM/x\nTeamIdentifier=not set\n");
         },
         otherTeam, {"ditto", "codesign", "codesign"}},
        {[&](Appcast&) { tools.answer(MacTool::spctl, 3, "rejected"); }, gatekeeper, checked},
        {[&](Appcast&) { self.identifier = "com.example.other"; },
         "different app in the feed (com.quillory.rowkeeper is not com.example.other); keeping this one", checked},
        {[&](Appcast&) { self.identifier.reset(); },
         "different app in the feed (com.quillory.rowkeeper is not this app); keeping this one", checked},
    };
    for (const auto& row : rows) {
        SetUp();
        root.remove("/.fake-tools/calls");
        Appcast entry = offer(good);
        row.change(entry);
        const auto staged = downloadAndVerify(entry, 10s);
        ASSERT_FALSE(staged.ok()) << row.message.toStdString();
        EXPECT_EQ(staged.error(), row.message);
        QStringList names;
        for (const QString& call : tools.calls())
            names << call.section(' ', 0, 0);
        EXPECT_EQ(names, row.toolsRun) << row.message.toStdString();
        const QDir folder(runtime.path() + "/KTUpdate/" + stagingFolderName(appKey, entry.version, 57));
        EXPECT_EQ(folder.isEmpty(), row.toolsRun.isEmpty()) << "the archive is written only once its digest matches";
    }
    EXPECT_FALSE(QFile::exists(runtime.path() + "/KTUpdate/evil"));
}

TEST_F(UpdateDownload, StagesOnlyInsideAFolderNoOneElseMayEnter) {
    const QString victim = privateTemporaryFolder().valueOr("") + "/victim-57";
    QDir().mkpath(victim);
    QFile(victim + "/keep").open(QIODevice::WriteOnly);
    const auto staged = downloadAndVerify(offer(archive(), "../../victim"), 10s);
    EXPECT_EQ(staged.valueOr(""), runtime.path() + "/KTUpdate/KTUpdate-lark-spur-____victim-57/Rowkeeper.app");
    EXPECT_TRUE(QFile::exists(victim + "/keep"));

    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                                              QFile::ExeOther);
    const QString fallback = privateTemporaryFolder().valueOr("");
    EXPECT_TRUE(fallback.startsWith(QDir::tempPath() + "/KTUpdate-")) << fallback.toStdString();
    EXPECT_EQ(QFileInfo(fallback).permissions() & (QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup), 0);
    QDir(fallback).removeRecursively();
}

}  // namespace
}  // namespace rk
