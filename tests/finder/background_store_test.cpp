#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <functional>

#include "finder/BackgroundStore.h"
#include "finder/BackgroundStoreArchive.h"
#include "finder/BackgroundStoreCache.h"
#include "platform/BinaryPlist.h"
#include "platform/BinaryPlistWriter.h"
#include "platform/KeyedArchiveWriter.h"
#include "support/HostileFiles.h"
#include "support/PlatformFakes.h"
#include "support/Printers.h"
#include "support/TempRoot.h"

using namespace rk;

namespace {

ArchivedItem app(const QString& name, const QString& path) {
    ArchivedItem item;
    item.name = name;
    item.type = 2;
    item.disposition = 3;
    item.url = path;
    item.identifier = "2.com.vendor." + name.toLower();
    return item;
}

QString describe(const Result<QList<BTMRecord>, StoreError>& result) {
    return result.ok() ? QString("ok, %1 records").arg(result->size()) : result.error().description();
}

void expectFormsAlike(const KeyedArchiveWriter& writer) {
    const auto binary = BackgroundStore::parse(writer.binary()), xml = BackgroundStore::parse(writer.xml());
    EXPECT_EQ(describe(binary), describe(xml));
    EXPECT_EQ(binary.valueOr(QList<BTMRecord>()), xml.valueOr(QList<BTMRecord>()));
}

void setUsers(KeyedArchiveWriter& w, PlistUid users) {
    w.setTop("store", w.object({"Storage", "NSObject"}, {{"itemsByUserIdentifier", users}}));
}

void setItems(KeyedArchiveWriter& w, const QList<PlistUid>& items) {
    w.setTop("store", w.storage(QList<std::pair<QString, QList<PlistUid>>>{{"501", items}}));
}

ArchivedItem without(const QStringList& keys) {
    ArchivedItem item = app("a", "/a");
    item.omit = keys;
    return item;
}

// An item "x" with `fields` in place of its own or besides them.
PlistUid itemWith(KeyedArchiveWriter& w, PlistValue::Dictionary fields) {
    ArchivedItem item = app("x", "/x");
    item.extra = std::move(fields);
    return w.item(item);
}

// A store listing one item `listed` times, each time through a UID of its own.
QByteArray listedApart(qsizetype listed) {
    KeyedArchiveWriter w;
    setItems(w, QList<PlistUid>(listed, w.item(app("a", "/a"))));
    return BinaryPlistWriter::write(w.archive());
}

// A store of one item with this name, modified at this many nanoseconds past a fixed second.
void writeStore(const test::TempRoot& root, const QString& logical, const QString& name, long nanos = 5) {
    ArchivedItem item;
    item.name = name;
    item.url = "/Applications/A.app";
    root.writeFile(logical, KeyedArchiveWriter::store({{"501", {item}}}));
    const timespec times[2] = {{1'700'000'000, nanos}, {1'700'000'000, nanos}};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(root.disk(logical)).constData(), times, 0), 0);
}

}  // namespace

TEST(BackgroundStoreParse, EveryFieldAndTheOrderOfUsersAndItems) {
    ArchivedItem full = app("Relay", "/Users/anna/Apps/Relay.app");
    full.type = 0x8 | 0x10000;
    full.disposition = 2;
    full.bundleIdentifier = "com.vendor.relay";
    full.teamIdentifier = "ABCDE12345";
    full.developerName = "Vendor Ltd";
    full.executablePath = "/Users/anna/Apps/Relay.app/Contents/MacOS/Relay";
    full.identifier = "8.com.vendor.relay";
    // Text beyond ASCII is written as UTF-16 in the binary form.
    const QString wide = QString::fromUtf8("\xC3\x9Cn\xC3\xAF \xF0\x9F\x98\x80 Tool");  // "Ünï 😀 Tool"
    KeyedArchiveWriter writer;
    writer.setTop("store", writer.storage(QList<ArchivedUser>{
                               {"B-USER", {app("b1", "/b1"), full}},
                               {QString::fromUtf8("A-\xC3\x84"), {app(wide, "/a1")}},
                           }));
    expectFormsAlike(writer);
    const auto records = BackgroundStore::parse(writer.binary());
    ASSERT_TRUE(records.ok()) << describe(records).toStdString();
    ASSERT_EQ(records->size(), 3);
    EXPECT_EQ(std::tuple(records->at(0).name, records->at(2).name, records->at(2).user),
              std::tuple("b1", wide, QString::fromUtf8("A-\xC3\x84")));
    const BTMRecord want{"B-USER",
                         "Relay",
                         2,
                         0x8 | 0x10000,
                         "file:///Users/anna/Apps/Relay.app",
                         "/Users/anna/Apps/Relay.app",
                         "com.vendor.relay",
                         "ABCDE12345",
                         "Vendor Ltd",
                         "/Users/anna/Apps/Relay.app/Contents/MacOS/Relay",
                         "8.com.vendor.relay"};
    EXPECT_EQ(records->at(1), want);
}

// One store, one item per form a value can take.
TEST(BackgroundStoreParse, ValuesInEveryForm) {
    using W = KeyedArchiveWriter;
    W w;
    const auto item = [&](PlistValue::Dictionary fields) { return itemWith(w, std::move(fields)); };
    const PlistUid outOfRange{99999};
    setItems(w,
             {
                 item({{"name", W::null()}}),
                 item({{"name", PlistValue(42)}}),
                 item({{"name", PlistValue("Inline")}}),
                 item({{"name", w.nsString("Archived")}}),
                 item({{"name", w.object({"NSString", "NSObject"}, {{"NS.string", PlistValue(7)}})}}),
                 item({{"name", outOfRange}, {"identifier", outOfRange}, {"type", outOfRange}}),
                 item({{"disposition", w.add(PlistValue(5))}, {"type", w.add(PlistValue("8"))}}),
                 item({{"url", w.string("file:///usr/local/bin/tool")}}),
                 item({{"url", W::null()}, {"identifier", W::null()}}),
                 item({{"developerName", w.object({"NSData", "NSObject"}, {{"NS.bytes", PlistValue("x")}})}}),
             });
    expectFormsAlike(w);
    const auto records = BackgroundStore::parse(w.binary());
    ASSERT_TRUE(records.ok()) << describe(records).toStdString();
    const QList<BTMRecord>& r = *records;
    QStringList names;
    for (const BTMRecord& record : r)
        names << record.name;
    // No name in a null, a number or an archived NSString whose text is no string.
    EXPECT_EQ(names, QStringList({"?", "?", "Inline", "Archived", "?", "?", "x", "x", "x", "x"}));
    // A reference out of range counts as absent.
    EXPECT_EQ(std::tuple(r[5].identifier, r[5].type), std::tuple(std::nullopt, 0));
    // Integers through a reference; text is no number.
    EXPECT_EQ(std::tuple(r[6].disposition, r[6].type), std::tuple(5, 0));
    EXPECT_EQ(r[7].path, "/usr/local/bin/tool");  // url as a plain string
    EXPECT_FALSE(r[8].url || r[8].path || r[8].identifier || r[8].label());
    EXPECT_FALSE(r[9].developerName);  // an object of another class is no text
}

TEST(BackgroundStoreParse, PathOfTheUrl) {
    const std::pair<QString, std::optional<QString>> cases[] = {
        {"file:///Applications/My%20Tool.app/", "/Applications/My Tool.app"},
        {"file:///Applications/Tool.app", "/Applications/Tool.app"},
        {"file:///Users/anna/caf%C3%A9/Tool", QString::fromUtf8("/Users/anna/caf\xC3\xA9/Tool")},
        {"file://localhost/Applications/Tool.app/", "/Applications/Tool.app"},
        {"file:///Applications/Tool.app?x=1", "/Applications/Tool.app"},
        {"https://vendor.example/tool", std::nullopt},
        {"file:///", "/"},
        {"file:///bad%zzescape", std::nullopt},
        {"FILE:///Applications/Tool.app", std::nullopt},  // the prefix is matched exactly
        {"/Applications/Tool.app", std::nullopt},
    };
    KeyedArchiveWriter w;
    QList<PlistUid> items;
    for (const auto& [url, path] : cases)
        items.append(itemWith(w, {{"url", w.url(url)}}));
    setItems(w, items);
    expectFormsAlike(w);
    const auto records = BackgroundStore::parse(w.binary()).valueOr(QList<BTMRecord>());
    ASSERT_EQ(records.size(), qsizetype(std::size(cases)));
    for (qsizetype i = 0; i < records.size(); ++i)
        EXPECT_EQ(std::pair(records[i].url, records[i].path),
                  std::pair(std::optional(cases[i].first), cases[i].second));
}

// A URL relative to a URL is followed up to the bound and no further: one
// relative to itself once recursed without end, and items naming one chain
// of 10 at its end, its middle, and from behind chains of their own that
// bring it to the bound and past it each read as if named alone.
TEST(BackgroundStoreParse, UrlResolutionIsBoundedAgainstCyclesAndDepth) {
    using W = KeyedArchiveWriter;
    W w;
    auto urlTo = [&](PlistUid inner, int links) {
        for (int k = 0; k < links; ++k)
            inner = w.object({"NSURL", "NSObject"}, {{"NS.base", W::null()}, {"NS.relative", inner}});
        return inner;
    };
    const PlistUid self = w.reserve();
    w.set(self, PlistValue(PlistValue::Dictionary{{"NS.base", W::null()},
                                                  {"NS.relative", self},
                                                  {"$class", w.classNamed({"NSURL", "NSObject"})}}));
    const PlistUid middle = urlTo(w.string("file:///Shared"), 5);
    const PlistUid end = urlTo(middle, 5);
    const int bound = BackgroundStore::maxResolutionDepth;
    QList<PlistUid> items;
    for (PlistUid url : {end, middle, urlTo(end, bound - 9), urlTo(end, bound - 10), self})
        items.append(itemWith(w, {{"url", url}}));
    setItems(w, items);
    expectFormsAlike(w);
    QList<std::optional<QString>> paths;
    for (const BTMRecord& r : BackgroundStore::parse(w.binary()).valueOr(QList<BTMRecord>()))
        paths.append(r.path);
    EXPECT_EQ(paths,
              (QList<std::optional<QString>>{"/Shared", "/Shared", std::nullopt, "/Shared", std::nullopt}));
}

TEST(BackgroundStoreParse, ArchiveShapeErrors) {
    using W = KeyedArchiveWriter;
    const auto archive = [](std::function<void(W&)> build) {
        W w;
        build(w);
        return w.binary();
    };
    const auto root = [](PlistValue::Dictionary top) { return Plist::toBinary(PlistValue(std::move(top))); };
    const PlistValue noObject = PlistValue(PlistValue::Dictionary{});
    const PlistValue noList = PlistValue(PlistValue::Array{});
    const char* notArchive = "unknown format (not a keyed archive)";
    const char* noUsers = "unknown format (no itemsByUserIdentifier)";
    const qsizetype cap = BackgroundStore::maxRecords;
    struct Case {
        const char* name;
        QByteArray bytes;
        QString want;
        bool xmlAlike = true;  // false: its XML form is another store, or too large or slow to compare
    } cases[] = {
        {"not a property list", "garbage", notArchive},
        {"root is an array", Plist::toBinary(noList), notArchive},
        {"no $objects", root({{"$top", noObject}}), notArchive},
        {"$objects not an array", root({{"$objects", PlistValue("x")}, {"$top", noObject}}), notArchive},
        {"no $top", root({{"$objects", noList}}), notArchive},
        {"no store", archive([](W&) {}), noUsers},
        {"store is text", archive([](W& w) { w.setTop("store", w.string("x")); }), noUsers},
        {"store without the dictionary", archive([](W& w) {
             w.setTop("store", w.object({"Storage", "NSObject"}, {}));
         }),
         noUsers},
        {"dictionary without NS.keys", archive([&](W& w) {
             setUsers(w, w.object({"NSDictionary", "NSObject"}, {{"NS.objects", noList}}));
         }),
         noUsers},
        {"user identifier is a number",
         archive([](W& w) { setUsers(w, w.dictionary({w.add(PlistValue(501))}, {w.array({})})); }),
         "unknown format (user list)"},
        {"user's list without NS.objects",
         archive([](W& w) { setUsers(w, w.dictionary({w.string("501")}, {w.string("not a list")})); }),
         "unknown format (user list)"},
        {"item is not a dictionary", archive([](W& w) { setItems(w, {w.string("x")}); }),
         "unknown format (record)"},
        {"item without url", W::store({{"501", {without({"url"})}}}), "unknown format (record missing url)"},
        {"item without name and type", W::store({{"501", {without({"type", "name"})}}}),
         "unknown format (record missing name,type)"},
        {"one bad item fails the whole store",
         W::store({{"501", {app("a", "/a")}}, {"502", {without({"identifier"})}}}),
         "unknown format (record missing identifier)"},
        {"a bad item of the first user before a bad key of the second", archive([](W& w) {
             setUsers(w, w.dictionary({w.string("501"), w.add(PlistValue(502))},
                                      {w.array({w.item(without({"url"}))}), w.array({})}));
         }),
         "unknown format (record missing url)"},
        {"a bad item of the first user before a bad list of the second", archive([](W& w) {
             setUsers(w, w.dictionary({w.string("501"), w.string("502")},
                                      {w.array({w.string("x")}), w.string("not a list")}));
         }),
         "unknown format (record)"},
        {"a valid store in XML form",
         Plist::toXml(Plist::parse(W::store({{"501", {app("a", "/a")}}})).value()), "ok, 1 records"},
        {"a store without users", W::store({}), "ok, 0 records"},
        // A store lists each item once: naming lists and items over and over
        // once made millions of records from a few kilobytes. Refused before
        // they cost much, or read with each record and text built once.
        {"1,000 users naming one list of one record 1,000 times",
         test::HostileFiles::storeSharedLists(1000, 1000), "unknown format (too many records)"},
        {"more records than distinct objects", archive([](W& w) {
             for (int i = 0; i < 2000; ++i)
                 w.add(PlistValue(true));  // entries of "$objects" that all name one object
             setItems(w, QList<PlistUid>(1000, w.item(app("a", "/a"))));
         }),
         "unknown format (too many records)", false},
        {"one item listed past the cap", listedApart(cap + 1), "unknown format (too many records)", false},
        {"one item listed up to the cap", listedApart(cap), QString("ok, %1 records").arg(cap), false},
        {"bytes past the size cap",
         W::store({{"501", {app("a", "/a")}}}).leftJustified(BackgroundStore::sizeCap + 1),
         "unknown format (too large)", false},
        {"a url whose text and path pass the memory cap", archive([](W& w) {
             ArchivedItem item = app("a", "/a");
             item.extra = {{"url", w.string("file:///" + QString(34'000'000, 'u'))}};
             setItems(w, {w.item(item)});
         }),
         "unknown format (too large)", false},
        {"1,000 items naming one url of a million characters", archive([](W& w) {
             const PlistUid url = w.string("file:///" + QString(1'000'000, 'u'));
             QList<PlistUid> items;
             for (int i = 0; i < 1000; ++i)
                 items.append(itemWith(w, {{"url", url}}));
             setItems(w, items);
         }),
         "ok, 1000 records"},
        {"a record with 5,000 keys listed 3,000 times", archive([](W& w) {
             ArchivedItem wide = app("a", "/a");
             for (int i = 0; i < 5000; ++i)
                 wide.extra.push_back({QString::number(i), PlistValue(i)});
             const PlistUid item = w.item(wide);
             for (int i = 0; i < 3000; ++i)
                 w.string(QString::number(i));
             setItems(w, QList<PlistUid>(3000, item));
         }),
         "ok, 3000 records"},
        {"more user keys than lists: the shorter counts", archive([](W& w) {
             setUsers(w,
                      w.dictionary({w.string("501"), w.string("502")}, {w.array({w.item(app("a", "/a"))})}));
         }),
         "ok, 1 records"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(describe(BackgroundStore::parse(c.bytes)), c.want) << c.name;
        // The same archive in XML form fails (or reads) alike.
        if (const auto tree = Plist::parse(c.bytes);
            tree.ok() && c.bytes.startsWith("bplist00") && c.xmlAlike) {
            EXPECT_EQ(describe(BackgroundStore::parse(Plist::toXml(tree.value()))), c.want)
                << c.name << ", XML";
        }
    }
}

TEST(BackgroundStoreParse, AListNamedByTwoUsersGivesEachTheirRecords) {
    KeyedArchiveWriter w;
    const PlistUid list = w.array({w.item(app("a", "/a")), w.item(app("b", "/b"))});
    setUsers(w, w.dictionary({w.string("501"), w.string("502")}, {list, list}));
    QStringList seen;
    for (const BTMRecord& r : BackgroundStore::parse(w.binary()).valueOr(QList<BTMRecord>()))
        seen.append(r.user + ":" + r.name);
    EXPECT_EQ(seen, QStringList({"501:a", "501:b", "502:a", "502:b"}));
}

// Items naming one large object as their text, users one large list: each
// lookup once walked it from the start, and a store of a megabyte took
// minutes. What the reader compares stays within the bytes of the store,
// and the first entry of a key still counts.
TEST(BackgroundStoreParse, WhatIsComparedStaysWithinTheStoreHoweverOftenObjectsAreNamed) {
    using W = KeyedArchiveWriter;
    using H = test::HostileFiles;
    const int many = 300, padding = 3000;
    const auto texts = [&](std::function<PlistUid(W&)> text) { return H::storeTextsNamingOne(many, text); };
    const auto oneList = [&](int items) {
        return H::storeUsersNamingOne(many, [=](W& w) {
            PlistValue::Array listed;
            for (int i = 0; i < items; ++i)
                listed.push_back(w.item(app("a", "/a")));
            return w.object({"NSArray", "NSObject"}, H::padded(padding, {{"NS.objects", listed}}));
        });
    };
    const QString utf16(padding, QChar(0xE9));
    const struct Case {
        const char* name;
        QByteArray bytes;
        QString want;  // the outcome, and the names and paths the records read, each once
    } cases[] = {
        {"an archived string of many entries", texts([](W& w) {
             return w.object({"NSString", "NSObject"},
                             H::padded(padding, {{"NS.string", PlistValue("file:///Padded")},
                                                 {"NS.string", PlistValue("file:///Later")}}));
         }),
         "ok, 300 records; file:///Padded /Padded"},
        {"an archived url of many entries", texts([](W& w) {
             return w.object(
                 {"NSURL", "NSObject"},
                 H::padded(padding, {{"NS.base", W::null()}, {"NS.relative", PlistValue("file:///U")}}));
         }),
         "ok, 300 records; file:///U /U"},
        {"an object of another class of many entries", texts([](W& w) {
             return w.object({"NSData", "NSObject"}, H::padded(padding, {}));
         }),
         "ok, 300 records; ? none"},
        {"a dictionary of many entries naming no class", texts([](W& w) {
             return w.add(PlistValue(H::padded(padding, {{"NS.string", PlistValue("x")}})));
         }),
         "ok, 300 records; ? none"},
        {"a long UTF-16 text", texts([&](W& w) { return w.string(utf16); }),
         "ok, 300 records; " + utf16 + " none"},
        {"a long UTF-16 string that reads $null",
         texts([](W& w) { return w.string(QString(padding, QChar(0xDC00)) + "$null"); }),
         "ok, 300 records; ? none"},
        {"users naming one archived list of many entries", oneList(0), "ok, 0 records"},
        {"users naming one archived list of many entries and one item", oneList(1), "ok, 300 records; a /a"},
    };
    for (const Case& c : cases) {
        const auto list = BinaryPlist::open(c.bytes);
        ASSERT_TRUE(list.ok()) << c.name;
        BackgroundStoreArchive::Work work;
        const auto records = BackgroundStoreArchive::records(**list, &work);
        QStringList read;
        for (const BTMRecord& r : records.valueOr(QList<BTMRecord>()))
            if (const QString text = r.name + " " + r.path.value_or("none"); !read.contains(text))
                read << text;
        const QString outcome = describe(records) + (read.isEmpty() ? "" : "; " + read.join(", "));
        EXPECT_EQ(outcome, c.want) << c.name;
        EXPECT_LE(work.entries + work.units, quint64(c.bytes.size()))
            << c.name << ": " << work.entries << " entries, " << work.units << " units";
    }
}

TEST(BackgroundStoreMine, PicksTheUserWithMostRecordsUnderHome) {
    auto record = [](const char* user, std::optional<QString> path) {
        BTMRecord r;
        r.user = user;
        r.name = path.value_or("none");
        r.path = path;
        return r;
    };
    const QList<BTMRecord> records{
        record("other", "/Users/bob/Apps/A.app"),   record("me", "/Users/anna/Apps/B.app"),
        record("other", "/Users/anna2/Apps/C.app"), record("me", std::nullopt),
        record("me", "/Applications/D.app"),        record("other", "/Users/annaX"),
        record("system", "/Library/Helpers/E"),
    };
    QStringList mine;
    for (const auto& r : BackgroundStore::mine(records, "/Users/anna"))
        mine << r.user + ":" + r.name;
    EXPECT_EQ(mine, QStringList({"me:/Users/anna/Apps/B.app", "me:none", "me:/Applications/D.app"}));
    EXPECT_TRUE(BackgroundStore::mine(records, "/Users/carol").isEmpty());
    EXPECT_TRUE(BackgroundStore::mine({}, "/Users/anna").isEmpty());
}

class BackgroundStoreFiles : public ::testing::Test {
protected:
    test::TempRoot root;
    QString folder() const { return BackgroundStore::folder(); }
    void put(const QString& name, const QByteArray& bytes = KeyedArchiveWriter::store(
                                      {{"501", {app("Ghost", "/Applications/Ghost.app")}}})) {
        root.writeFile(folder() + "/" + name, bytes);
    }
};

TEST_F(BackgroundStoreFiles, FolderAndFileFailuresThenTheNewestVersionNumerically) {
    test::FakeFileProbe probe;
    test::ScopedCurrent<FileProbe> scoped(&probe);
    // Marked when nothing stands where the store should be.
    auto readDescription = [] {
        const auto r = BackgroundStore::read();
        return r.ok() ? QString("ok") : r.error().description() + (r.error().absent ? ", absent" : "");
    };
    EXPECT_EQ(readDescription(), "unreadable (folder), absent");  // no folder at all
    root.makeFolder(folder());
    EXPECT_EQ(readDescription(), "unreadable (no store file), absent");
    EXPECT_FALSE(BackgroundStore::canRead());

    put("BackgroundItems-v4.btm");
    EXPECT_EQ(readDescription(), "ok");
    EXPECT_TRUE(BackgroundStore::canRead());

    for (const auto& [error, want] :
         {std::pair(EPERM, "no access"), {EACCES, "no access"}, {EIO, "unreadable (folder)"}}) {
        probe.listErrors[root.disk(folder())] = error;
        EXPECT_EQ(readDescription(), want) << error;
        EXPECT_FALSE(BackgroundStore::canRead());
    }
    probe.listErrors.clear();

    probe.openErrors[root.disk(folder() + "/BackgroundItems-v4.btm")] = EPERM;
    EXPECT_EQ(readDescription(), "no access");
    EXPECT_FALSE(BackgroundStore::canRead());
    probe.openErrors.clear();

    put("BackgroundItems-v4.btm", QByteArray());
    EXPECT_EQ(readDescription(), "unreadable (read)");
    // A file beyond the cap is refused before it is read.
    ASSERT_TRUE(QFile::resize(root.disk(folder() + "/BackgroundItems-v4.btm"), BackgroundStore::sizeCap + 1));
    EXPECT_EQ(readDescription(), "unknown format (too large)");
    put("BackgroundItems-v4.btm", KeyedArchiveWriter::store({{"501", {without({"disposition"})}}}));
    EXPECT_EQ(readDescription(), "unknown format (record missing disposition)");

    put("BackgroundItems-v9.btm");
    put("BackgroundItems-v10.btm");
    for (const char* ignored :
         {"BackgroundItems-v.btm", "BackgroundItems-vX.btm", "BackgroundItems-v11.btm.bak",
          "BackgroundItems-v 12.btm", "backgrounditems-v13.btm", "BackgroundItems-v1x4.btm",
          "BackgroundItems-v15.BTM"})
        put(ignored);
    const auto file = BackgroundStore::storePath();
    ASSERT_TRUE(file.ok()) << file.error().description().toStdString();
    EXPECT_EQ(std::pair(file->version, file->path),
              std::pair(qint64(10), folder() + "/BackgroundItems-v10.btm"));
    const auto snapshot = BackgroundStore::read();
    ASSERT_TRUE(snapshot.ok());
    EXPECT_EQ(std::pair(snapshot->version, snapshot->records.size()), std::pair(qint64(10), qsizetype(1)));
}

// Bytes rewritten in place under the same size and time read as the last
// parse; any change of the file's identity, or of the newest file, reads anew.
TEST(BackgroundStoreCache, ReusesTheLastParseWhileTheFileIsTheSame) {
    test::TempRoot root;
    test::FakeFileProbe probe;
    const QString store = BackgroundStore::folder() + "/BackgroundItems-v4.btm";
    const QString disk = root.disk(store);
    struct Case {
        const char* name;
        std::function<void()> change;
        const char* read;
    } cases[] = {
        {"nothing else", [] {}, "Alpha"},
        {"modified a nanosecond later", [&] { writeStore(root, store, "Bravo", 6); }, "Bravo"},
        {"replaced by a new file",
         [&] {
             writeStore(root, store + ".new", "Delta");
             std::rename(QFile::encodeName(disk + ".new").constData(), QFile::encodeName(disk).constData());
         },
         "Delta"},
        {"a newer store beside it",
         [&] { writeStore(root, BackgroundStore::folder() + "/BackgroundItems-v5.btm", "Echo"); }, "Echo"},
        {"closed to us", [&] { probe.openErrors[disk] = EACCES; }, "no access"},
    };
    for (const Case& c : cases) {
        root.remove(BackgroundStore::folder());
        probe.openErrors.clear();
        BackgroundStoreCache cache;
        const auto read = [&] {
            const auto result = cache.read(root.paths(), probe);
            return result ? result->records.value(0).name : result.error().description();
        };
        writeStore(root, store, "Alpha");
        EXPECT_EQ(read(), "Alpha");
        writeStore(root, store, "Bravo");  // the same size and time
        c.change();
        EXPECT_EQ(read(), c.read) << c.name;
    }
    // A store refused for what it holds is refused again, unread, while it stays the same file.
    root.remove(BackgroundStore::folder());
    probe.openErrors.clear();
    writeStore(root, store, "Alpha");
    QByteArray bytes = readWholeFile(disk, BackgroundStore::sizeCap).value();
    root.writeFile(store, bytes.replace("bplist00", "xplist00"));
    const timespec times[2] = {{1'700'000'000, 5}, {1'700'000'000, 5}};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(disk).constData(), times, 0), 0);
    BackgroundStoreCache cache;
    const auto refusal = [&] { return cache.read(root.paths(), probe).error().description(); };
    const QString refused = refusal();
    EXPECT_TRUE(refused.contains("not a keyed archive")) << refused.toStdString();
    writeStore(root, store, "Alpha");  // the same size and time
    EXPECT_EQ(refusal(), refused);
    writeStore(root, store, "Alpha", 6);
    EXPECT_EQ(cache.read(root.paths(), probe)->records.value(0).name, "Alpha");
}
