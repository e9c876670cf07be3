// Sentences are built with QStringBuilder: one allocation per sentence.
#define QT_USE_QSTRINGBUILDER

#include "finder/Decide.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Text.h"

namespace rk {

namespace {

const QString kRemoveLabel = QStringLiteral("Remove this");
const QString kTurnOffLabel = QStringLiteral("Turn this off");
const QString kKeepLabel = QStringLiteral("KEEP THIS ROW");

bool isGone(const Candidate& c) {
    return c.liveness.isGone();
}
bool isLive(const Candidate& c) {
    return c.liveness.kind() == Liveness::Kind::live;
}

QString evidenceLine(const Candidate& c) {
    return c.key + QStringLiteral(": ") + c.liveness.evidence();
}

QString plural(qsizetype n) {
    return n == 1 ? QString() : QStringLiteral("s");
}

// Text order: Unicode scalar values of the NFC form, which is the byte order
// of its UTF-8. Sorting compares these keys, computed once per text, instead
// of calling Text::compare (which normalises both sides on every call).
QByteArray orderKey(const QString& nfcText) {
    return nfcText.toUtf8();
}

bool keyLess(const QByteArray& a, const QByteArray& b) {
    const auto n = std::min(a.size(), b.size());
    if (const int c = std::memcmp(a.constData(), b.constData(), size_t(n)); c != 0)
        return c < 0;
    return a.size() < b.size();
}

// Canonically equal texts, kept once (first form seen), in text order. Each
// group holds the positions of its members in the input.
struct TextGroup {
    QString text;
    QByteArray key;
    QList<qsizetype> members;
};

QList<TextGroup> groupInTextOrder(const QStringList& texts) {
    QList<TextGroup> groups;
    QHash<QString, qsizetype> byForm;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QString form = Text::nfc(texts[i]);
        auto found = byForm.constFind(form);
        if (found == byForm.constEnd()) {
            found = byForm.insert(form, groups.size());
            groups.append(TextGroup{texts[i], orderKey(form), {}});
        }
        groups[*found].members.append(i);
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const TextGroup& a, const TextGroup& b) { return keyLess(a.key, b.key); });
    return groups;
}

// Answers `Candidate::matches` for every title of a page in one pass over
// the candidates' names, so each name is normalised once and the cost grows
// with names plus titles, not with their product. When a title keeps letters
// or numbers, an exact name match is also a normalised one, so the normalised
// table answers alone; a title without any matches only names equal to it.
class TitleMatches {
public:
    TitleMatches(const QList<Candidate>& candidates, const QList<qsizetype>& pool, const QStringList& titles)
        : matched_(titles.size()) {
        std::u16string form;
        for (qsizetype k = 0; k < titles.size(); ++k) {
            Candidate::normalizeInto(titles[k], form);
            if (form.empty())
                exact_[Text::nfc(titles[k])].append(k);
            else
                normal_[form].push_back(k);
        }
        for (qsizetype i : pool) {
            for (const QString& name : candidates[i].names) {
                Candidate::normalizeInto(name, form);
                if (!form.empty()) {
                    if (const auto it = normal_.find(std::u16string_view(form)); it != normal_.end())
                        add(it->second, i);
                } else if (const auto it = exact_.constFind(Text::nfc(name)); it != exact_.constEnd()) {
                    add(*it, i);
                }
            }
        }
    }

    // Positions of the candidates that match title k, in input order, each once.
    const QList<qsizetype>& of(qsizetype k) const { return matched_[k]; }

private:
    template <typename Titles>
    void add(const Titles& titles, qsizetype i) {
        for (qsizetype k : titles) {
            if (matched_[k].isEmpty() || matched_[k].last() != i)
                matched_[k].append(i);
        }
    }

    struct FormHash {
        using is_transparent = void;
        size_t operator()(std::u16string_view v) const { return std::hash<std::u16string_view>{}(v); }
    };
    std::unordered_map<std::u16string, std::vector<qsizetype>, FormHash, std::equal_to<>> normal_;
    QHash<QString, QList<qsizetype>> exact_;
    QList<QList<qsizetype>> matched_;
};

struct Page {
    const QList<Candidate>& candidates;
    QList<qsizetype> gone;    // positions, in input order
    QList<qsizetype> live;    // positions, in input order
    QList<qsizetype> either;  // gone or live; the others never act
    Decision decision;
    QSet<QString> accounted;  // composed keys a row or a finding already covers
    QSet<QString> removing;   // composed keys of the remove findings so far
    QList<bool> onRow;        // per candidate: some row's title matches it

    explicit Page(const QList<Candidate>& cs) : candidates(cs), onRow(cs.size(), false) {
        for (qsizetype i = 0; i < cs.size(); ++i) {
            if (isGone(cs[i]))
                gone.append(i);
            if (isLive(cs[i]))
                live.append(i);
            if (isGone(cs[i]) || isLive(cs[i]))
                either.append(i);
        }
    }

    QList<Candidate> pick(const QList<qsizetype>& positions) const {
        QList<Candidate> out;
        out.reserve(positions.size());
        for (qsizetype i : positions)
            out.append(candidates[i]);
        return out;
    }

    bool isAccounted(const Candidate& c) const { return accounted.contains(Text::nfc(c.key)); }
    void account(const QList<Candidate>& cs) {
        for (const Candidate& c : cs)
            accounted.insert(Text::nfc(c.key));
    }
    // A record with a remove finding under another name stays accounted.
    void unaccount(const QList<Candidate>& cs) {
        for (const Candidate& c : cs) {
            if (!removing.contains(Text::nfc(c.key)))
                accounted.remove(Text::nfc(c.key));
        }
    }
    void remove(Finding finding) {
        for (const QString& key : finding.keys)
            removing.insert(Text::nfc(key));
        decision.findings.append(std::move(finding));
    }
};

QStringList evidenceLines(const QList<Candidate>& cs) {
    QStringList lines;
    lines.reserve(cs.size());
    for (const Candidate& c : cs)
        lines.append(evidenceLine(c));
    return lines;
}

QStringList keysOf(const QList<Candidate>& cs) {
    QStringList keys;
    keys.reserve(cs.size());
    for (const Candidate& c : cs)
        keys.append(c.key);
    return keys;
}

Finding removeFinding(const QString& name, std::optional<PaneSection> section, const QList<Candidate>& g,
                      const QString& what, std::optional<QString> tell, QStringList evidence) {
    return Finding{QStringLiteral("r:") + name,
                   Finding::Verdict::remove,
                   name,
                   section,
                   int(g.size()),
                   what,
                   std::move(tell),
                   std::move(evidence),
                   keysOf(g)};
}

// The page was not read: one remove finding per name of gone records.
Decision unreadPage(const Page& page) {
    const QList<Candidate> gone = page.pick(page.gone);
    QStringList names;
    names.reserve(gone.size());
    for (const Candidate& c : gone)
        names.append(c.primaryName());
    Decision decision;
    for (const TextGroup& group : groupInTextOrder(names)) {
        QList<Candidate> g;
        for (qsizetype i : group.members)
            g.append(gone[i]);
        decision.findings.append(removeFinding(group.text, std::nullopt, g, Decide::removeWhat(group.text, g),
                                               std::nullopt, evidenceLines(g)));
    }
    return decision;
}

QString lookSentence(qsizetype goneCount, qsizetype rowCount) {
    return QString::number(goneCount) + QStringLiteral(" record") + plural(goneCount) +
           QStringLiteral(" behind this name ") +
           (goneCount == 1 ? QStringLiteral("is") : QStringLiteral("are")) +
           QStringLiteral(" gone, but the screen shows ") + QString::number(rowCount) +
           QStringLiteral(" row") + plural(rowCount) + QStringLiteral(". Worth a look; nothing is marked.");
}

QString installedSentence(const QString& title, qsizetype liveCount) {
    if (liveCount == 1)
        return QStringLiteral("This ") + title + QStringLiteral(" is the one installed now. Leave it.");
    return QStringLiteral("These ") + QString::number(liveCount) + QStringLiteral(" ") + title +
           QStringLiteral(" rows are installed now. Leave them.");
}

QString tellSentence(const QString& title, PaneSection section) {
    const QString lead = Decide::actionWord(section) == QStringLiteral("Turn off")
                             ? QStringLiteral("Turn off the switch on")
                             : QStringLiteral("Remove");
    return lead + QStringLiteral(" the ") + title +
           QStringLiteral(" row with the blank white icon. Leave every ") + title +
           QStringLiteral(" row that shows a real icon.");
}

Finding realIconKeep(const QString& title, PaneSection section, const QList<Candidate>& l) {
    return Finding{QStringLiteral("k:") + title,
                   Finding::Verdict::keep,
                   title,
                   section,
                   int(l.size()),
                   QStringLiteral("The ") + title +
                       QStringLiteral(" with a real icon is still installed and in use. Leave it."),
                   std::nullopt,
                   evidenceLines(l),
                   {}};
}

QString mixedLookSentence(const QString& title, qsizetype rowCount, bool photographed, qsizetype goneCount) {
    if (rowCount == 1) {
        return QStringLiteral("This ") + title +
               QStringLiteral(
                   " row could be the old copy or the current one, and nothing on the page says which. "
                   "Worth a look; nothing is marked.");
    }
    if (photographed) {
        return QStringLiteral("Several rows are named ") + title +
               QStringLiteral(" and the icons do not single out the old one") + plural(goneCount) +
               QStringLiteral(". Worth a look; nothing is marked.");
    }
    return QStringLiteral("Several rows are named ") + title +
           QStringLiteral(
               "; one or more are old. Turn on the photo (Screen Recording) and I can point at the exact "
               "row.");
}

// Rows of one name that mix old and current copies.
void decideMixedTitle(Page& page, const QString& title, const QList<PaneRow>& r, const QList<Candidate>& g,
                      const QList<Candidate>& l, const QStringList& evidence, const QString& label) {
    const PaneSection section = r.first().section;
    const QString tell = tellSentence(title, section);
    const bool photographed =
        std::all_of(r.begin(), r.end(), [](const PaneRow& row) { return row.iconBlank.has_value(); });
    QList<PaneRow> blank;
    for (const PaneRow& row : r) {
        if (row.iconBlank == true)
            blank.append(row);
    }
    if (photographed && blank.size() == g.size() && r.size() == g.size() + l.size()) {
        page.remove(removeFinding(title, section, g, Decide::removeWhat(title, g), tell, evidence));
        for (const PaneRow& row : blank)
            page.decision.marks.append(Mark{Mark::Kind::remove, row, label});
        for (const PaneRow& row : r) {
            if (row.iconBlank == false)
                page.decision.marks.append(Mark{Mark::Kind::keep, row, kKeepLabel});
        }
        page.decision.findings.append(realIconKeep(title, section, l));
        return;
    }
    page.decision.findings.append(Finding{QStringLiteral("l:") + title,
                                          Finding::Verdict::look,
                                          title,
                                          section,
                                          int(r.size()),
                                          mixedLookSentence(title, r.size(), photographed, g.size()),
                                          tell,
                                          evidence,
                                          {}});
    const bool someNotBlank =
        std::any_of(r.begin(), r.end(), [](const PaneRow& row) { return row.iconBlank != true; });
    if (someNotBlank)
        page.decision.findings.append(realIconKeep(title, section, l));
}

void decideTitle(Page& page, const QList<qsizetype>& matched, const QString& title, QList<PaneRow> r) {
    for (qsizetype i : matched)
        page.onRow[i] = true;
    QList<qsizetype> goneAt, liveAt;
    for (qsizetype i : matched)
        (isGone(page.candidates[i]) ? goneAt : liveAt).append(i);
    if (goneAt.isEmpty())
        return;
    std::stable_sort(r.begin(), r.end(),
                     [](const PaneRow& a, const PaneRow& b) { return a.index < b.index; });
    const QList<Candidate> g = page.pick(goneAt);
    const QList<Candidate> l = page.pick(liveAt);

    page.account(g);
    const PaneSection section = r.first().section;
    const QStringList evidence = evidenceLines(g) + evidenceLines(l);
    const QString label = section == PaneSection::background ? kTurnOffLabel : kRemoveLabel;

    if (l.isEmpty()) {
        if (r.size() == g.size()) {
            page.remove(
                removeFinding(title, section, g, Decide::removeWhat(title, g), std::nullopt, evidence));
            for (const PaneRow& row : r)
                page.decision.marks.append(Mark{Mark::Kind::remove, row, label});
        } else {
            page.decision.findings.append(Finding{QStringLiteral("l:") + title,
                                                  Finding::Verdict::look,
                                                  title,
                                                  section,
                                                  int(r.size()),
                                                  lookSentence(g.size(), r.size()),
                                                  std::nullopt,
                                                  evidence,
                                                  {}});
        }
        return;
    }
    const bool anyBlank =
        std::any_of(r.begin(), r.end(), [](const PaneRow& row) { return row.iconBlank == true; });
    if (r.size() == l.size() && !anyBlank) {
        // The rows are the installed programs; the gone records have no row here.
        page.unaccount(g);
        page.decision.findings.append(Finding{QStringLiteral("k:") + title,
                                              Finding::Verdict::keep,
                                              title,
                                              section,
                                              int(l.size()),
                                              installedSentence(title, l.size()),
                                              std::nullopt,
                                              evidenceLines(l),
                                              {}});
        return;
    }
    decideMixedTitle(page, title, r, g, l, evidence, label);
}

// The distinct titles of the rows and of the rows further down, in text
// order, with the candidates each one matches.
struct Titles {
    QList<TextGroup> rows;
    QList<TextGroup> offscreen;
    QList<qsizetype> groupOfRow;  // per row: its group in `rows`
    TitleMatches matches;         // row groups first, then off-screen groups

    Titles(const Page& page, const QList<PaneRow>& pageRows, const QStringList& offscreenTitles)
        : rows(groupInTextOrder(titlesOf(pageRows))),
          offscreen(groupInTextOrder(offscreenTitles)),
          groupOfRow(pageRows.size()),
          matches(page.candidates, page.either, textsOf(rows) + textsOf(offscreen)) {
        for (qsizetype k = 0; k < rows.size(); ++k) {
            for (qsizetype i : rows[k].members)
                groupOfRow[i] = k;
        }
    }
    const QList<qsizetype>& ofRow(qsizetype row) const { return matches.of(groupOfRow[row]); }
    const QList<qsizetype>& ofOffscreen(qsizetype k) const { return matches.of(rows.size() + k); }

    static QStringList titlesOf(const QList<PaneRow>& rows) {
        QStringList out;
        out.reserve(rows.size());
        for (const PaneRow& row : rows)
            out.append(row.title);
        return out;
    }
    static QStringList textsOf(const QList<TextGroup>& groups) {
        QStringList out;
        out.reserve(groups.size());
        for (const TextGroup& g : groups)
            out.append(g.text);
        return out;
    }
};

void decideRows(Page& page, const Titles& titles, const QList<PaneRow>& rows) {
    for (qsizetype k = 0; k < titles.rows.size(); ++k) {
        QList<PaneRow> r;
        for (qsizetype i : titles.rows[k].members)
            r.append(rows[i]);
        decideTitle(page, titles.matches.of(k), titles.rows[k].text, std::move(r));
    }
}

// Rows showing another version number of a program whose old version is to
// be removed: name them as keepers so the person does not remove the wrong one.
void keepOtherVersions(Page& page, const Titles& titles, const QList<PaneRow>& rows) {
    QSet<QString> removed;
    bool anyVersion = false;
    for (const Finding& f : page.decision.findings) {
        if (f.verdict != Finding::Verdict::remove)
            continue;
        removed.insert(Text::nfc(f.shown));
        anyVersion = anyVersion || Decide::isVersion(f.shown);
    }
    if (!anyVersion || rows.isEmpty())
        return;
    for (qsizetype at = 0; at < rows.size(); ++at) {
        const PaneRow& row = rows[at];
        if (!Decide::isVersion(row.title) || removed.contains(Text::nfc(row.title)))
            continue;
        const QList<qsizetype>& matched = titles.ofRow(at);
        const auto live = std::find_if(matched.begin(), matched.end(),
                                       [&](qsizetype i) { return isLive(page.candidates[i]); });
        if (live == matched.end())
            continue;
        page.decision.marks.append(Mark{Mark::Kind::keep, row, kKeepLabel});
        page.decision.findings.append(Finding{QStringLiteral("k:") + row.title,
                                              Finding::Verdict::keep,
                                              row.title,
                                              row.section,
                                              1,
                                              QStringLiteral("Version ") + row.title +
                                                  QStringLiteral(" is installed on this Mac now. Leave it."),
                                              std::nullopt,
                                              {},
                                              {}});
    }
}

void removeFurtherDown(Page& page, const Titles& titles) {
    for (qsizetype k = 0; k < titles.offscreen.size(); ++k) {
        const TextGroup& group = titles.offscreen[k];
        QList<Candidate> g;
        for (qsizetype i : titles.ofOffscreen(k)) {
            if (isGone(page.candidates[i]) && !page.isAccounted(page.candidates[i]))
                g.append(page.candidates[i]);
        }
        if (g.isEmpty())
            continue;
        page.account(g);
        page.decision.findings.append(
            removeFinding(group.text, std::nullopt, g,
                          Decide::removeWhat(group.text, g) +
                              QStringLiteral(" It is further down the list: scroll down in System Settings."),
                          std::nullopt, evidenceLines(g)));
    }
}

void reportHidden(Page& page) {
    for (qsizetype i : page.gone) {
        const Candidate& c = page.candidates[i];
        if (page.isAccounted(c))
            continue;
        page.decision.findings.append(Finding{
            QStringLiteral("h:") + c.key,
            Finding::Verdict::hidden,
            c.primaryName(),
            std::nullopt,
            1,
            QStringLiteral("macOS keeps a record of this but does not show it on the page, so there is "
                           "nothing to click. It is harmless."),
            std::nullopt,
            {evidenceLine(c)},
            {}});
    }
}

void reportTestBuilds(Page& page) {
    for (qsizetype i : page.live) {
        const Candidate& c = page.candidates[i];
        if (!c.testWhy)
            continue;
        if (!page.onRow[i])
            continue;
        page.decision.findings.append(
            Finding{QStringLiteral("t:") + c.key,
                    Finding::Verdict::look,
                    c.primaryName(),
                    std::nullopt,
                    1,
                    QStringLiteral("Looks like a test build (") + *c.testWhy +
                        QStringLiteral(
                            "), but it is still on this Mac. Remove it only if you know it is not needed."),
                    std::nullopt,
                    {evidenceLine(c)},
                    {}});
    }
}

}  // namespace

QString Decide::actionWord(std::optional<PaneSection> section) {
    return section == PaneSection::background ? QStringLiteral("Turn off") : QStringLiteral("Remove");
}

QString Decide::removeWhat(const QString&, const QList<Candidate>& copies) {
    if (copies.isEmpty())
        return {};
    const Candidate& first = copies.first();
    if (copies.size() == 1) {
        return QStringLiteral("An old ") + first.kindWord + QStringLiteral(": ") + first.liveness.evidence() +
               QStringLiteral(". Nothing uses it anymore.");
    }
    return QString::number(copies.size()) + QStringLiteral(" old copies of this ") + first.kindWord +
           QStringLiteral(": ") + first.liveness.evidence() + QStringLiteral(". Nothing uses them anymore.");
}

bool Decide::isVersion(const QString& text) {
    // \d is any decimal digit, as in ICU, not only 0-9.
    static const QRegularExpression version(QStringLiteral("^\\d+\\.\\d+\\.\\d+$"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    return version.match(text).hasMatch();
}

Decision Decide::page(const QList<Candidate>& candidates, const std::optional<QList<PaneRow>>& rows,
                      const QStringList& offscreen) {
    Page page(candidates);
    if (!rows)
        return unreadPage(page);
    const Titles titles(page, *rows, offscreen);
    decideRows(page, titles, *rows);
    keepOtherVersions(page, titles, *rows);
    removeFurtherDown(page, titles);
    reportHidden(page);
    reportTestBuilds(page);
    return std::move(page.decision);
}

}  // namespace rk
