#include <gtest/gtest.h>

#include <QFile>
#include <cerrno>

#include "finder/BackgroundStore.h"
#include "support/KeyedArchiveWriter.h"
#include "support/PlatformFakes.h"
#include "support/TempRoot.h"

using namespace rk;
using rk::test::ArchivedItem;
using rk::test::KeyedArchiveWriter;

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

// Both forms of the same archive read alike: the binary one by our own
// reader, the XML one through libplist.
void expectFormsAlike(const KeyedArchiveWriter& writer) {
    const auto binary = BackgroundStore::parse(writer.binary());
    const auto xml = BackgroundStore::parse(writer.xml());
    EXPECT_EQ(describe(binary), describe(xml));
    if (binary.ok() && xml.ok()) {
        EXPECT_EQ(binary.value(), xml.value());
    }
}

// Parses a store with one item built by `build` and returns its record.
template <typename Build>
Result<QList<BTMRecord>, StoreError> parseOne(Build build) {
    KeyedArchiveWriter writer;
    const PlistUid item = build(writer);
    writer.setTop("store", writer.storage(QList<std::pair<QString, QList<PlistUid>>>{{"501", {item}}}));
    expectFormsAlike(writer);
    return BackgroundStore::parse(writer.binary());
}

}  // namespace

TEST(BackgroundStoreParse, TheSelfTestStores) {
    const auto good = BackgroundStore::parse(KeyedArchiveWriter::goodSelfTestStore());
    ASSERT_TRUE(good.ok()) << describe(good).toStdString();
    ASSERT_EQ(good->size(), 1);
    const BTMRecord& ghost = good->front();
    EXPECT_EQ(ghost.user, "FFFFEEEE-TEST");
    EXPECT_EQ(ghost.name, "TEST: Ghost");
    EXPECT_TRUE(ghost.enabled());
    EXPECT_TRUE(ghost.isApp());
    EXPECT_EQ(ghost.path, "/Applications/TEST Ghost.app");
    EXPECT_EQ(ghost.url, "file:///Applications/TEST%20Ghost.app");
    EXPECT_EQ(ghost.label(), "com.example.TESTghost");

    const auto broken = BackgroundStore::parse(KeyedArchiveWriter::brokenSelfTestStore());
    ASSERT_FALSE(broken.ok());
    EXPECT_EQ(broken.error(), StoreError::format("record missing disposition"));
}

TEST(BackgroundStoreParse, FreshWritersOfEqualStoresReadAlike) {
    const QList<test::ArchivedUser> users{{"501", {app("Sync", "/Users/anna/Apps/Sync.app")}}};
    const auto a = BackgroundStore::parse(KeyedArchiveWriter::store(users));
    const auto b = BackgroundStore::parse(KeyedArchiveWriter::store(users));
    ASSERT_TRUE(a.ok());
    EXPECT_EQ(a.value(), b.value());
    const auto empty = BackgroundStore::parse(KeyedArchiveWriter::store({}));
    ASSERT_TRUE(empty.ok());
    EXPECT_TRUE(empty->isEmpty());
}

TEST(BackgroundStoreParse, AGeneratedStoreReadsAlikeInBothForms) {
    // Text beyond ASCII is written as UTF-16 in the binary form.
    const QStringList names{"Sync", QString::fromUtf8("Café ✓"), QString::fromUtf8("Ünïcødé 😀 Tool"), ""};
    KeyedArchiveWriter writer;
    QList<test::ArchivedUser> users{{"501", {}}, {QString::fromUtf8("ÄÖ-USER"), {}}, {"0", {}}};
    for (int i = 0; i < 120; ++i) {
        ArchivedItem item = app(names[i % names.size()] + QString::number(i),
                                "/Users/anna/Apps/" + names[i % names.size()] + ".app");
        item.type = i % 2 ? 8 : 2;
        item.disposition = i % 4;
        if (i % 3) {
            item.bundleIdentifier = "com.vendor.item" + QString::number(i);
            item.teamIdentifier = "TEAM" + QString::number(i % 7);
            item.developerName = names[(i + 1) % names.size()];
            item.executablePath = "/Users/anna/Apps/Item" + QString::number(i);
        }
        if (i % 5 == 0)
            item.url = QStringLiteral("https://vendor.example/%1").arg(i);
        if (i % 7 == 0)
            item.identifier.reset();
        users[i % users.size()].items.append(item);
    }
    writer.setTop("store", writer.storage(users));
    expectFormsAlike(writer);
    const auto records = BackgroundStore::parse(writer.binary());
    ASSERT_TRUE(records.ok());
    ASSERT_EQ(records->size(), 120);
    EXPECT_EQ(records->at(40).name, QString::fromUtf8("Café ✓1"));
    EXPECT_EQ(records->at(40).user, QString::fromUtf8("ÄÖ-USER"));
}

TEST(BackgroundStoreParse, EveryFieldAndTheOrderOfUsersAndItems) {
    ArchivedItem full = app("Relay", "/Users/anna/Apps/Relay.app");
    full.type = 0x8 | 0x10000;
    full.disposition = 2;
    full.bundleIdentifier = "com.vendor.relay";
    full.teamIdentifier = "ABCDE12345";
    full.developerName = "Vendor Ltd";
    full.executablePath = "/Users/anna/Apps/Relay.app/Contents/MacOS/Relay";
    full.identifier = "8.com.vendor.relay";
    const auto records = BackgroundStore::parse(KeyedArchiveWriter::store({
        {"B-USER", {app("b1", "/b1"), full}},
        {"A-USER", {app("a1", "/a1")}},
    }));
    ASSERT_TRUE(records.ok()) << describe(records).toStdString();
    ASSERT_EQ(records->size(), 3);
    EXPECT_EQ(records->at(0).name, "b1");
    EXPECT_EQ(records->at(2).name, "a1");
    EXPECT_EQ(records->at(2).user, "A-USER");
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
    EXPECT_EQ(qHash(records->at(1)), qHash(want));
    EXPECT_FALSE(want.enabled());
    EXPECT_TRUE(want.isAgent());
    EXPECT_TRUE(want.isLegacyPlist());
    EXPECT_FALSE(want.isApp());
    EXPECT_FALSE(want.isDaemon());
    EXPECT_EQ(want.label(), "com.vendor.relay");
}

TEST(BackgroundStoreParse, ValuesInEveryForm) {
    struct Case {
        const char* name;
        std::function<PlistUid(KeyedArchiveWriter&)> build;
        std::function<void(const BTMRecord&)> check;
    } cases[] = {
        {"name is the null object",
         [](KeyedArchiveWriter& w) {
             ArchivedItem i = app("x", "/x");
             i.extra = {{"name", KeyedArchiveWriter::null()}};
             return w.item(i);
         },
         [](const BTMRecord& r) { EXPECT_EQ(r.name, "?"); }},
        {"name is a number",
         [](KeyedArchiveWriter& w) {
             ArchivedItem i = app("x", "/x");
             i.extra = {{"name", PlistValue(42)}};
             return w.item(i);
         },
         [](const BTMRecord& r) { EXPECT_EQ(r.name, "?"); }},
        {"name is an inline string",
         [](KeyedArchiveWriter& w) {
             ArchivedItem i = app("x", "/x");
             i.extra = {{"name", PlistValue("Inline")}};
             return w.item(i);
         },
         [](const BTMRecord& r) { EXPECT_EQ(r.name, "Inline"); }},
        {"name is an archived NSString",
         [](KeyedArchiveWriter& w) {
             ArchivedItem i = app("x", "/x");
             i.extra = {{"name", w.nsString("Archived")}};
             return w.item(i);
         },
         [](const BTMRecord& r) { EXPECT_EQ(r.name, "Archived"); }},
        {"archived NSString whose text is not a string",
         [](KeyedArchiveWriter& w) {
             ArchivedItem i = app("x", "/x");
             i.extra = {{"name", w.object({"NSString", "NSObject"}, {{"NS.string", PlistValue(7)}})}};
             return w.item(i);
         },
         [](const BTMRecord& r) { EXPECT_EQ(r.name, "?"); }},
        {"reference out of range counts as absent",
         [](KeyedArchiveWriter& w) {
             ArchivedItem i = app("x", "/x");
             i.extra = {
                 {"name", PlistUid{99999}}, {"identifier", PlistUid{99999}}, {"type", PlistUid{99999}}};
             return w.item(i);
         },
         [](const BTMRecord& r) {
             EXPECT_EQ(r.name, "?");
             EXPECT_FALSE(r.identifier);
             EXPECT_EQ(r.type, 0);
         }},
        {"integers through a reference",
         [](KeyedArchiveWriter& w) {
             ArchivedItem i = app("x", "/x");
             i.extra = {{"disposition", w.add(PlistValue(5))}, {"type", w.add(PlistValue("8"))}};
             return w.item(i);
         },
         [](const BTMRecord& r) {
             EXPECT_EQ(r.disposition, 5);
             EXPECT_EQ(r.type, 0);  // text is no number
         }},
        {"file URL with an escaped space and a trailing slash",
         [](KeyedArchiveWriter& w) {
             ArchivedItem i = app("x", "/x");
             i.url = "file:///Applications/My%20Tool.app/";
             return w.item(i);
         },
         [](const BTMRecord& r) {
             EXPECT_EQ(r.url, "file:///Applications/My%20Tool.app/");
             EXPECT_EQ(r.path, "/Applications/My Tool.app");
         }},
        {"URL of another scheme keeps url and has no path",
         [](KeyedArchiveWriter& w) {
             ArchivedItem i = app("x", "/x");
             i.url = "https://vendor.example/tool";
             return w.item(i);
         },
         [](const BTMRecord& r) {
             EXPECT_EQ(r.url, "https://vendor.example/tool");
             EXPECT_FALSE(r.path);
         }},
        {"url as a plain string",
         [](KeyedArchiveWriter& w) {
             ArchivedItem i = app("x", "/x");
             i.extra = {{"url", w.string("file:///usr/local/bin/tool")}};
             return w.item(i);
         },
         [](const BTMRecord& r) { EXPECT_EQ(r.path, "/usr/local/bin/tool"); }},
        {"url and identifier as null references",
         [](KeyedArchiveWriter& w) {
             ArchivedItem i = app("x", "/x");
             i.url.reset();
             i.identifier.reset();
             return w.item(i);
         },
         [](const BTMRecord& r) {
             EXPECT_FALSE(r.url);
             EXPECT_FALSE(r.path);
             EXPECT_FALSE(r.identifier);
             EXPECT_FALSE(r.label());
         }},
        {"an object of another class is no text",
         [](KeyedArchiveWriter& w) {
             ArchivedItem i = app("x", "/x");
             i.extra = {{"developerName", w.object({"NSData", "NSObject"}, {{"NS.bytes", PlistValue("x")}})}};
             return w.item(i);
         },
         [](const BTMRecord& r) { EXPECT_FALSE(r.developerName); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto records = parseOne(c.build);
        ASSERT_TRUE(records.ok()) << describe(records).toStdString();
        ASSERT_EQ(records->size(), 1);
        c.check(records->front());
    }
}

TEST(BackgroundStoreParse, PathOfTheUrl) {
    struct Case {
        const char* url;
        std::optional<QString> path;
    } cases[] = {
        {"file:///Applications/My%20Tool.app/", "/Applications/My Tool.app"},
        {"file:///Applications/Tool.app", "/Applications/Tool.app"},
        {"file:///Users/anna/caf%C3%A9/Tool", QString::fromUtf8("/Users/anna/caf\xC3\xA9/Tool")},
        {"file://localhost/Applications/Tool.app/", "/Applications/Tool.app"},
        {"file:///Applications/Tool.app?x=1", "/Applications/Tool.app"},
        {"file:///", "/"},
        {"file:///bad%zzescape", std::nullopt},
        {"FILE:///Applications/Tool.app", std::nullopt},  // the prefix is matched exactly
        {"/Applications/Tool.app", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto records = parseOne([&](KeyedArchiveWriter& w) {
            ArchivedItem i = app("x", "/x");
            i.extra = {{"url", w.url(c.url)}};
            return w.item(i);
        });
        ASSERT_TRUE(records.ok()) << c.url;
        EXPECT_EQ(records->front().url, QString(c.url));
        EXPECT_EQ(records->front().path, c.path) << c.url;
    }
}

TEST(BackgroundStoreParse, UrlResolutionIsBoundedAgainstCyclesAndDepth) {
    // An NSURL relative to itself once recursed without end.
    const auto selfRelative = parseOne([](KeyedArchiveWriter& w) {
        const PlistUid url = w.reserve();
        w.set(url, PlistValue(PlistValue::Dictionary{{"NS.base", KeyedArchiveWriter::null()},
                                                     {"NS.relative", url},
                                                     {"$class", w.classNamed({"NSURL", "NSObject"})}}));
        ArchivedItem i = app("Loop", "/x");
        i.extra = {{"url", url}};
        return w.item(i);
    });
    ASSERT_TRUE(selfRelative.ok()) << describe(selfRelative).toStdString();
    EXPECT_EQ(selfRelative->front().name, "Loop");
    EXPECT_FALSE(selfRelative->front().url);

    // A chain of URLs, each relative to the next: resolved up to the bound.
    auto chain = [](int links) {
        return parseOne([links](KeyedArchiveWriter& w) {
            PlistUid inner = w.string("file:///Applications/Deep.app");
            for (int k = 0; k < links; ++k)
                inner = w.object({"NSURL", "NSObject"},
                                 {{"NS.base", KeyedArchiveWriter::null()}, {"NS.relative", inner}});
            ArchivedItem i = app("Chain", "/x");
            i.extra = {{"url", inner}};
            return w.item(i);
        });
    };
    const auto shallow = chain(5);
    ASSERT_TRUE(shallow.ok());
    EXPECT_EQ(shallow->front().path, "/Applications/Deep.app");
    const auto deep = chain(BackgroundStore::maxResolutionDepth + 5);
    ASSERT_TRUE(deep.ok());
    EXPECT_FALSE(deep->front().url);
}

TEST(BackgroundStoreParse, ArchiveShapeErrors) {
    auto archive = [](std::function<void(KeyedArchiveWriter&)> build) {
        KeyedArchiveWriter w;
        build(w);
        return w.binary();
    };
    const QByteArray validItems = archive([](KeyedArchiveWriter& w) {
        w.setTop("store", w.storage(QList<test::ArchivedUser>{{"501", {app("a", "/a")}}}));
    });
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* want;
    } cases[] = {
        {"not a property list", "garbage", "unknown format (not a keyed archive)"},
        {"root is an array", Plist::toBinary(PlistValue(PlistValue::Array{})),
         "unknown format (not a keyed archive)"},
        {"no $objects",
         Plist::toBinary(PlistValue(PlistValue::Dictionary{{"$top", PlistValue(PlistValue::Dictionary{})}})),
         "unknown format (not a keyed archive)"},
        {"$objects not an array",
         Plist::toBinary(PlistValue(PlistValue::Dictionary{{"$objects", PlistValue("x")},
                                                           {"$top", PlistValue(PlistValue::Dictionary{})}})),
         "unknown format (not a keyed archive)"},
        {"no $top",
         Plist::toBinary(PlistValue(PlistValue::Dictionary{{"$objects", PlistValue(PlistValue::Array{})}})),
         "unknown format (not a keyed archive)"},
        {"no store", archive([](KeyedArchiveWriter&) {}), "unknown format (no itemsByUserIdentifier)"},
        {"store is text", archive([](KeyedArchiveWriter& w) { w.setTop("store", w.string("x")); }),
         "unknown format (no itemsByUserIdentifier)"},
        {"store without the dictionary", archive([](KeyedArchiveWriter& w) {
             w.setTop("store", w.object({"Storage", "NSObject"}, {}));
         }),
         "unknown format (no itemsByUserIdentifier)"},
        {"dictionary without NS.keys", archive([](KeyedArchiveWriter& w) {
             const PlistUid d =
                 w.object({"NSDictionary", "NSObject"}, {{"NS.objects", PlistValue(PlistValue::Array{})}});
             w.setTop("store", w.object({"Storage", "NSObject"}, {{"itemsByUserIdentifier", d}}));
         }),
         "unknown format (no itemsByUserIdentifier)"},
        {"user identifier is a number", archive([](KeyedArchiveWriter& w) {
             const PlistUid d = w.dictionary({w.add(PlistValue(501))}, {w.array({})});
             w.setTop("store", w.object({"Storage", "NSObject"}, {{"itemsByUserIdentifier", d}}));
         }),
         "unknown format (user list)"},
        {"user's list without NS.objects", archive([](KeyedArchiveWriter& w) {
             const PlistUid d = w.dictionary({w.string("501")}, {w.string("not a list")});
             w.setTop("store", w.object({"Storage", "NSObject"}, {{"itemsByUserIdentifier", d}}));
         }),
         "unknown format (user list)"},
        {"item is not a dictionary", archive([](KeyedArchiveWriter& w) {
             w.setTop("store",
                      w.storage(QList<std::pair<QString, QList<PlistUid>>>{{"501", {w.string("x")}}}));
         }),
         "unknown format (record)"},
        {"item without url", archive([](KeyedArchiveWriter& w) {
             ArchivedItem i = app("a", "/a");
             i.omit = {"url"};
             w.setTop("store", w.storage(QList<std::pair<QString, QList<PlistUid>>>{{"501", {w.item(i)}}}));
         }),
         "unknown format (record missing url)"},
        {"item without name and type", archive([](KeyedArchiveWriter& w) {
             ArchivedItem i = app("a", "/a");
             i.omit = {"type", "name"};
             w.setTop("store", w.storage(QList<std::pair<QString, QList<PlistUid>>>{{"501", {w.item(i)}}}));
         }),
         "unknown format (record missing name,type)"},
        {"one bad item fails the whole store", archive([](KeyedArchiveWriter& w) {
             ArchivedItem bad = app("b", "/b");
             bad.omit = {"identifier"};
             w.setTop("store", w.storage(QList<std::pair<QString, QList<PlistUid>>>{
                                   {"501", {w.item(app("a", "/a"))}}, {"502", {w.item(bad)}}}));
         }),
         "unknown format (record missing identifier)"},
        {"a bad item of the first user before a bad key of the second", archive([](KeyedArchiveWriter& w) {
             ArchivedItem noUrl = app("a", "/a");
             noUrl.omit = {"url"};
             const PlistUid d = w.dictionary({w.string("501"), w.add(PlistValue(502))},
                                             {w.array({w.item(noUrl)}), w.array({})});
             w.setTop("store", w.object({"Storage", "NSObject"}, {{"itemsByUserIdentifier", d}}));
         }),
         "unknown format (record missing url)"},
        {"a bad item of the first user before a bad list of the second", archive([](KeyedArchiveWriter& w) {
             const PlistUid d = w.dictionary({w.string("501"), w.string("502")},
                                             {w.array({w.string("x")}), w.string("not a list")});
             w.setTop("store", w.object({"Storage", "NSObject"}, {{"itemsByUserIdentifier", d}}));
         }),
         "unknown format (record)"},
        {"the valid store in XML form", Plist::toXml(Plist::parse(validItems).value()), "ok, 1 records"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(describe(BackgroundStore::parse(c.bytes)), c.want) << c.name;
        // The same archive in XML form fails (or reads) alike.
        if (const auto tree = Plist::parse(c.bytes); tree.ok() && c.bytes.startsWith("bplist00")) {
            EXPECT_EQ(describe(BackgroundStore::parse(Plist::toXml(tree.value()))), c.want)
                << c.name << ", XML";
        }
    }
}

TEST(BackgroundStoreParse, UnequalKeyAndObjectListsUseTheShorter) {
    KeyedArchiveWriter w;
    const PlistUid list = w.array({w.item(app("a", "/a"))});
    const PlistUid d = w.dictionary({w.string("501"), w.string("502")}, {list});
    w.setTop("store", w.object({"Storage", "NSObject"}, {{"itemsByUserIdentifier", d}}));
    const auto records = BackgroundStore::parse(w.binary());
    ASSERT_TRUE(records.ok());
    ASSERT_EQ(records->size(), 1);
    EXPECT_EQ(records->front().user, "501");
}

TEST(BackgroundStoreParse, RefusesAStoreBeyondTheSizeCap) {
    QByteArray huge = KeyedArchiveWriter::goodSelfTestStore();
    huge.resize(BackgroundStore::sizeCap + 1);
    EXPECT_EQ(BackgroundStore::parse(huge).error(), StoreError::format("too large"));
}

TEST(BTMRecord, Label) {
    struct Case {
        std::optional<QString> identifier;
        std::optional<QString> label;
    } cases[] = {
        {"8.com.vendor.relay", "com.vendor.relay"},
        {"16.com.vendor.sync", "com.vendor.sync"},
        {"nodot", std::nullopt},
        {std::nullopt, std::nullopt},
        {".x", "x"},
    };
    for (const auto& c : cases) {
        BTMRecord r;
        r.identifier = c.identifier;
        EXPECT_EQ(r.label(), c.label) << c.identifier.value_or("(none)").toStdString();
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
    const auto mine = BackgroundStore::mine(records, "/Users/anna");
    ASSERT_EQ(mine.size(), 3);
    for (const auto& r : mine)
        EXPECT_EQ(r.user, "me");
    EXPECT_EQ(mine[0].name, "/Users/anna/Apps/B.app");  // input order kept
    EXPECT_EQ(mine[1].name, "none");
    EXPECT_TRUE(BackgroundStore::mine(records, "/Users/carol").isEmpty());
    EXPECT_TRUE(BackgroundStore::mine({}, "/Users/anna").isEmpty());
}

// ---- The store file on disk ------------------------------------------------

class BackgroundStoreFiles : public ::testing::Test {
protected:
    test::TempRoot root;
    QString folder() const { return BackgroundStore::folder(); }
    void put(const QString& name, const QByteArray& bytes = KeyedArchiveWriter::goodSelfTestStore()) {
        root.writeFile(folder() + "/" + name, bytes);
    }
};

TEST_F(BackgroundStoreFiles, NewestVersionNumerically) {
    put("BackgroundItems-v9.btm");
    put("BackgroundItems-v10.btm");
    for (const char* ignored :
         {"BackgroundItems-v.btm", "BackgroundItems-vX.btm", "BackgroundItems-v11.btm.bak",
          "BackgroundItems-v 12.btm", "backgrounditems-v13.btm", "BackgroundItems-v1x4.btm",
          "BackgroundItems-v15.BTM"})
        put(ignored);
    const auto file = BackgroundStore::storePath();
    ASSERT_TRUE(file.ok()) << file.error().description().toStdString();
    EXPECT_EQ(file->version, 10);
    EXPECT_EQ(file->path, folder() + "/BackgroundItems-v10.btm");

    const auto snapshot = BackgroundStore::read();
    ASSERT_TRUE(snapshot.ok());
    EXPECT_EQ(snapshot->version, 10);
    EXPECT_EQ(snapshot->records.size(), 1);
}

TEST_F(BackgroundStoreFiles, FolderAndFileFailures) {
    test::FakeFileProbe probe;
    test::ScopedCurrent<FileProbe> scoped(&probe);
    auto readDescription = [] {
        const auto r = BackgroundStore::read();
        return r.ok() ? QString("ok") : r.error().description();
    };
    EXPECT_EQ(readDescription(), "unreadable (folder)");  // no folder at all
    root.makeFolder(folder());
    EXPECT_EQ(readDescription(), "unreadable (no store file)");
    EXPECT_FALSE(BackgroundStore::canRead());

    put("BackgroundItems-v4.btm");
    EXPECT_EQ(readDescription(), "ok");
    EXPECT_TRUE(BackgroundStore::canRead());

    for (int error : {EPERM, EACCES}) {
        probe.listErrors[root.disk(folder())] = error;
        EXPECT_EQ(readDescription(), "no access") << error;
        EXPECT_FALSE(BackgroundStore::canRead());
    }
    probe.listErrors[root.disk(folder())] = EIO;
    EXPECT_EQ(readDescription(), "unreadable (folder)");
    probe.listErrors.clear();

    probe.openErrors[root.disk(folder() + "/BackgroundItems-v4.btm")] = EPERM;
    EXPECT_EQ(readDescription(), "no access");
    EXPECT_FALSE(BackgroundStore::canRead());
    probe.openErrors.clear();

    put("BackgroundItems-v4.btm", QByteArray());
    EXPECT_EQ(readDescription(), "unreadable (read)");
    put("BackgroundItems-v4.btm", KeyedArchiveWriter::brokenSelfTestStore());
    EXPECT_EQ(readDescription(), "unknown format (record missing disposition)");
}

TEST_F(BackgroundStoreFiles, RefusesAHugeStoreFileBeforeReadingIt) {
    put("BackgroundItems-v4.btm");
    QFile file(root.disk(folder() + "/BackgroundItems-v4.btm"));
    ASSERT_TRUE(file.resize(BackgroundStore::sizeCap + 1));  // sparse: costs no disk
    const auto result = BackgroundStore::read();
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error(), StoreError::format("too large"));
}
