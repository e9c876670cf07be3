#pragma once
// One stored record that may be a leftover: the names its row may carry on a
// System Settings page, whether its program is still there, and the words
// that describe it. The decision rules work on these, never on raw records.

#include <QHashFunctions>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>
#include <string>

#include "finder/Presence.h"

namespace rk {

struct Candidate {
    QString key;        // the record's identity, unique among one page's candidates
    QStringList names;  // titles the row may show, most telling first; may be empty
    Liveness liveness;
    std::optional<QString> testWhy;  // why the name looks like a test build
    QString kindWord;                // "app", "program" or "background job"
    QString detail;                  // one sentence saying what the record is

    // The first name, or the key when there are none.
    QString primaryName() const;

    // Lower case, letters and numbers only: "Tool-Box 2.app" gives "toolbox2app".
    // Canonically equivalent texts give the same form.
    static QString normalize(const QString& text);
    // The same form written into `out`, whose storage is reused: matching a
    // whole page normalises every name, and plain names then allocate nothing.
    static void normalizeInto(QStringView text, std::u16string& out);

    // A name equal to the title, or, when the title keeps some letters or
    // numbers, a name with the same normalised form. A title of only marks
    // and spaces matches only exactly.
    bool matches(const QString& title) const;

    friend bool operator==(const Candidate& a, const Candidate& b);
};

size_t qHash(const Candidate& candidate, size_t seed = 0);

}  // namespace rk
