#include "platform/Plist.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <cmath>

#include "platform/FileProbe.h"
#include "support/HostileFiles.h"

using namespace rk;

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

PlistValue everyKind() {
    return PlistValue(PlistValue::Dictionary{
        {"string", PlistValue("héllo 😀")},
        {"negative", PlistValue(qint64(-5))},
        {"large", PlistValue(qint64(1) << 40)},
        {"real", PlistValue(2.5)},
        {"yes", PlistValue(true)},
        {"no", PlistValue(false)},
        {"data", PlistValue(QByteArray("\x00\x01\xFF", 3))},
        {"date", PlistValue(PlistDate{60.0})},
        {"uid", PlistValue(PlistUid{7})},
        {"array", PlistValue(PlistValue::Array{PlistValue(1), PlistValue("two")})},
        {"nested", PlistValue(PlistValue::Dictionary{{"inner", PlistValue("x")}})},
    });
}

}  // namespace

TEST(Plist, BinaryAndXmlCarryEveryKind) {
    const PlistValue value = everyKind();
    for (const QByteArray& bytes : {Plist::toBinary(value), Plist::toXml(value)}) {
        const auto parsed = Plist::parse(bytes);
        ASSERT_TRUE(parsed.ok()) << bytes.left(40).toStdString();
        EXPECT_EQ(parsed.value(), value) << bytes.left(40).toStdString();
    }
    // Binary lists carry UIDs natively; the XML spelling means nothing there.
    const PlistValue namedLikeAUid(PlistValue::Dictionary{{"CF$UID", PlistValue(3)}});
    EXPECT_EQ(Plist::parse(Plist::toBinary(namedLikeAUid)).value(), namedLikeAUid);
}

// Dates outside 32 bits come out right; no calendar date stands for NaN or
// a date beyond any calendar.
TEST(Plist, HandWrittenXmlReadsWithDatesAndData) {
    const auto parsed =
        Plist::parse(xml("<array><date>2001-01-01T00:01:00Z</date><data>AAH/</data><integer>-3</"
                         "integer><real>0.5</real><true/>"
                         "<date>1900-01-01T00:00:00Z</date><date>2200-06-01T12:00:00Z</date></array>"));
    ASSERT_TRUE(parsed.ok());
    const PlistValue::Array& read = *parsed->array();
    EXPECT_EQ(PlistValue::Array(read.begin(), read.begin() + 5),
              (PlistValue::Array{PlistValue(PlistDate{60.0}), PlistValue(QByteArray("\x00\x01\xFF", 3)),
                                 PlistValue(qint64(-3)), PlistValue(0.5), PlistValue(true)}));
    const std::pair<int, QDateTime> dates[] = {
        {0, QDateTime(QDate(2001, 1, 1), QTime(0, 1), QTimeZone::utc())},
        {5, QDateTime(QDate(1900, 1, 1), QTime(0, 0), QTimeZone::utc())},
        {6, QDateTime(QDate(2200, 6, 1), QTime(12, 0), QTimeZone::utc())}};
    for (const auto& [at, when] : dates)
        EXPECT_EQ(read.at(at).date()->toDateTime(), when);
    EXPECT_FALSE(PlistDate{std::nan("")}.toDateTime().isValid());
    EXPECT_FALSE(PlistDate{1e300}.toDateTime().isValid());
}

TEST(Plist, XmlUidDictionaryIsAUidOnlyInItsExactShape) {
    struct Case {
        const char* name;
        QByteArray body;
        bool isUid;
    } cases[] = {
        {"one integer key", "<dict><key>CF$UID</key><integer>12</integer></dict>", true},
        {"a second key", "<dict><key>CF$UID</key><integer>1</integer><key>x</key><true/></dict>", false},
        {"text value", "<dict><key>CF$UID</key><string>1</string></dict>", false},
        {"negative", "<dict><key>CF$UID</key><integer>-1</integer></dict>", false},
        {"other key", "<dict><key>UID</key><integer>1</integer></dict>", false},
    };
    for (const auto& c : cases) {
        const auto parsed = Plist::parse(xml("<array>" + c.body + "</array>"));
        ASSERT_TRUE(parsed.ok()) << c.name;
        const PlistValue& element = parsed->array()->front();
        EXPECT_EQ(element.uid(), c.isUid ? std::optional<quint64>(12) : std::nullopt) << c.name;
        // The in-place view reads the same shape the same way.
        const auto document = PlistDocument::parse(xml("<array>" + c.body + "</array>"));
        EXPECT_EQ(document->root().elements().front().uid(), element.uid()) << c.name;
    }
}

TEST(Plist, SizeCapIsCheckedBeforeParsingAndReadingAFile) {
    const QByteArray good = Plist::toBinary(everyKind());
    const auto refused = Plist::parse(good, good.size() - 1);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().kind, PlistError::Kind::tooLarge);
    EXPECT_TRUE(Plist::parse(good, good.size()).ok());
    // A file: its existence and size, checked before it is read.
    QTemporaryDir dir;
    const QString path = dir.filePath("job.plist");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(Plist::toXml(everyKind()));
    file.close();

    EXPECT_TRUE(Plist::readFile(path).ok());
    // Only what the file holds is allocated; a pipe is refused, not waited on.
    EXPECT_LT(readWholeFile(path, Plist::defaultSizeCap)->capacity(), 64 * 1024);
    const QString pipe = dir.filePath("pipe.plist");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_EQ(Plist::readFile(pipe).error().kind, PlistError::Kind::file);
    const auto large = Plist::readFile(path, 10);
    ASSERT_FALSE(large.ok());
    EXPECT_EQ(large.error().kind, PlistError::Kind::tooLarge);
    const auto missing = Plist::readFile(dir.filePath("none.plist"));
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().kind, PlistError::Kind::file);
}

// Broken lists are failure values. libplist recurses into XML nesting and
// crashed when handed it unchecked.
// A list it might tokenize otherwise than the nesting count does is refused
// before it sees it: at 175,000 levels freeing it overflowed libplist's
// stack, also on its error path for a list cut short.
TEST(Plist, DeepXmlAndXmlThatLibplistMightReadOtherwiseAreRefused) {
    auto cases = test::HostileFiles::xmlNesting(200'000);
    cases.append({"unterminated comment", xml("<array><!-- </array>")});
    cases.append({"processing instruction after the first element", xml("<array><?x?></array>")});
    cases += QList<test::HostileFile>{{"empty", {}},
                                      {"text", "hello, world"},
                                      {"unclosed xml", xml("<dict><key>a</key>")},
                                      {"binary header only", "bplist00"},
                                      {"zeros", QByteArray(4096, '\0')}};
    for (const auto& c : cases) {
        const auto parsed = Plist::parse(c.bytes);
        ASSERT_FALSE(parsed.ok()) << c.name.toStdString();
        EXPECT_EQ(parsed.error().kind, PlistError::Kind::unreadable) << c.name.toStdString();
    }
    EXPECT_EQ(Plist::parse(nestedArraysXml(2000).chopped(9000)).error().kind, PlistError::Kind::tooDeep);
    EXPECT_EQ(Plist::parse(nestedArraysXml(2'000'000)).error().kind, PlistError::Kind::tooDeep);
    EXPECT_TRUE(Plist::parse(nestedArraysXml(100)).ok());
    // What people write in job files still reads.
    const auto job = Plist::parse(
        xml("<dict><!-- <key>Disabled</key><true/> --><key>Script</key>"
            "<string><![CDATA[[ 1 < 2 ] && echo \"a>b\"]]></string><key>Empty</key><array /></dict>"));
    ASSERT_TRUE(job.ok());
    EXPECT_EQ(job.value(),
              PlistValue(PlistValue::Dictionary{{"Script", PlistValue("[ 1 < 2 ] && echo \"a>b\"")},
                                                {"Empty", PlistValue(PlistValue::Array{})}}));
}

TEST(PlistView, ReadsXmlInPlaceWithTheSameRules) {
    const QByteArray bytes = xml(
        "<dict><key>name</key><string>$null</string><key>list</key><array><integer>1</integer><true/></array>"
        "</dict>");
    const auto document = PlistDocument::parse(bytes);
    ASSERT_TRUE(document.ok());
    const PlistView root = document->root();
    EXPECT_TRUE(root.isDictionary() && root.find("name").stringEquals(QLatin1String("$null")));
    EXPECT_FALSE(root.find("name").stringEquals(QLatin1String("$nul")));
    EXPECT_EQ(root.find("name").string(), "$null");
    const auto list = root.find("list").elements();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_TRUE(list[0].integer() == 1 && list[1].boolean() == true);
    // Nothing answers nothing, and never crashes.
    const PlistView none = root.find("absent");
    EXPECT_TRUE(none.isNull() && !none.kind() && none.find("x").isNull() && none.elements().empty());
    EXPECT_TRUE(root.find("list").find("x").isNull() && root.elements().empty());
    EXPECT_EQ(root.toValue(), Plist::parse(bytes).value());
}
