#include "platform/PlistXml.h"

#include <QHash>
#include <QXmlStreamReader>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <locale.h>
#include <optional>
#include <vector>

namespace rk {

namespace {

// How much of the list the XML reader is handed at least at a time, and how
// far a tag, declaration or instruction may run before it is refused: the
// reader compares a tag's attributes with each other, which grows with their
// square.
constexpr qsizetype kChunk = 4096;
constexpr qsizetype kLongestMarkup = 4096;
// 2001-01-01 in seconds since 1970.
constexpr double kEpoch2001 = 978307200;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

enum class Tag { unknown, plist, dict, array, key, string, integer, real, yes, no, data, date };

Tag tagNamed(QStringView name) {
    static const std::pair<QLatin1String, Tag> tags[] = {
        {QLatin1String("plist"), Tag::plist},     {QLatin1String("dict"), Tag::dict},
        {QLatin1String("array"), Tag::array},     {QLatin1String("key"), Tag::key},
        {QLatin1String("string"), Tag::string},   {QLatin1String("integer"), Tag::integer},
        {QLatin1String("real"), Tag::real},       {QLatin1String("true"), Tag::yes},
        {QLatin1String("false"), Tag::no},        {QLatin1String("data"), Tag::data},
        {QLatin1String("date"), Tag::date}};
    for (const auto& [text, tag] : tags)
        if (name == text)
            return tag;
    return Tag::unknown;
}

locale_t cLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return c;
}

// Numbers as libplist reads them: a sign of its own, then strtoull in any
// base C knows (0x10 is 16, 010 is 8) with the sign applied modulo 2^64; a
// real is whatever strtod makes of the text.
qint64 integerOf(const QByteArray& text) {
    const char* s = text.constData();
    const bool negative = *s == '-';
    if (*s == '-' || *s == '+')
        ++s;
    const quint64 magnitude = strtoull_l(s, nullptr, 0, cLocale());
    return qint64(negative ? 0 - magnitude : magnitude);
}

double realOf(const QByteArray& text) {
    return strtod_l(text.constData(), nullptr, cLocale());
}

// Base64 as libplist decodes it: characters outside the alphabet are
// skipped, '=' fills a place in a group of four and stands for no bits, and
// a group left incomplete at the end is dropped.
QByteArray base64Of(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size() / 4 * 3 + 3);
    int group[4];
    int n = 0;
    for (const char c : text) {
        int v = -1;
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            v = c - '0' + 52;
        else if (c == '+' || c == '/')
            v = c == '+' ? 62 : 63;
        else if (c == '=')
            v = -2;
        else
            continue;
        group[n++] = v;
        if (n < 4)
            continue;
        n = 0;
        if (group[0] >= 0 && group[1] >= 0)
            out.append(char(((group[0] << 2) | (group[1] >> 4)) & 0xFF));
        if (group[1] >= 0 && group[2] >= 0)
            out.append(char(((group[1] << 4) | (group[2] >> 2)) & 0xFF));
        if (group[2] >= 0 && group[3] >= 0)
            out.append(char(((group[2] << 6) | group[3]) & 0xFF));
    }
    return out;
}

// A date as libplist reads it: between 11 and 31 characters go through
// strptime field by field (what it parsed before a mismatch stands, the rest
// stays zero) and are counted in UTC; any other length is 1970-01-01.
double dateOf(const QByteArray& text) {
    if (text.size() < 11 || text.size() >= 32)
        return -kEpoch2001;
    struct tm fields {};
    strptime(text.constData(), "%Y-%m-%dT%H:%M:%SZ", &fields);
    fields.tm_isdst = 0;
    return double(timegm(&fields)) - kEpoch2001;
}

// Text as written, its references replaced; false for one XML does not
// define (the XML reader has already refused malformed ones).
bool appendUnescaped(QByteArray& out, const char* p, const char* end) {
    while (p < end) {
        const char* amp = static_cast<const char*>(std::memchr(p, '&', size_t(end - p)));
        if (!amp) {
            out.append(p, end - p);
            return true;
        }
        out.append(p, amp - p);
        const char* semi = static_cast<const char*>(std::memchr(amp, ';', size_t(end - amp)));
        if (!semi)
            return false;
        const QByteArray name(amp + 1, semi - amp - 1);
        static const std::pair<const char*, char> named[] = {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        bool known = false;
        for (const auto& [text, c] : named) {
            if (name == text) {
                out.append(c);
                known = true;
            }
        }
        if (!known) {
            bool ok = false;
            const uint code = name.startsWith("#x") ? name.mid(2).toUInt(&ok, 16)
                              : name.startsWith('#') ? name.mid(1).toUInt(&ok, 10)
                                                     : 0;
            if (!ok || code == 0 || code > 0x10FFFF)
                return false;
            // The XML reader has refused references to surrogates and other non-characters.
            out.append(QStringView(QChar::fromUcs4(char32_t(code))).toUtf8());
        }
        p = semi + 1;
    }
    return true;
}

PlistError unreadable(const QString& why) {
    return PlistError{PlistError::Kind::unreadable, "xml: " + why};
}

// An open <plist>, <array> or <dict>.
struct Container {
    Tag tag = Tag::unknown;
    PlistValue::Array items;         // an array's elements, or the one value of <plist>
    PlistValue::Dictionary entries;  // a dictionary's, in the order first written
    QHash<QByteArray, qsizetype> positions;  // each key's entry, by its bytes as libplist compares them
    std::optional<std::pair<QByteArray, QString>> key;  // a key waiting for its value
};

// An open element holding text.
struct Text {
    Tag tag = Tag::unknown;
    bool empty = false;    // written <x/>
    bool started = false;  // something came after the start tag
    QByteArray bytes;      // unescaped for keys and strings, as written otherwise
};

// One pass over the list. QXmlStreamReader says what comes next and vouches
// that it is well-formed; where each piece lies in the bytes is found here,
// and values are read from those bytes.
class Reader {
public:
    Reader(const QByteArray& bytes, quint64 nodeCap) : bytes_(bytes), nodeCap_(nodeCap) {}

    Result<PlistValue, PlistError> read() {
        xml_.setNamespaceProcessing(false);
        // libplist skips space before the declaration; XML allows none.
        skipTopSpace();
        base_ = fed_ = at_;
        feed();
        for (;;) {
            const auto token = xml_.readNext();
            if (xml_.error() == QXmlStreamReader::PrematureEndOfDocumentError && fed_ < bytes_.size()) {
                if (pendingMarkupTooLong())
                    return fail(unreadable("markup too long"));
                feed();
                continue;
            }
            if (xml_.hasError())
                return fail(unreadable(xml_.errorString()));
            const qsizetype seen = base_ + qsizetype(xml_.characterOffset());
            if (auto refused = take(token, seen))
                return fail(*refused);
            if (!inStep(seen))
                return fail(unreadable("markup read out of step"));
            if (token == QXmlStreamReader::EndDocument)
                break;
        }
        if (!root_)
            return fail(unreadable("no value"));
        return std::move(*root_);
    }

private:
    // The XML reader starts a piece over when it runs out of bytes inside
    // it; a long comment or CDATA section gets as much again each time.
    void feed() {
        const qsizetype n = std::min(std::max(kChunk, fed_ - at_), bytes_.size() - fed_);
        xml_.addData(QString::fromLatin1(bytes_.constData() + fed_, n));
        fed_ += n;
    }

    bool startsWith(qsizetype at, const char* text) const {
        return at <= bytes_.size() && QByteArrayView(bytes_).sliced(at).startsWith(text);
    }

    // Between elements at the top level the XML reader reports no space.
    void skipTopSpace() {
        if (open_ > 0)
            return;
        while (at_ < bytes_.size() && isSpace(bytes_[at_]))
            ++at_;
    }

    bool pendingMarkupTooLong() {
        skipTopSpace();
        return at_ < fed_ && bytes_[at_] == '<' && !startsWith(at_, "<!--") && !startsWith(at_, "<![CDATA[") &&
               fed_ - at_ > kLongestMarkup;
    }

    // The XML reader has read up to `seen`: at most space and the first
    // characters of the next markup ("<?xml-" at most) past where this reader
    // stands.
    bool inStep(qsizetype seen) const {
        qsizetype i = at_;
        while (i < seen && isSpace(bytes_[i]))
            ++i;
        return at_ <= seen && seen - i <= 6 && (i == seen || bytes_[i] == '<');
    }

    // The end of markup opened at at_ with `open` and closed by the first
    // `close` after it, or -1.
    qsizetype markupEnd(const char* open, const char* close) {
        skipTopSpace();
        if (!startsWith(at_, open))
            return -1;
        const qsizetype found = bytes_.indexOf(close, at_ + qsizetype(std::strlen(open)));
        return found < 0 ? -1 : found + qsizetype(std::strlen(close));
    }

    // libplist skips over double-quoted text when it looks for the end of a
    // declaration, an instruction or a tag; an odd count means it ends
    // elsewhere.
    bool quotesPaired(qsizetype end) const {
        return QByteArrayView(bytes_).sliced(at_, end - at_).count('"') % 2 == 0;
    }

    std::optional<PlistError> take(QXmlStreamReader::TokenType token, qsizetype seen) {
        switch (token) {
            case QXmlStreamReader::StartDocument:
                return declaration();
            case QXmlStreamReader::DTD:
                return doctype();
            case QXmlStreamReader::Comment:
                return comment();
            case QXmlStreamReader::ProcessingInstruction:
                return instruction();
            case QXmlStreamReader::StartElement:
                return startElement();
            case QXmlStreamReader::EndElement:
                return endElement();
            case QXmlStreamReader::Characters:
                return xml_.isCDATA() ? cdata() : characters(seen);
            case QXmlStreamReader::EndDocument:
                return std::nullopt;
            default:
                return unreadable("entity reference");
        }
    }

    std::optional<PlistError> declaration() {
        const qsizetype after = at_ + 5;
        if (!startsWith(at_, "<?xml") || after >= bytes_.size() || !(isSpace(bytes_[after]) || bytes_[after] == '?'))
            return std::nullopt;  // none written
        const qsizetype end = markupEnd("<?xml", "?>");
        if (end < 0 || !quotesPaired(end))
            return unreadable("declaration");
        at_ = end;
        return std::nullopt;
    }

    // Only an external one before the first element: an internal subset
    // could declare entities.
    // libplist skips double-quoted text only, so single-quoted text must hold
    // nothing it would stop at.
    std::optional<PlistError> doctype() {
        skipTopSpace();
        // QXmlStreamReader takes any number anywhere, even inside text.
        if (elements_ > 0 || doctype_ || !startsWith(at_, "<!DOCTYPE"))
            return unreadable("DOCTYPE after the first element, or a second one");
        doctype_ = true;
        char quote = 0;
        for (qsizetype i = at_ + 9; i < bytes_.size(); ++i) {
            const char c = bytes_[i];
            if (quote == '\'' && (c == '"' || c == '>' || c == '['))
                return unreadable("DOCTYPE libplist would end elsewhere");
            if (quote ? c == quote : (c == '"' || c == '\''))
                quote = quote ? 0 : c;
            else if (c == '[' && !quote)
                return unreadable("DOCTYPE with an internal subset");
            else if (c == '>' && !quote) {
                at_ = i + 1;
                return std::nullopt;
            }
        }
        return unreadable("DOCTYPE");
    }

    std::optional<PlistError> comment() {
        const qsizetype end = markupEnd("<!--", "-->");
        if (end < 0)
            return unreadable("comment");
        if (text_ && (text_->tag == Tag::data || text_->tag == Tag::date))
            return unreadable("comment inside <data> or <date>");
        if (text_)
            text_->started = true;
        at_ = end;
        return std::nullopt;
    }

    std::optional<PlistError> instruction() {
        const qsizetype end = markupEnd("<?", "?>");
        if (end < 0 || !quotesPaired(end) || text_)
            return unreadable("processing instruction");
        at_ = end;
        return std::nullopt;
    }

    std::optional<PlistError> cdata() {
        const qsizetype end = markupEnd("<![CDATA[", "]]>");
        if (end < 0 || !text_ || text_->tag == Tag::data || text_->tag == Tag::date)
            return unreadable("CDATA section between elements or inside <data> or <date>");
        text_->started = true;
        text_->bytes.append(bytes_.constData() + at_ + 9, end - at_ - 12);
        at_ = end;
        return std::nullopt;
    }

    // Text runs to the next markup, whose '<' the XML reader may have read.
    std::optional<PlistError> characters(qsizetype seen) {
        qsizetype end = seen;
        if (end > at_ && bytes_[end - 1] == '<')
            --end;
        const char* p = bytes_.constData() + at_;
        const char* const stop = bytes_.constData() + end;
        if (end < at_ || std::memchr(p, '<', size_t(end - at_)))
            return unreadable("text read out of step");
        at_ = end;
        if (!text_) {
            for (; p < stop; ++p)
                if (!isSpace(*p))
                    return unreadable("text between elements");
            return std::nullopt;
        }
        const bool isText = text_->tag == Tag::key || text_->tag == Tag::string;
        // libplist skips space right after the start tag of anything but text.
        if (!text_->started && !isText)
            while (p < stop && isSpace(*p))
                ++p;
        text_->started = true;
        if (isText)
            return appendUnescaped(text_->bytes, p, stop) ? std::nullopt
                                                          : std::optional(unreadable("entity reference"));
        if (text_->tag != Tag::yes && text_->tag != Tag::no)
            text_->bytes.append(p, stop - p);
        return std::nullopt;
    }

    std::optional<PlistError> startElement() {
        skipTopSpace();
        // The tag ends at its first '>' outside quotes of either kind; libplist
        // ends it at the first '<' or '>' outside double quotes.
        qsizetype end = -1;
        char quote = 0;
        for (qsizetype i = at_ + 1; i < bytes_.size() && end < 0; ++i) {
            const char c = bytes_[i];
            if (quote ? c == quote : (c == '"' || c == '\''))
                quote = quote ? 0 : c;
            else if (c == '>' && !quote)
                end = i + 1;
        }
        if (bytes_.at(at_) != '<' || end < 0)
            return unreadable("tag");
        for (qsizetype i = at_ + 1, inQuote = 0; i < end; ++i) {
            if (bytes_[i] == '"')
                inQuote = !inQuote;
            else if (!inQuote && (bytes_[i] == '<' || bytes_[i] == '>') && i != end - 1)
                return unreadable("tag libplist would end elsewhere");
        }
        const bool empty = bytes_[end - 2] == '/';
        at_ = end;
        const Tag tag = tagNamed(xml_.qualifiedName());
        if (tag == Tag::unknown || text_)
            return unreadable("element <" + xml_.qualifiedName().toString() + "> where no such element belongs");
        if (tag != Tag::plist && !xml_.attributes().isEmpty())
            return unreadable("attributes on <" + xml_.qualifiedName().toString() + ">");
        const bool document = elements_++ == 0;
        ++open_;
        emptyOpen_ = empty;
        Container* top = containers_.empty() ? nullptr : &containers_.back();
        if (tag == Tag::plist) {
            if (!document || empty)
                return unreadable("<plist> inside a value, or empty");
            containers_.emplace_back().tag = Tag::plist;
            return std::nullopt;
        }
        if (tag == Tag::key ? !top || top->tag != Tag::dict || top->key
                            : top && ((top->tag == Tag::dict && !top->key) ||
                                      (top->tag == Tag::plist && !top->items.empty())))
            return unreadable(tag == Tag::key ? "key outside a dictionary or without a value"
                                              : "value without a key, or a second value in <plist>");
        if (++values_ > nodeCap_)
            return PlistError{PlistError::Kind::tooLarge, QString("more than %1 values").arg(nodeCap_)};
        if (tag == Tag::dict || tag == Tag::array) {
            if (depth_ == Plist::maxDepth)
                return PlistError{PlistError::Kind::tooDeep, {}};
            ++depth_;
            containers_.emplace_back().tag = tag;
            return std::nullopt;
        }
        text_.emplace();
        text_->tag = tag;
        text_->empty = empty;
        return std::nullopt;
    }

    std::optional<PlistError> endElement() {
        --open_;
        if (emptyOpen_) {
            emptyOpen_ = false;  // <x/> ends where it starts
        } else {
            const qsizetype end = markupEnd("</", ">");
            if (end < 0)
                return unreadable("end tag");
            at_ = end;
        }
        if (text_) {
            Text text = std::move(*text_);
            text_.reset();
            if (text.tag == Tag::key) {
                containers_.back().key = std::make_pair(text.bytes, keyText(text.bytes));
                return std::nullopt;
            }
            return deliver(scalar(text));
        }
        Container done = std::move(containers_.back());
        containers_.pop_back();
        switch (done.tag) {
            case Tag::plist:
                if (done.items.empty())
                    return unreadable("empty <plist>");
                root_ = std::move(done.items.front());
                return std::nullopt;
            case Tag::array:
                --depth_;
                return deliver(PlistValue(std::move(done.items)));
            default:
                --depth_;
                if (done.key)
                    return unreadable("key without a value");
                // The XML form of a keyed-archive reference.
                if (done.entries.size() == 1 && done.entries[0].key == QLatin1String("CF$UID")) {
                    if (const auto index = done.entries[0].value.integer(); index && *index >= 0)
                        return deliver(PlistValue(PlistUid{quint64(*index)}));
                }
                return deliver(PlistValue(std::move(done.entries)));
        }
    }

    static PlistValue scalar(const Text& text) {
        switch (text.tag) {
            case Tag::integer:
                return PlistValue(text.empty ? 0 : integerOf(text.bytes));
            case Tag::real:
                return PlistValue(text.empty ? 0.0 : realOf(text.bytes));
            case Tag::yes:
            case Tag::no:
                return PlistValue(text.tag == Tag::yes);
            case Tag::data:
                return PlistValue(base64Of(text.bytes));
            case Tag::date:
                // libplist leaves <date/> at 2001 and an empty <date></date> at 1970.
                return PlistValue(PlistDate{text.empty ? 0.0 : dateOf(text.bytes)});
            default:
                return PlistValue(plistText(text.bytes));
        }
    }

    // Keys repeat throughout a list (every archived object has "$class");
    // one shared QString per distinct key saves an allocation per entry.
    QString keyText(const QByteArray& bytes) {
        if (auto it = keys_.constFind(bytes); it != keys_.constEnd())
            return *it;
        QString key = plistText(bytes);
        if (keys_.size() < 4096)
            keys_.insert(bytes, key);
        return key;
    }

    // A finished value into the container it stands in. A key written twice
    // keeps its first place and takes the later value, as in libplist.
    std::optional<PlistError> deliver(PlistValue value) {
        if (containers_.empty()) {
            root_ = std::move(value);
            return std::nullopt;
        }
        Container& top = containers_.back();
        if (top.tag != Tag::dict) {
            top.items.push_back(std::move(value));
            return std::nullopt;
        }
        auto [bytes, text] = std::move(*top.key);
        top.key.reset();
        if (const auto at = top.positions.constFind(bytes); at != top.positions.constEnd()) {
            top.entries[size_t(*at)].value = std::move(value);
        } else {
            top.positions.insert(bytes, qsizetype(top.entries.size()));
            top.entries.push_back(PlistEntry{std::move(text), std::move(value)});
        }
        return std::nullopt;
    }

    const QByteArray& bytes_;
    const quint64 nodeCap_;
    QXmlStreamReader xml_;
    qsizetype at_ = 0;    // where the next piece starts in the bytes
    qsizetype base_ = 0;  // where the XML reader's first character is
    qsizetype fed_ = 0;   // how much of the bytes the XML reader has
    int open_ = 0;        // open elements
    int elements_ = 0;    // elements begun
    bool doctype_ = false;
    int depth_ = 0;       // open dictionaries and arrays
    bool emptyOpen_ = false;
    quint64 values_ = 0;
    std::vector<Container> containers_;
    std::optional<Text> text_;
    std::optional<PlistValue> root_;
    QHash<QByteArray, QString> keys_;
};

}  // namespace

Result<PlistValue, PlistError> PlistXml::read(const QByteArray& bytes, quint64 nodeCap) {
    return Reader(bytes, nodeCap).read();
}

}  // namespace rk
