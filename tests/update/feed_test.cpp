// The update feed: what a feed document must hold, how versions order, and
// what a fetch over HTTPS yields; downloading and checking an update: each
// refusal with its message, the order in which the tools run, and where the
// download may be put.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "support/FakeTools.h"
#include "support/LoopbackServer.h"
#include "support/PlatformFakes.h"
#include "support/Printers.h"
#include "support/QtApp.h"
#include "support/UpdaterReset.h"
#include "support/ZipWriter.h"
#include "update/KTUpdate.h"
#include "update/UpdateDownload.h"
#include "update/UpdateFeed.h"
#include "update/UpdateStaging.h"

// AddressSanitizer keeps freed memory aside before it reuses it (256 MiB by
// default), which would swamp the peak this program measures for a download;
// a small quarantine still catches a use after free at once.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16";
}

namespace rk {
namespace {

using namespace KTUpdate;
using namespace std::chrono_literals;

[[maybe_unused]] const auto* const kApp =
    ::testing::AddGlobalTestEnvironment(new test::AppEnvironment(test::AppKind::core, "update_feed_test"));
[[maybe_unused]] const bool kReset = test::resetUpdaterAfterEachTest();

const QString kDigest = QString(32, 'a') + QString(32, 'b');

QJsonObject plainFeed() {
    return {{"version", "1.4.2"}, {"url", "https://example.com/a.zip"}, {"sha256", kDigest}};
}

Appcast entry(const std::function<void(Appcast&)>& change = [](Appcast&) {}) {
    Appcast a;
    a.version = "1.4.2";
    a.url = QUrl("https://example.com/a.zip");
    a.sha256 = kDigest;
    change(a);
    return a;
}

// The process's memory in KiB: "VmRSS:" what it holds, "VmHWM:" the most it
// held since `resetPeakKiB` (which returns what it holds then).
qint64 memoryKiB(const QByteArray& field) {
    const QByteArray all = test::readFileAt("/proc/self/status");
    return all.mid(all.indexOf(field) + field.size()).simplified().split(' ').value(0).toLongLong();
}
qint64 resetPeakKiB() {
    QFile peak("/proc/self/clear_refs");
    EXPECT_TRUE(peak.open(QIODevice::WriteOnly) && peak.write("5") == 1 && peak.flush());
    return memoryKiB("VmRSS:");
}

TEST(UpdateFeed, ReadsEachKeyByItsRule) {
    const std::optional<Appcast> invalid;
    const QDateTime nineThirty(QDate(2026, 3, 1), QTime(9, 30), Qt::UTC);
    const struct {
        const char* key;
        QJsonValue value;  // Undefined: the key is left out
        std::optional<Appcast> want;
    } rows[] = {
        {"version", QJsonValue::Undefined, invalid},
        {"version", 142, invalid},
        {"version", "1.4.2\n2026-03-01 09:30:00 app: forged", invalid},
        {"version", "1.4.2\u200f", invalid},
        {"version", QString("1.4.2") + QChar(0), invalid},
        {"build", "57\r", invalid},
        {"url", QJsonValue::Undefined, invalid},
        {"url", "http://example.com/a.zip", invalid},
        {"url", "HTTPS://example.com/a.zip", invalid},
        {"url", "https://exa mple.com/a.zip", invalid},
        {"url", "https:", invalid},
        {"url", "https:///etc/passwd", invalid},
        {"sha256", kDigest.toUpper(), entry()},
        {"sha256", kDigest.left(63), invalid},
        {"sha256", kDigest + "a", invalid},
        {"build", 57, entry([](Appcast& a) { a.build = 57; })},
        {"build", "+57", entry([](Appcast& a) { a.build = 57; })},
        {"build", " 57", entry()},
        {"build", "5a", entry()},
        {"build", 57.5, entry()},
        {"build", true, entry()},
        {"notes", "", entry()},
        {"notes", "Fixes the list.", entry([](Appcast& a) { a.notes = "Fixes the list."; })},
        {"notes_url", "http://example.com/n", entry()},
        {"notes_url", "https:///n", entry()},
        {"length", 2048, entry([](Appcast& a) { a.length = 2048; })},
        {"length", "2048", entry()},
        {"length", 0, entry()},
        {"notes_url", "https://example.com/n",
         entry([](Appcast& a) { a.notesURL = QUrl("https://example.com/n"); })},
        {"min_macos", "26.1", entry([](Appcast& a) { a.minMacOS = "26.1"; })},
        {"min_macos", 26, entry()},
        {"critical", true, entry([](Appcast& a) { a.critical = true; })},
        {"critical", "true", entry()},
        {"pubdate", "2026-03-01T09:30:00Z", entry([&](Appcast& a) { a.published = nineThirty; })},
        {"pubdate", "2026-03-01T10:30:00+01:00", entry([&](Appcast& a) { a.published = nineThirty; })},
        {"pubdate", "2026-03-01", entry()},
        {"pubdate", "2026-03-01T09:30:00", entry()},
        {"pubdate", "2026-03-01T09:30:00.5Z", entry()},
        {"pubdate", "2026-02-30T09:30:00Z", entry()},
    };
    for (const auto& row : rows) {
        QJsonObject feed = plainFeed();
        if (row.value.isUndefined())
            feed.remove(row.key);
        else
            feed.insert(row.key, row.value);
        EXPECT_EQ(parseAppcast(QJsonDocument(feed).toJson()), row.want)
            << row.key << " "
            << QJsonDocument(QJsonArray{row.value}).toJson(QJsonDocument::Compact).constData();
    }
    EXPECT_EQ(parseAppcast("[1]"), invalid);
    EXPECT_EQ(parseAppcast("{\"version\": "), invalid);
}

TEST(UpdateFeed, ComparesVersionsPieceByPiece) {
    using O = std::strong_ordering;
    const std::tuple<const char*, const char*, O> rows[] = {
        {"1.10", "1.9", O::greater}, {"1.2", "1.2.0", O::equal}, {"2.0b1", "2.0", O::equal},
        {"1.2a", "1.2.1", O::less},  {"1..2", "1.2", O::equal},  {"", "0.0", O::equal},
        {"1. 2", "1", O::equal},     {"-1", "+0", O::less},
    };
    for (const auto& [a, b, want] : rows)
        EXPECT_TRUE(compareVersions(a, b) == want) << a << " against " << b;
}

TEST(UpdateFeed, OnlyATrustedAnswerWithStatus200GivesABody) {
    test::LoopbackServer server(true);
    ASSERT_NE(server.base(), "");
    const QByteArray document = QJsonDocument(plainFeed()).toJson();
    server.answer("/lark-spur/appcast.json", {200, document});
    feedBase = server.base();
    appKey = "lark-spur";
    const auto fetched = [] {
        std::optional<Appcast> feed;
        q().sync([&] { feed = fetchAppcast(10s); });
        return feed;
    };
    EXPECT_EQ(fetched(), std::nullopt) << "a certificate nobody vouches for";
    server.trustInThisProcess();
    EXPECT_EQ(fetched(), parseAppcast(document));
    server.answer("/lark-spur/appcast.json", {200, {}, {}, 50 << 20});
    const qint64 before = resetPeakKiB();
    EXPECT_EQ(fetched(), std::nullopt) << "a feed of 50 MiB";
    EXPECT_LT(memoryKiB("VmHWM:") - before, 40 * 1024);

    // A plain server that would answer, were the redirect to it followed.
    test::LoopbackServer plain;
    plain.reply(200, "the archive");
    server.answer("/s200", {200, "the archive"});
    const std::pair<const char*, test::LoopbackServer::Answer> nothing[] = {
        {"/s204", {204}},
        {"/s304", {304}},
        {"/s404", {404, "gone"}},
        {"/to-http", {302, {}, "Location: " + plain.baseAddress().toUtf8() + "s200\r\n"}},
    };
    const auto fetch = [&](const char* path) {
        return syncFetch(freshRequest(server.base() + path, 5s), 10s);
    };
    for (const auto& [path, answer] : nothing) {
        server.answer(path, answer);
        EXPECT_EQ(fetch(path), std::nullopt) << path;
    }
    EXPECT_TRUE(plain.requests().isEmpty()) << "a redirect from https to http is never followed";
    server.answer("/to-https", {302, {}, "Location: " + server.base().toUtf8() + "/s200\r\n"});
    EXPECT_EQ(fetch("/to-https"), QByteArray("the archive"));
}

const QByteArray kSigned = "Executable=/x/Rowkeeper\nTeamIdentifier=K4TQ9XR2VM\n";

QString sha256(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// A zip of "<folder>Rowkeeper.app" (identifier com.quillory.rowkeeper, an
// executable and a link) and of the `extra` names: "../evil", or "Linked.app",
// a link to the bundle.
QByteArray archive(const QString& folder = "", const QString& extra = "") {
    const QTemporaryDir dir;
    const QString script =
        "cd \"$0\" && c=pack/$1Rowkeeper.app/Contents; mkdir -p $c/MacOS && touch evil $c/MacOS/Rowkeeper && "
        "chmod 700 $c/MacOS/Rowkeeper && ln -s MacOS $c/Current && ln -s $1Rowkeeper.app pack/Linked.app && "
        "printf '%s' '<plist version=\"1.0\"><dict>"
        "<key>CFBundleIdentifier</key><string>com.quillory.rowkeeper</string></dict></plist>' > "
        "$c/Info.plist && "
        "top=${1%%/*}; cd pack && zip -qry ../a.zip ${top:-Rowkeeper.app} $2";
    QProcess::execute("/bin/sh", {"-c", script, dir.path(), folder, extra});
    return test::readFileAt(dir.filePath("a.zip"));
}

class UpdateDownload : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        server.trustInThisProcess();
        appKey = "lark-spur";
        tools.installStandIn(MacTool::ditto);
        for (const MacTool tool : {MacTool::codesign, MacTool::spctl, MacTool::xattr}) {
            tools.install(tool);
            tools.answer(tool, 0);
        }
        tools.answer(MacTool::codesign, 0, kSigned);
        self.identifier = "com.quillory.rowkeeper";
        root.remove("/.fake-tools/calls");
    }
    void TearDown() override { qunsetenv("XDG_RUNTIME_DIR"); }

    // An archive of `bytes` bytes (endless when negative) that states `stated` as its length.
    QUrl streamed(qint64 bytes, const QByteArray& stated = {}) {
        server.answer("/streamed.zip",
                      {200, {}, stated.isEmpty() ? "" : "Content-Length: " + stated + "\r\n", bytes});
        return QUrl(server.base() + "/streamed.zip");
    }

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
    test::LoopbackServer server{true};
    test::FakeAppBundle self;
    test::ScopedCurrent<AppBundle> selfInPlace{&self};
};

TEST_F(UpdateDownload, StagesAVerifiedBundleAndLiftsTheQuarantineLast) {
    const QString folder = runtime.path() + "/KTUpdate/KTUpdate-lark-spur-1.4.2-57";
    const QString app = folder + "/Rowkeeper.app";
    EXPECT_EQ(downloadAndVerify(offer(archive()), 10s).valueOr("refused"), app);
    EXPECT_EQ(tools.calls(),
              QStringList({"ditto -x -k " + folder + "/update.zip " + folder,
                           "codesign --verify --deep --strict " + app, "codesign -dv --verbose=2 " + app,
                           "spctl -a " + app, "xattr -dr com.apple.quarantine " + app}));
    EXPECT_TRUE(QFileInfo(app + "/Contents/MacOS/Rowkeeper").isExecutable());
    EXPECT_TRUE(QFileInfo(app + "/Contents/Current").isSymLink());
}

TEST_F(UpdateDownload, RefusesAtTheFirstCheckThatFails) {
    const QByteArray good = archive();
    const QString otherTeam = "wrong signer (TeamIdentifier != K4TQ9XR2VM)";
    const QString otherApp = "different app in the feed (com.quillory.rowkeeper is not ";
    const QStringList signedTwice{"ditto", "codesign", "codesign"};
    const QStringList checked = signedTwice + QStringList{"spctl"};
    const QString tooLarge = "download failed: larger than 1 GiB";
    const std::tuple<std::function<void(Appcast&)>, QString, QStringList> rows[] = {
        {[&](Appcast& a) { a.url = QUrl(server.base() + "/missing.zip"); }, "download failed", {}},
        {[&](Appcast& a) { a.length = good.size() - 1; },
         QString("download failed: larger than the %1 bytes the feed states").arg(good.size() - 1),
         {}},
        {[&](Appcast& a) { a.length = good.size(); }, "staged", checked + QStringList{"xattr"}},
        {[&](Appcast& a) { a.url = streamed(2LL << 30, "2147483648"); }, tooLarge, {}},
        {[&](Appcast& a) { a.url = streamed(-1); }, tooLarge, {}},
        // A stated length past the limit is refused before the body: read, the
        // 1 MiB sent would end the answer short.
        {[&](Appcast& a) { a.url = streamed(1 << 20, "2147483648"); }, tooLarge, {}},
        {[&](Appcast& a) {
             a.length = 2LL << 30;
             a.url = streamed(1 << 20, QByteArray::number(kArchiveLimit + 1));
         },
         tooLarge,
         {}},
        {[&](Appcast& a) { a = offer(archive("", "../evil")); }, "unzip failed", {"ditto"}},
        {[&](Appcast& a) { a = offer(archive("Payload/")); }, "no .app in the archive", {"ditto"}},
        {[&](Appcast& a) { a = offer(archive("Payload/", "Linked.app")); },
         "no .app in the archive",
         {"ditto"}},
        {[&](Appcast&) { root.remove(SystemPaths::toolLocation(MacTool::codesign)); },
         "code signature invalid",
         {"ditto"}},
        {[&](Appcast&) { tools.answer(MacTool::codesign, 1); },
         "code signature invalid",
         {"ditto", "codesign"}},
        {[&](Appcast&) { tools.answer(MacTool::codesign, 0, "Executable=/TeamIdentifier=K4TQ9XR2VM/x\n"); },
         otherTeam, signedTwice},
        {[&](Appcast&) { tools.answer(MacTool::codesign, 0, "TeamIdentifier=K4TQ9XR2VMX\n"); }, otherTeam,
         signedTwice},
        {[&](Appcast&) { tools.answer(MacTool::spctl, 3); },
         "Gatekeeper rejected the update (unnotarized or non-Developer-ID build)", checked},
        {[&](Appcast&) { self.identifier.reset(); }, otherApp + "this app); keeping this one", checked},
    };
    const qint64 before = resetPeakKiB();
    for (const auto& [change, message, toolsRun] : rows) {
        SetUp();
        Appcast entry = offer(good);
        change(entry);
        const auto staged = downloadAndVerify(entry, 120s);
        EXPECT_EQ(staged.ok() ? "staged" : staged.error(), message);
        QStringList names;
        for (const QString& call : tools.calls())
            names << call.section(' ', 0, 0);
        EXPECT_EQ(names, toolsRun) << message.toStdString();
        const QDir folder(runtime.path() + "/KTUpdate/" + stagingFolderName(appKey, entry.version, 57));
        EXPECT_EQ(folder.isEmpty(), toolsRun.isEmpty()) << "the archive is written once its digest matches";
    }
    EXPECT_LT(memoryKiB("VmHWM:") - before, 64 * 1024) << "1 GiB of an endless body, held as it came";
    EXPECT_FALSE(QFile::exists(runtime.path() + "/KTUpdate/evil"));
}

// The ditto stand-in on archives that unzip would unpack otherwise than
// the stand-in's own reading of them: refused before anything is written.
TEST_F(UpdateDownload, StandInRefusesEntriesThatUnzipWouldReadOtherwise) {
    using test::ZipEntry;
    const QByteArray bzippedOk =
        QByteArray::fromHex("425a6839314159265359a4c4f13600000081000008a000210082b177245385090a4c4f1360");
    const QByteArray differs = "an entry whose local header differs from its directory record";
    QList<ZipEntry> longNames;  // 1,813 bytes each, in folders of 200
    for (int i = 0; i < 1000; ++i)
        longNames.append({.name = QByteArray::number(i) + ("/" + QByteArray(200, 'a')).repeated(9)});
    const auto link = [](const QByteArray& name, const QByteArray& target) {
        return ZipEntry{.name = name, .data = target, .mode = 0120777};
    };
    const ZipEntry y = {.name = "Y", .data = "ok"}, z = {.name = "Z"};
    // A directory record's start with its flags and method; the end record's with its counts.
    const auto record = [](const char* hex) {
        return QByteArray::fromHex("504b01021e031400") + QByteArray::fromHex(hex);
    };
    const auto end = [](const char* hex) {
        return QByteArray::fromHex("504b050600000000") + QByteArray::fromHex(hex);
    };
    const struct {
        const char* what;
        QList<ZipEntry> entries;
        QByteArray refusal;             // empty: unpacked
        QByteArray from = {}, to = {};  // replaced in the archive
    } rows[] = {
        {"a file, a file in a folder and a link", {y, {.name = "d/F", .data = "ok"}, link("L", "Y")}, ""},
        // The link's target is read under "Y", which unzip would take for the file.
        {"a link named M by a Unicode field",
         {{.name = "Y", .data = "/etc", .mode = 0120777, .extra = test::unicodeField(0x7075, "Y", "M")},
          {.name = "Z", .data = "ok", .extra = test::unicodeField(0x7075, "Z", "Y")}},
         "a Unicode name or comment field"},
        {"a Unicode comment",
         {{.name = "Y", .data = "ok", .extra = test::unicodeField(0x6375, "Y", "hi")}},
         "a Unicode name or comment field"},
        {"an extra field cut short",
         {{.name = "Y", .data = "ok", .extra = test::extraField(0x5455, "abc").left(6)}},
         "a damaged extra field"},
        {"bzip2 in the local header",
         {{.name = "Y", .data = bzippedOk, .localMethod = 12, .unpacked = "ok"}},
         differs},
        {"another local name", {{.name = "Y", .data = "ok", .localName = "../Y"}}, differs},
        {"1,000 long names", longNames, "a name longer than 1024 bytes"},
        {"a name of 1,024 bytes",
         {y,
          {.name = "d/F", .data = "ok"},
          link("L", "Y"),
          {.name = (QByteArray(254, 'a') + "/").repeated(4) + "FFFF"}},
         ""},
        {"links of 1 and 4,095 bytes, their sizes after them",
         {y,
          {.name = "d/F", .data = "ok"},
          {.name = "L", .data = "Y", .mode = 0120777, .descriptor = true},
          {.name = "M", .data = QByteArray("a/").repeated(2047) + "a", .mode = 0120777, .descriptor = true}},
         ""},
        // Cut by the sizes the directory states, the targets would read "..Y" and "Z".
        {"links whose records state 3 and 1 bytes",
         {{.name = "L", .data = "..", .mode = 0120777, .stated = 3},
          {.name = "M", .data = "YZ", .mode = 0120777, .stated = 1}},
         "a \"..\" part in a link"},
        {"a line break in a link", {link("L", "Y"), link("M", "Y\nZ")}, "a control character in a link"},
        {"an absolute link", {link("L", "/etc")}, "an absolute link"},
        {"an empty link", {link("L", "")}, "a link that is empty or longer than 4095 bytes"},
        {"a link of 4,096 bytes after one of 1",
         {link("L", "Y"), link("M", QByteArray(4096, 'a'))},
         "a link that is empty or longer than 4095 bytes"},
        {"a link of 8,193 bytes",
         {link("L", QByteArray(8193, 'a'))},
         "a link packed into more than 8192 bytes"},
        {"a \"..\" part in a name", {{.name = "d/../Y"}}, "a \"..\" part in a name"},
        {"a DEL in a name", {{.name = "Y\x7f"}}, "a control character in a name"},
        {"two entries of one name", {y, y}, "two entries named Y"},
        {"an entry without a name", {{}}, "an entry without a name"},
        {"an encrypted entry", {y}, "an encrypted entry", record("00000000"), record("01000000")},
        {"bzip2 in the directory",
         {y},
         "an entry packed with method 12",
         record("00000000"),
         record("00000c00")},
        {"2 entries here of 3", {y, z}, "is not one plain zip file", end("02000200"), end("02000300")},
        {"3 entries stated, 2 held", {y, z}, "a damaged directory", end("02000200"), end("03000300")},
        {"1 entry stated, 2 held", {y, z}, "more entries than it states", end("02000200"), end("01000100")},
    };
    for (const auto& row : rows) {
        const QString into = runtime.path() + "/into";
        QDir(into).removeRecursively();
        QProcess ditto;
        // unzip takes options from its environment too: here one that would drop the folders.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("UNZIP", "-j");
        ditto.setProcessEnvironment(environment);
        const QByteArray zip = test::writeZip(row.entries);
        const QString file =
            root.writeFile("/a.zip", row.from.isEmpty() ? zip : QByteArray(zip).replace(row.from, row.to));
        ditto.start(root.paths().tool(MacTool::ditto), {"-x", "-k", file, into});
        ditto.waitForFinished(120'000);
        const QByteArray said = ditto.readAllStandardError();
        EXPECT_EQ(ditto.exitCode(), row.refusal.isEmpty() ? 0 : 1) << row.what << ": " << said.constData();
        EXPECT_TRUE(said.contains(row.refusal)) << row.what << ": " << said.constData();
        EXPECT_EQ(QDir(into).isEmpty(), !row.refusal.isEmpty()) << row.what;
        if (row.refusal.isEmpty()) {
            EXPECT_EQ(QFileInfo(into + "/L").symLinkTarget(), into + "/Y");
            EXPECT_TRUE(QFileInfo(into + "/d/F").isFile());
        }
    }
}

TEST_F(UpdateDownload, StagesOnlyInsideAFolderNoOneElseMayEnter) {
    const QString victim = privateTemporaryFolder().valueOr("") + "/victim-57";
    QDir().mkpath(victim);
    QFile(victim + "/keep").open(QIODevice::WriteOnly);
    const auto staged = downloadAndVerify(offer(archive(), "../../victim"), 10s);
    EXPECT_EQ(staged.valueOr(""),
              runtime.path() + "/KTUpdate/KTUpdate-lark-spur-____victim-57/Rowkeeper.app");
    EXPECT_TRUE(QFileInfo::exists(victim + "/keep"));

    QFile::setPermissions(runtime.path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther);
    const QString fallback = privateTemporaryFolder().valueOr("");
    EXPECT_TRUE(fallback.startsWith(QDir::tempPath() + "/KTUpdate-")) << fallback.toStdString();
    EXPECT_EQ(QFileInfo(fallback).permissions() & (QFile::ExeOther | QFile::ExeGroup), 0);
    QDir(fallback).removeRecursively();
}

}  // namespace
}  // namespace rk
