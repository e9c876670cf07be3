#include "platform/Plist.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <cmath>

#include "platform/FileProbe.h"
#include "platform/KeyedArchiveWriter.h"
#include "support/FileShapes.h"
#include "support/HostileFiles.h"
#include "support/LibplistReading.h"
#include "support/PlistSamples.h"

using namespace rk;
using rk::test::everyKind;
using rk::test::refusal;

namespace {

QByteArray xml(const QByteArray& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">" +
           body + "</plist>\n";
}

QByteArray nestedArraysXml(int depth) {
    return xml(QByteArray("<array>").repeated(depth) + QByteArray("</array>").repeated(depth));
}

}  // namespace

TEST(Plist, BinaryAndXmlCarryEveryKind) {
    const PlistValue value = everyKind();
    for (const QByteArray& bytes : {Plist::toBinary(value), Plist::toXml(value)}) {
        const auto parsed = Plist::parse(bytes);
        ASSERT_TRUE(parsed.ok()) << bytes.left(40).toStdString();
        EXPECT_EQ(parsed.value(), value) << bytes.left(40).toStdString();
    }
    // Dates libplist cannot hold are written as the nearest it can, never wrapped.
    for (const double far : {1e12, -1e12, std::nan("")}) {
        const double nearest = far > 0 ? 2147483647.0 : -2147483648.0;
        const PlistValue date(PlistValue::Array{PlistValue(PlistDate{far})});
        for (const QByteArray& bytes : {Plist::toBinary(date), Plist::toXml(date)})
            EXPECT_EQ(Plist::parse(bytes)->array()->front().date()->secondsSince2001, nearest) << far;
    }
    // Binary lists carry UIDs natively; the XML spelling means nothing there.
    const PlistValue namedLikeAUid(PlistValue::Dictionary{{"CF$UID", PlistValue(3)}});
    EXPECT_EQ(Plist::parse(Plist::toBinary(namedLikeAUid)).value(), namedLikeAUid);
    // A leading byte-order mark is part of a text, in both forms.
    const QString marked = QChar(QChar::ByteOrderMark) + QString("x");
    const PlistValue markedTexts(PlistValue::Dictionary{{marked, PlistValue(marked)}});
    for (const QByteArray& bytes : {Plist::toBinary(markedTexts), Plist::toXml(markedTexts)})
        EXPECT_EQ(Plist::parse(bytes).value(), markedTexts) << bytes.left(40).toStdString();
}

// Dates outside 32 bits come out right; no calendar date stands for NaN or
// a date beyond any calendar.
TEST(Plist, XmlDatesReadOutside32Bits) {
    const std::pair<QByteArray, QDateTime> dates[] = {
        {"2001-01-01T00:01:00Z", QDateTime(QDate(2001, 1, 1), QTime(0, 1), QTimeZone::utc())},
        {"1900-01-01T00:00:00Z", QDateTime(QDate(1900, 1, 1), QTime(0, 0), QTimeZone::utc())},
        {"2200-06-01T12:00:00Z", QDateTime(QDate(2200, 6, 1), QTime(12, 0), QTimeZone::utc())}};
    for (const auto& [text, when] : dates)
        EXPECT_EQ(Plist::parse(xml("<date>" + text + "</date>"))->date()->toDateTime(), when) << text.data();
    EXPECT_FALSE(PlistDate{std::nan("")}.toDateTime().isValid());
    EXPECT_FALSE(PlistDate{1e300}.toDateTime().isValid());
}

TEST(Plist, SizeCapIsCheckedBeforeParsingAndReadingAFile) {
    using K = PlistError::Kind;
    const QByteArray good = Plist::toBinary(everyKind());
    EXPECT_EQ(refusal(Plist::parse(good, good.size() - 1)), K::tooLarge);
    EXPECT_EQ(refusal(Plist::parse(good, good.size())), std::nullopt);
    // The XML form has a cap of its own, whatever the caller's.
    const qsizetype wrapping = xml("<string></string>").size();
    const QByteArray atCap = xml("<string>" + QByteArray(Plist::xmlSizeCap - wrapping, 'x') + "</string>");
    EXPECT_EQ(refusal(Plist::parse(atCap)), std::nullopt);
    EXPECT_EQ(refusal(Plist::parse(atCap + ' ')), K::tooLarge);
    EXPECT_EQ(refusal(Plist::parse(Plist::toBinary(PlistValue(QString(atCap))))), std::nullopt);
    // A file: its existence and size, checked before it is read; a pipe is refused, not waited on.
    QTemporaryDir dir;
    const QString path = dir.filePath("job.plist"), pipe = dir.filePath("pipe.plist");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(Plist::toXml(everyKind())) > 0);
    file.close();
    ASSERT_TRUE(test::plant(test::FileShape::pipe, pipe));
    EXPECT_EQ(refusal(Plist::readFile(path)), std::nullopt);
    EXPECT_EQ(refusal(Plist::readFile(path, 10)), K::tooLarge);
    EXPECT_EQ(refusal(Plist::readFile(pipe)), K::file);
    EXPECT_EQ(refusal(Plist::readFile(dir.filePath("none.plist"))), K::file);
    // Only what the file holds is allocated.
    EXPECT_LT(readWholeFile(path, Plist::defaultSizeCap)->capacity(), 64 * 1024);
}

// The value cap counts every container, element and key, in either form: a
// list of exactly the cap is read, one past it refused.
TEST(Plist, AListOfExactlyTheValueCapIsRead) {
    // The dictionary, its key, the array and its seven elements.
    const PlistValue list(PlistValue::Dictionary{{"a", PlistValue::Array(7, PlistValue(true))}});
    for (const QByteArray& bytes : {Plist::toXml(list), Plist::toBinary(list)}) {
        SCOPED_TRACE(bytes.left(8).data());
        EXPECT_EQ(refusal(Plist::parse(bytes, Plist::defaultSizeCap, 10)), std::nullopt);
        EXPECT_EQ(refusal(Plist::parse(bytes, Plist::defaultSizeCap, 9)), PlistError::Kind::tooLarge);
    }
}

// libplist 2.2 recursed once per level, also when freeing its tree, and
// overflowed the stack at about 175,000 levels; the nesting count once made
// before it saw the bytes missed each of these shapes. Our reader builds no
// tree deeper than the cap; what is not XML is refused where it stands.
TEST(PlistXml, DeepNestingIsRefusedHiddenOrNot) {
    using N = test::HostileFiles::Nesting;
    using K = PlistError::Kind;
    for (const int depth : {600, 200'000}) {
        for (const N nesting : {N::closed, N::unclosed}) {
            auto cases = test::HostileFiles::xmlNesting(depth, nesting);
            const QByteArray plain = nestedArraysXml(depth);
            cases.append({"plain", nesting == N::closed ? plain : plain.left(plain.indexOf("</"))});
            for (const auto& c : cases) {
                SCOPED_TRACE(c.name.toStdString() + " " + std::to_string(depth));
                const auto parsed = Plist::parse(c.bytes);
                ASSERT_FALSE(parsed.ok());
                const bool wellFormed = c.name == "plain" || c.name == "closing tag in an instruction";
                EXPECT_EQ(parsed.error().kind, wellFormed ? K::tooDeep : K::unreadable);
            }
        }
    }
    EXPECT_EQ(refusal(Plist::parse(nestedArraysXml(Plist::maxDepth))), std::nullopt);
    EXPECT_EQ(refusal(Plist::parse(nestedArraysXml(Plist::maxDepth + 1))), K::tooDeep);
}

// Whatever libplist, the reader this one replaced, made of a list both read
// is what we make of it: the fuzzing seeds, lists as the fixtures write them,
// and values written in each way libplist reads in its own way.
TEST(PlistXml, ReadsListsAsLibplistDoes) {
    QList<test::HostileFile> lists;
    const QDir seeds(ROWKEEPER_FUZZ_CORPUS "/plist_xml");
    for (const QString& name : seeds.entryList(QDir::Files))
        lists.append({name, readWholeFile(seeds.filePath(name), Plist::defaultSizeCap).value()});
    QList<ArchivedItem> items(200);
    for (int i = 0; i < items.size(); ++i)
        items[i] = ArchivedItem{.name = QString("Item %1 & <%1>").arg(i), .url = QString("/Applications/%1.app").arg(i)};
    lists.append({"store", KeyedArchiveWriter::store({{"501", items}}, KeyedArchiveWriter::Form::xml)});
    lists.append({"long text", xml("<array><string><![CDATA[" + QByteArray("x<y>&").repeated(3000) + "]]></string><!--" +
                                   QByteArray(9000, '-').replace("--", "- ") + "--><string>" +
                                   QByteArray("a&amp;b\r\n").repeated(2000) + "</string></array>")});
    lists.append({"job", xml("<dict><!-- <key>Disabled</key><true/> --><key>Script</key>"
                             "<string><![CDATA[[ 1 < 2 ] && echo \"a>b\"]]></string><key>Empty</key><array /></dict>")});
    lists.append(test::HostileFile{"bare value, space and markup around it",
                                   " \n<?xml version='1.0'?><!DOCTYPE plist SYSTEM 'x'><!-- c --><?pi \"?\"?><true/>\n<!-- d -->"});
    const char* values[] = {
        "<integer>0x1F</integer>", "<integer>010</integer>", "<integer> -5 </integer>", "<integer>+-5</integer>",
        "<integer>18446744073709551615</integer>", "<integer>-99999999999999999999</integer>",
        "<integer>5<!-- -->6<![CDATA[7]]></integer>", "<integer>x</integer>", "<integer/>", "<real>1e3</real>",
        "<real>-inf</real>", "<real>nan</real>", "<real>0x1p3</real>", "<real>1,5</real>", "<real/>",
        "<date>2001-02-30T25:00:00Z</date>", "<date> 2001-01-01T00:01:00Z </date>", "<date>2001-01-01T00:00:00.5Z</date>",
        "<date>2001-01-01T00:01:00Z                   </date>", "<date>2001</date>", "<date></date>", "<date/>",
        "<data>AA H/\n\tAA==</data>", "<data>AA*H/=AAA</data>", "<data>AAAAB</data>", "<data/>",
        "<string>a\r\nb\rc</string>", "<string>\xEF\xBB\xBF" "a</string>", "<string>&lt;&#x1F600;&#65;&amp;amp;&quot;</string>", "<string>\xff\xc3</string>",
        "<string>a<![CDATA[&amp;<]]><!-- c -->b</string>", "<string/>", "<true>x<!-- c --></true>", "<false></false>",
        "<dict><key>\xEF\xBB\xBF</key><true/></dict>", "<dict><key>a</key><true/><key>&amp;</key><false/><key>a</key><integer>3</integer></dict>",
        "<dict><key>CF$UID</key><integer>2</integer><key>CF$UID</key><integer>5</integer></dict>",
        "<dict><key>CF$UID</key><integer>-1</integer></dict>", "<dict><key>UID</key><integer>1</integer></dict>",
        "<dict><key>CF$UID</key><integer>12</integer></dict>", "<dict><key>CF$UID</key><string>1</string></dict>",
        "<dict><key>CF$UID</key><integer>1</integer><key>x</key><true/></dict>", "<dict/>", "<array></array >"};
    for (const char* value : values)
        lists.append({value, xml(QByteArray("<array>") + value + "</array>")});
    for (const auto& [name, bytes] : lists) {
        SCOPED_TRACE(name.toStdString());
        const auto ours = Plist::parse(bytes);
        // Our reader has bounded the nesting before libplist may see the list.
        if (name.startsWith("hostile-") && !ours)
            continue;
        ASSERT_TRUE(ours.ok()) << ours.error().detail.toStdString();
        const auto theirs = test::LibplistReading::xml(bytes);
        ASSERT_TRUE(theirs);
        EXPECT_TRUE(test::LibplistReading::same(ours.value(), *theirs));
    }
}

// Lists that are not XML or not property lists, and markup libplist would
// delimit otherwise, are refused.
TEST(PlistXml, BrokenListsAndMarkupLibplistReadsOtherwiseAreRefused) {
    QByteArray attributes = "<plist";
    for (int i = 0; i < 20'000; ++i)
        attributes += " a" + QByteArray::number(i) + "=''";
    const QList<test::HostileFile> cases{
        {"empty", {}},
        {"text", "hello, world"},
        {"zeros", QByteArray(4096, '\0')},
        {"binary header only", "bplist00"},
        {"unclosed", xml("<dict><key>a</key>")},
        {"unterminated comment", xml("<array><!-- </array>")},
        {"text between elements", xml("<array>x<true/></array>")},
        {"unknown element", xml("<array><null/></array>")},
        {"key outside a dictionary", xml("<array><key>x</key></array>")},
        {"key without a value", xml("<dict><key>a</key></dict>")},
        {"value without a key", xml("<dict><true/></dict>")},
        {"two values", xml("<true/><true/>")},
        {"empty plist", xml("")},
        {"attribute on a value", xml("<string a=\"1\">x</string>")},
        {"instruction inside text", xml("<string>a<?x?>b</string>")},
        {"DOCTYPE inside text", "<plist><string>a<!DOCTYPE x>b</string></plist>"},
        {"quote left open in an instruction", xml("<array><?x \"?><!--\"?><true/>--></array>")},
        {"'>' single-quoted in a tag", "<plist version='a>b'><true/></plist>"},
        {"'>' single-quoted in a DOCTYPE", "<!DOCTYPE plist SYSTEM 'a>b'><plist><true/></plist>"},
        {"internal subset", "<!DOCTYPE plist [<!ENTITY x \"y\">]><plist><true/></plist>"},
        {"undeclared entity", "<!DOCTYPE plist SYSTEM \"x\"><plist><string>&x;</string></plist>"},
        {"reference to a lone surrogate", xml("<string>&#xD800;</string>")},
        {"comment inside data", xml("<data>AAAA<!-- -->AAAA</data>")},
        {"CDATA inside a date", xml("<date><![CDATA[2001-01-01T00:00:00Z]]></date>")},
        {"20,000 attributes", attributes + "><true/></plist>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(refusal(Plist::parse(c.bytes)), PlistError::Kind::unreadable) << c.name.toStdString();
}
