#include "finder/Decision.h"

#include "platform/Text.h"

namespace rk {

namespace {

// Texts are equal when canonically equivalent.
bool sameText(const QString& a, const QString& b) {
    return Text::same(a, b);
}

bool sameText(const std::optional<QString>& a, const std::optional<QString>& b) {
    if (a.has_value() != b.has_value())
        return false;
    return !a || sameText(*a, *b);
}

bool sameTexts(const QStringList& a, const QStringList& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (!sameText(a[i], b[i]))
            return false;
    }
    return true;
}

// Hashes agree with `sameText`: canonically equivalent texts hash alike.
size_t hashText(const QString& text, size_t seed) {
    return ::qHash(Text::nfc(text), seed);
}

size_t hashTexts(const QStringList& texts, size_t seed) {
    size_t h = ::qHash(texts.size(), seed);
    for (const QString& t : texts)
        h = hashText(t, h);
    return h;
}

// An absent optional hashes differently from any present value.
template <typename T, typename F>
size_t hashOptional(const std::optional<T>& value, size_t seed, F hashValue) {
    return value ? hashValue(*value, ::qHash(1, seed)) : ::qHash(0, seed);
}

}  // namespace

QString rawValue(PaneSection section) {
    switch (section) {
        case PaneSection::accessibility:
            return QStringLiteral("accessibility");
        case PaneSection::openAtLogin:
            return QStringLiteral("openAtLogin");
        case PaneSection::background:
            return QStringLiteral("background");
    }
    return {};
}

std::optional<PaneSection> paneSectionFromRaw(const QString& raw) {
    for (PaneSection s : {PaneSection::accessibility, PaneSection::openAtLogin, PaneSection::background}) {
        if (raw == rawValue(s))
            return s;
    }
    return std::nullopt;
}

QString rawValue(Mark::Kind kind) {
    return kind == Mark::Kind::remove ? QStringLiteral("remove") : QStringLiteral("keep");
}

std::optional<Mark::Kind> Mark::kindFromRaw(const QString& raw) {
    for (Kind k : {Kind::remove, Kind::keep}) {
        if (raw == rawValue(k))
            return k;
    }
    return std::nullopt;
}

QString rawValue(Finding::Verdict verdict) {
    switch (verdict) {
        case Finding::Verdict::remove:
            return QStringLiteral("remove");
        case Finding::Verdict::keep:
            return QStringLiteral("keep");
        case Finding::Verdict::look:
            return QStringLiteral("look");
        case Finding::Verdict::hidden:
            return QStringLiteral("hidden");
    }
    return {};
}

std::optional<Finding::Verdict> Finding::verdictFromRaw(const QString& raw) {
    for (Verdict v : {Verdict::remove, Verdict::keep, Verdict::look, Verdict::hidden}) {
        if (raw == rawValue(v))
            return v;
    }
    return std::nullopt;
}

bool operator==(const PaneRow& a, const PaneRow& b) {
    return a.section == b.section && sameText(a.title, b.title) && a.frame == b.frame && a.index == b.index &&
           a.selectable == b.selectable && a.iconBlank == b.iconBlank;
}

bool operator==(const Mark& a, const Mark& b) {
    return a.kind == b.kind && a.row == b.row && sameText(a.label, b.label);
}

bool operator==(const Finding& a, const Finding& b) {
    return sameText(a.id, b.id) && a.verdict == b.verdict && sameText(a.shown, b.shown) &&
           a.section == b.section && a.count == b.count && sameText(a.what, b.what) &&
           sameText(a.tell, b.tell) && sameTexts(a.evidence, b.evidence) && sameTexts(a.keys, b.keys);
}

int Decision::removeCount() const {
    int total = 0;
    for (const Finding& f : findings) {
        if (f.verdict == Finding::Verdict::remove)
            total += f.count;
    }
    return total;
}

size_t qHash(const PaneRow& row, size_t seed) {
    size_t h = qHashMulti(seed, int(row.section), row.index, row.selectable);
    h = hashText(row.title, h);
    h = qHash(row.frame, h);
    return hashOptional(row.iconBlank, h, [](bool v, size_t s) { return ::qHash(v, s); });
}

size_t qHash(const Mark& mark, size_t seed) {
    size_t h = ::qHash(int(mark.kind), seed);
    h = qHash(mark.row, h);
    return hashText(mark.label, h);
}

size_t qHash(const Finding& finding, size_t seed) {
    size_t h = qHashMulti(seed, int(finding.verdict), finding.count);
    h = hashText(finding.id, h);
    h = hashText(finding.shown, h);
    h = hashOptional(finding.section, h, [](PaneSection s, size_t sd) { return ::qHash(int(s), sd); });
    h = hashText(finding.what, h);
    h = hashOptional(finding.tell, h, [](const QString& t, size_t sd) { return hashText(t, sd); });
    h = hashTexts(finding.evidence, h);
    return hashTexts(finding.keys, h);
}

}  // namespace rk
