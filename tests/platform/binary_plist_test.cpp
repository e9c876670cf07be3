// The binary property-list reader: malformed lists are refused as values,
// never read out of bounds, and every list is read as libplist reads it.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QList>
#include <QTemporaryDir>
#include <QtEndian>
#include <algorithm>
#include <random>

#include "platform/BinaryPlist.h"
#include "platform/BundleInfo.h"
#include "platform/KeyedArchiveWriter.h"
#include "platform/Plist.h"
#include "support/LibplistReading.h"
#include "support/PlistSamples.h"
#include "support/TempRoot.h"

using namespace rk;
using rk::test::everyKind;
using rk::test::refusal;

namespace {

// A binary list of the given objects (object i is at index i): one-byte
// offsets and references, top object 0, `padding` unused bytes before the table.
QByteArray bplist(const QList<QByteArray>& objects, int padding = 0) {
    QByteArray out("bplist00");
    QList<int> offsets;
    for (const QByteArray& object : objects) {
        offsets.append(int(out.size()));
        out.append(object);
    }
    out.append(QByteArray(padding, '\0'));
    const int table = int(out.size());
    for (int offset : offsets)
        out.append(char(offset));
    QByteArray trailer(32, '\0');
    trailer[6] = 1;  // offset size
    trailer[7] = 1;  // reference size
    trailer[15] = char(objects.size());
    qToBigEndian(quint64(table), trailer.data() + 24);
    return out + trailer;
}

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// An array holding object 1, which is `object`.
QByteArray inArray(const QByteArray& object) {
    return bplist({bytes({0xA1, 0x01}), object});
}

// Whether our reading of `list` agrees with libplist's. Our bounds on
// expansion are our own; a list refused as too deep must be one libplist
// refuses too (below Plist::maxDepth objects that can only be a cycle).
::testing::AssertionResult readsAsLibplist(const QByteArray& list) {
    const auto ours = Plist::parse(list);
    const auto theirs = test::LibplistReading::binary(list);
    if (!ours.ok() && ours.error().detail == "binary expands too far")
        return ::testing::AssertionSuccess();
    if (ours.ok() != theirs.has_value())
        return ::testing::AssertionFailure()
               << (ours.ok() ? "we accept, libplist refuses" : "we refuse, libplist accepts") << ": "
               << list.toHex().toStdString();
    if (ours.ok() && !test::LibplistReading::same(ours.value(), *theirs))
        return ::testing::AssertionFailure() << "values differ: " << list.toHex().toStdString();
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(BinaryPlist, MalformedListsAreRefused) {
    using K = PlistError::Kind;
    const QByteArray good = inArray(bytes({0x10, 0x07}));
    const QByteArray one = bplist({bytes({0x10, 1})});
    auto patched = [&](int fromEnd, char value) {
        QByteArray b = one;
        b[b.size() - fromEnd] = value;
        return b;
    };
    // Object i is an array holding object i+1 twice: 2^n paths in a few bytes.
    auto doubling = [](int n) {
        QList<QByteArray> objects;
        for (int i = 0; i < n; ++i)
            objects.append(bytes({0xA2, i + 1, i + 1}));
        return objects << bytes({0xA0});
    };
    // Index 0 names indices 1 to 100, which all stand for one array naming
    // index 101 (true) 100 times: containers sharing their references.
    // (Objects of no bytes have the offset of the object after them.)
    QList<QByteArray> aliased{bytes({0xAF, 0x10, 100})};
    for (int i = 1; i <= 100; ++i)
        aliased[0] += char(i);
    aliased << QList<QByteArray>(99) << bytes({0xAF, 0x10, 100}) + QByteArray(100, char(101))
            << bytes({0x09});
    // Index 0 names indices 1 to 40: data or UTF-16 strings of 70 bytes or
    // units, at offsets three bytes apart (each running on over the next
    // ones), or at one offset as a dictionary's keys: 40 objects of 70 bytes
    // or units in a list of some 300 bytes. Readers that read or note each
    // object once read them all: a launch job of 1 MB came to 1 GB, a store
    // of 2 MB naming one key took 21 s.
    auto overlapping = [](bool keys) {
        QList<QByteArray> objects{bytes({keys ? 0xDF : 0xAF, 0x10, 40})};
        for (int i = 1; i <= 40; ++i) {
            objects[0] += char(i);
            objects << (keys && i < 40 ? QByteArray() : bytes({keys ? 0x6F : 0x4F, 0x10, 70}));
        }
        objects[0] += QByteArray(keys ? 40 : 0, char(41));  // true
        return bplist(objects << bytes({0x09}), keys ? 140 : 70);
    };
    struct Case {
        const char* name;
        QByteArray bytes;
        K kind = K::unreadable;
        // libplist expands shared containers until memory runs out; we refuse.
        bool asLibplist = true;
        quint64 cap = Plist::defaultNodeCap;  // the value cap the list is read with
    } cases[] = {
        // The trailer and the offset table.
        {"trailer cut short", good.left(good.size() - 1)},
        {"only the trailer's last bytes", "bplist00" + good.right(20)},
        {"offset size 0", patched(26, 0)},
        {"offset size 9", patched(26, 9)},
        {"reference size 0", patched(25, 0)},
        {"no objects", patched(17, 0)},
        {"top object beyond the count", patched(9, 1)},
        {"offset table inside the trailer", patched(1, char(one.size() - 20))},
        {"more objects than the table holds", patched(17, 40)},
        {"object count near 2^64", QByteArray(one).replace(one.size() - 24, 8, QByteArray(8, '\xFF'))},
        {"object offset past the table", inArray(bytes({0x10, 7})).replace(12, 1, "\x30")},
        {"object offset inside the header, at no object", inArray(bytes({0x10, 7})).replace(13, 1, "\x03")},
        // References.
        {"reference beyond the objects", bplist({bytes({0xA1, 0x05}), bytes({0x10, 1})})},
        {"dictionary key that is a number", bplist({bytes({0xD1, 0x01, 0x01}), bytes({0x10, 1})})},
        // Numbers.
        {"integer of 32 bytes", inArray(bytes({0x15}) + QByteArray(32, 1))},
        {"integer past the table", inArray(bytes({0x13, 0, 0}))},
        {"real of 2 bytes", inArray(bytes({0x21, 0x3F, 0x80}))},
        {"real past the table", inArray(bytes({0x23, 0x3F, 0x80}))},
        {"date of 4 bytes", inArray(bytes({0x32, 0x3F, 0xC0, 0, 0}))},
        {"UID beyond 32 bits", inArray(bytes({0x84, 1, 0, 0, 0, 0}))},
        {"UID past the table", inArray(bytes({0x83, 0}))},
        // Sized objects.
        {"string past the table", inArray(bytes({0x53, 'x', 'y'}))},
        {"UTF-16 past the table", inArray(bytes({0x62, 0, 'y', 0}))},
        {"empty UTF-16 string", inArray(bytes({0x60}))},
        {"length that is no integer", inArray(bytes({0x5F, 0x21, 0, 2, 'x', 'y'}))},
        {"length past the table", inArray(bytes({0x4F, 0x13, 0, 0}))},
        // Markers the form does not define.
        {"null", inArray(bytes({0x00}))},
        {"fill", inArray(bytes({0x0F}))},
        {"marker 0x7", inArray(bytes({0x70}))},
        {"marker 0xF", inArray(bytes({0xF0}))},
        {"top object is null", bplist({bytes({0x00})})},
        // Cycles are endless nesting.
        {"array holding itself", bplist({bytes({0xA1, 0x00})}), K::tooDeep},
        {"dictionary holding its parent",
         bplist({bytes({0xA1, 0x01}), bytes({0xD1, 0x02, 0x00}), bytes({0x51, 'k'})}), K::tooDeep},
        // Huge counts never reach an allocation, nor shared containers an
        // expansion past the value cap.
        {"array of 2^40 elements", inArray(bytes({0xAF, 0x13, 0, 0, 1, 0, 0, 0, 0, 0}))},
        {"dictionary of 2^62 entries", inArray(bytes({0xDF, 0x13, 0x40, 0, 0, 0, 0, 0, 0, 0}))},
        {"string of 2^62 bytes", inArray(bytes({0x5F, 0x13, 0x40, 0, 0, 0, 0, 0, 0, 0}))},
        {"UTF-16 of 2^63 units", inArray(bytes({0x6F, 0x13, 0x80, 0, 0, 0, 0, 0, 0, 1}))},
        {"containers sharing their references", bplist(aliased), K::unreadable, false},
        {"arrays sharing one child 40 deep", bplist(doubling(40)), K::tooLarge, false, 1 << 16},
        // Bytes nothing refers to buy no expansion past the cap: once 2^26 values from 64 MiB.
        {"arrays sharing one child 20 deep behind 1 MiB", bplist(doubling(20), 1 << 20), K::tooLarge, false,
         1 << 16},
        {"data at overlapping offsets", overlapping(false)},
        {"UTF-16 keys at one offset", overlapping(true)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(refusal(Plist::parse(c.bytes, Plist::defaultSizeCap, c.cap)), c.kind);
        EXPECT_FALSE(BinaryPlist::open(c.bytes, c.cap).ok());
        EXPECT_TRUE(!c.asLibplist || readsAsLibplist(c.bytes));
    }
    // The value cap counts the top object too when containers share: three
    // doublings are 15 values.
    EXPECT_EQ(refusal(Plist::parse(bplist(doubling(3)), Plist::defaultSizeCap, 15)), std::nullopt);
    EXPECT_EQ(refusal(Plist::parse(bplist(doubling(3)), Plist::defaultSizeCap, 14)), K::tooLarge);
}

TEST(BinaryPlist, ReadsEveryFormAsLibplistDoes) {
    struct Case {
        const char* name;
        QByteArray bytes;
        PlistValue element;
    } cases[] = {
        {"1-byte integer", inArray(bytes({0x10, 0xFF})), PlistValue(255)},
        {"8-byte integer is signed", inArray(bytes({0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE})),
         PlistValue(-2)},
        {"16-byte integer keeps its low 8 bytes",
         inArray(bytes({0x14}) + QByteArray(7, 0) + bytes({1}) + QByteArray(7, 0) + bytes({5})),
         PlistValue(5)},
        {"4-byte real", inArray(bytes({0x22, 0x3F, 0xC0, 0, 0})), PlistValue(1.5)},
        {"negative date keeps its fraction", inArray(bytes({0x33, 0xBF, 0xF8, 0, 0, 0, 0, 0, 0})),
         PlistValue(PlistDate{-1.5})},
        {"date of 1900", inArray(bytes({0x33, 0xC1, 0xE7, 0xBF, 0x48, 0xE0, 0x00, 0x00, 0x00})),
         PlistValue(PlistDate{-3187296000.0})},
        {"ASCII string ends at NUL", inArray(bytes({0x53, 'a', 0, 'b'})), PlistValue("a")},
        {"bytes past ASCII read as UTF-8", inArray(bytes({0x52, 0xC3, 0xA9})), PlistValue("é")},
        {"empty ASCII string", inArray(bytes({0x50})), PlistValue("")},
        {"UTF-16 keeps NUL", inArray(bytes({0x62, 0, 0, 0, 'a'})), PlistValue(QString(QChar(0)) + "a")},
        {"UTF-16 pair", inArray(bytes({0x62, 0xD8, 0x3D, 0xDE, 0x00})), PlistValue("😀")},
        {"UTF-16 lone trail dropped", inArray(bytes({0x62, 0xDE, 0x00, 0, 'a'})), PlistValue("a")},
        {"UTF-16 waiting lead pairs later", inArray(bytes({0x63, 0xD8, 0x3D, 0x00, 'a', 0xDE, 0x00})),
         PlistValue("a😀")},
        {"UTF-16 two leads drop both", inArray(bytes({0x63, 0xD8, 0x3D, 0xD8, 0x3D, 0xDE, 0x00})),
         PlistValue("")},
        {"length in a 16-byte integer",
         inArray(bytes({0x4F, 0x14}) + QByteArray(15, 0) + bytes({2, 'x', 'y'})),
         PlistValue(QByteArray("xy"))},
        {"count in a 16-byte integer",
         bplist(
             {bytes({0xA1, 0x01}), bytes({0xAF, 0x14}) + QByteArray(15, 0) + bytes({1, 2}), bytes({0x09})}),
         PlistValue(PlistValue::Array{PlistValue(true)})},
        {"references of 9 bytes",  // byte 28: the trailer's reference size
         bplist({bytes({0xA1}) + QByteArray(8, 0) + bytes({1}), bytes({0x09})}).replace(28, 1, "\x09"),
         PlistValue(true)},
        {"UID of 16 bytes", inArray(bytes({0x8F}) + QByteArray(15, 0) + bytes({9})), PlistValue(PlistUid{9})},
        {"set reads as an array", bplist({bytes({0xA1, 0x01}), bytes({0xC1, 0x02}), bytes({0x09})}),
         PlistValue(PlistValue::Array{PlistValue(true)})},
        {"dictionary key ends at NUL",
         bplist({bytes({0xA1, 0x01}), bytes({0xD1, 0x02, 0x03}), bytes({0x53, 'k', 0, 'x'}), bytes({0x08})}),
         PlistValue(PlistValue::Dictionary{{"k", PlistValue(false)}})},
        {"UTF-16 key",
         bplist({bytes({0xA1, 0x01}), bytes({0xD1, 0x02, 0x03}), bytes({0x61, 0, 'k'}), bytes({0x08})}),
         PlistValue(PlistValue::Dictionary{{"k", PlistValue(false)}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto parsed = Plist::parse(c.bytes);
        ASSERT_TRUE(parsed.ok()) << c.bytes.toHex().toStdString();
        EXPECT_TRUE(test::LibplistReading::same(parsed.value(), PlistValue(PlistValue::Array{c.element})));
        EXPECT_TRUE(readsAsLibplist(c.bytes));
    }
}

TEST(BinaryPlist, FindsKeysAndTextInPlaceAsLibplistDoes) {
    const auto object = [](const BinaryPlist& in, quint64 index) { return in.object(in.offsetOf(index)); };
    // The index of the value of the first entry of `key` in the dictionary
    // at `index`, looked up as the store reader does.
    const auto entry = [&](const BinaryPlist& in, quint64 index,
                           QByteArrayView key) -> std::optional<quint64> {
        const auto dict = object(in, index);
        for (quint64 i = 0; in.isDictionary(dict) && i < dict.count; ++i)
            if (in.keyEquals(object(in, in.childIndex(dict, i)), key))
                return in.childIndex(dict, dict.count + i);
        return std::nullopt;
    };
    // {"url": "$null", "u\0tail" (UTF-16): 3, "url": 1}: the first "url" wins,
    // a UTF-16 key matches up to its NUL.
    const QByteArray list =
        bplist({bytes({0xD3, 0x01, 0x02, 0x01, 0x03, 0x04, 0x05}), bytes({0x53, 'u', 'r', 'l'}),
                bytes({0x62, 0, 'u', 0, 0}), bytes({0x55, '$', 'n', 'u', 'l', 'l'}), bytes({0x10, 3}),
                bytes({0x10, 1})});
    const auto opened = BinaryPlist::open(list);
    ASSERT_TRUE(opened.ok());
    const BinaryPlist& in = **opened;
    const auto url = entry(in, in.topIndex(), "url");
    const auto u = entry(in, in.topIndex(), "u");
    ASSERT_TRUE(url && u);
    const auto text = object(in, *url);
    EXPECT_TRUE(in.isString(text) && in.stringEquals(text, QLatin1String("$null")) &&
                !in.stringEquals(text, QLatin1String("$nul")));
    EXPECT_TRUE(BinaryPlist::kind(object(in, *u)) == PlistValue::Kind::integer &&
                in.integer(object(in, *u)) == 3);
    EXPECT_FALSE(entry(in, in.topIndex(), "ur") || entry(in, *url, "x"));
    // A key led by a UTF-8 byte-order mark keeps it, in place and in the tree alike.
    const QByteArray marked =
        bplist({bytes({0xD1, 0x01, 0x02}), bytes({0x54, 0xEF, 0xBB, 0xBF, 'y'}), bytes({0x10, 1})});
    const auto bom = BinaryPlist::open(marked);
    ASSERT_TRUE(bom.ok());
    const auto y = entry(**bom, (*bom)->topIndex(), "\xEF\xBB\xBFy");
    ASSERT_TRUE(y);
    EXPECT_EQ((*bom)->integer(object(**bom, *y)), 1);
    EXPECT_TRUE(Plist::parse(marked)->find(QChar(QChar::ByteOrderMark) + QString("y")));
    EXPECT_TRUE(readsAsLibplist(list));
}

// A store large enough for two-byte references and three-byte offsets.
TEST(BinaryPlist, WideOffsetsAndReferences) {
    QList<ArchivedItem> items(3000);
    for (int i = 0; i < items.size(); ++i)
        items[i] = {.name = QString("Item %1 ").arg(i) + QString(40, 'x'),
                    .url = QString("/Applications/Item %1.app").arg(i),
                    .identifier = QString("2.com.vendor.item%1").arg(i)};
    const QByteArray list = KeyedArchiveWriter::store({{"501", items}});
    ASSERT_GT(list.size(), 0xFFFF);
    EXPECT_TRUE(readsAsLibplist(list));
}

// A long string, data or key that many references name is read once and its
// one copy shared: a list of 100 KB naming one 100,000-character string from
// 4,000 places once took 770 MB to read. The entries before fill what short keys
// are kept.
TEST(BinaryPlist, AnObjectNamedFromManyPlacesIsReadOnce) {
    const QString wide(100, QChar(0xE9)), ascii(100, 'x'), brief(64, 'b');
    PlistValue::Dictionary many;
    for (int i = 0; i < 5000; ++i)
        many.push_back({QString::number(i), PlistValue(i)});
    const PlistValue keyed(PlistValue::Dictionary{{ascii, PlistValue(1)}}),
        briefly(PlistValue::Dictionary{{brief, PlistValue(2)}});
    // libplist writes equal strings and keys once (data it writes apart).
    const PlistValue all(PlistValue::Array{many, wide, wide, ascii, ascii, keyed, keyed, brief, brief, brief,
                                           briefly, briefly, briefly});
    const auto read = Plist::parse(Plist::toBinary(all));
    ASSERT_TRUE(read.ok());
    ASSERT_EQ(read.value(), all);
    const auto& a = *read->array();
    const auto at = [](const PlistValue& v) {
        return v.string() ? v.string()->constData() : v.dictionary()->front().key.constData();
    };
    // A short text is read again the second time it is named, and kept then.
    for (const size_t i : {1, 3, 5, 8, 11})
        EXPECT_EQ(at(a[i]), at(a[i + 1])) << "at " << i;
    const auto data =
        Plist::parse(bplist({bytes({0xA2, 1, 1}), bytes({0x4F, 0x10, 100}) + QByteArray(100, 'd')}));
    ASSERT_TRUE(data.ok());
    EXPECT_EQ(data->array()->at(0).data()->constData(), data->array()->at(1).data()->constData());
}

// Writers that keep containers by identity write a list named from many
// places once and name it from each: a job naming one list of 100 groups
// from 100 places is 10,105 values in 246 bytes. It is read as its XML form
// is, up to the value cap.
TEST(BinaryPlist, AContainerNamedFromManyPlacesIsReadUpToTheValueCap) {
    const QByteArray list =
        bplist({bytes({0xD2, 1, 2, 3, 4}), bytes({0x55}) + "Label", bytes({0x5A}) + "UserGroups",
                bytes({0x53}) + "job", bytes({0xAF, 0x10, 100}) + QByteArray(100, 5),
                bytes({0xAF, 0x10, 100}) + QByteArray(100, 6), bytes({0x55}) + "staff"});
    const PlistValue groups(PlistValue::Array(100, PlistValue(PlistValue::Array(100, PlistValue("staff")))));
    const PlistValue job(PlistValue::Dictionary{{"Label", "job"}, {"UserGroups", groups}});
    const auto read = Plist::parse(list), xml = Plist::parse(Plist::toXml(job));
    ASSERT_TRUE(read.ok() && xml.ok());
    EXPECT_EQ(read.value(), xml.value());
    EXPECT_TRUE(readsAsLibplist(list));
    EXPECT_TRUE(Plist::parse(list, Plist::defaultSizeCap, 10'105).ok());
    const auto past = Plist::parse(list, Plist::defaultSizeCap, 10'104);
    ASSERT_FALSE(past.ok());
    EXPECT_EQ(past.error(), (PlistError{PlistError::Kind::tooLarge, "more than 10104 values"}));
}

// An Info.plist naming one array from many places comes to no more values
// than the bundle reader's own cap, far below the default one: "Big" below
// is 2^(n+1) - 2 values in n + 5 objects.
TEST(BinaryPlist, AnInfoPlistNamingOneArrayFromManyPlacesKeepsWithinTheBundleCap) {
    for (const auto& [n, readable] : {std::pair{16, true}, std::pair{17, false}}) {
        QList<QByteArray> objects{bytes({0xD2, 1, 2, 3, 4}), bytes({0x5F, 0x10, 18}) + "CFBundleIdentifier",
                                  bytes({0x53}) + "Big", bytes({0x53}) + "a.b"};
        for (int i = 4; i < 4 + n; ++i)
            objects.append(bytes({0xA2, i + 1, i + 1}));
        const QTemporaryDir dir;
        ASSERT_TRUE(
            test::writeFileAt(dir.filePath("X.app/Contents/Info.plist"), bplist(objects << bytes({0xA0}))));
        EXPECT_EQ(BundleInfo::read(dir.filePath("X.app")).identifier(),
                  readable ? std::optional<QString>("a.b") : std::nullopt)
            << n;
    }
}

// Single and double byte changes to real lists, in the trailer, the offset
// table and the objects: whatever libplist makes of each, we make the same,
// or refuse it where libplist would expand it beyond the file.
TEST(BinaryPlist, DamagedListsReadAsLibplistReadsThem) {
    const ArchivedItem item{.name = "Café ✓",
                            .type = 2,
                            .disposition = 3,
                            .url = "/Applications/Café.app",
                            .identifier = "2.com.example.cafe",
                            .developerName = "Vendor"};
    const QByteArray bases[] = {
        Plist::toBinary(everyKind()), KeyedArchiveWriter::store({{"501", {item}}}),
        bplist({bytes({0xA2, 0x01, 0x02}), bytes({0xC1, 0x02}), bytes({0x22, 0x3F, 0xC0, 0, 0}),
                bytes({0x62, 0xD8, 0x3D, 0xDE, 0x00})})};
    const QByteArray interesting = QByteArray::fromHex("00010208090F1013141F334F5F606F808FA0AFC1D1DFFF");
    std::mt19937 random(20240611);
    const int rounds = 1500;
    int accepted = 0;
    for (const QByteArray& base : bases) {
        ASSERT_TRUE(readsAsLibplist(base));
        for (int round = 0; round < rounds; ++round) {
            QByteArray damaged = base;
            const int changes = 1 + int(random() % 2);
            for (int k = 0; k < changes; ++k) {
                // Half the changes fall in the last 64 bytes: the table and the trailer.
                const qsizetype at =
                    random() % 2 ? qsizetype(random() % quint32(damaged.size()))
                                 : std::max<qsizetype>(0, damaged.size() - 1 - qsizetype(random() % 64));
                damaged[at] = random() % 2 ? char(random()) : interesting[random() % interesting.size()];
            }
            EXPECT_TRUE(readsAsLibplist(damaged));
            accepted += Plist::parse(damaged).ok() ? 1 : 0;
        }
        for (qsizetype cut = 1; cut < 48; ++cut)
            EXPECT_TRUE(readsAsLibplist(base.left(base.size() - cut)));
    }
    // Enough damage is still readable for the values to be compared too.
    EXPECT_GT(accepted, 3 * rounds / 10) << accepted;
    EXPECT_LT(accepted, 3 * rounds * 9 / 10) << accepted;
}
