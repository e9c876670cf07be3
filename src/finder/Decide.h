#pragma once
// The rule engine: which rows of a System Settings page to remove, keep or
// look at. Cautious by design: a row is marked red only when every record
// behind its name is gone and the rows agree in number with the gone records,
// or when the photo's icons single out exactly the old copies. Stateless.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "finder/Candidate.h"
#include "finder/Decision.h"

namespace rk {

struct Decide {
    // `rows` none: the page was not read; an empty list: read, and it showed
    // no rows. `offscreen`: titles of rows that exist but are not fully in view.
    static Decision page(const QList<Candidate>& candidates, const std::optional<QList<PaneRow>>& rows,
                         const QStringList& offscreen = {});

    // "Turn off" for background switches, "Remove" otherwise.
    static QString actionWord(std::optional<PaneSection> section);

    // The sentence of a remove finding, built from the first of `copies`.
    // `name` does not change the sentence. An empty list gives empty text.
    static QString removeWhat(const QString& name, const QList<Candidate>& copies);

    // Three runs of decimal digits joined by two dots, such as 2.1.300.
    static bool isVersion(const QString& text);
};

}  // namespace rk
