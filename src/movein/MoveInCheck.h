#pragma once
// "--move-in-check [FILE]": judges every row of a Move-In checklist on this
// Mac without the window and prints one line per row and a summary. The
// process entry wires the flag and exits with the status returned here.

#include <QString>
#include <QTextStream>
#include <optional>

#include "movein/MoveIn.h"

namespace rk {

struct MoveInCheck {
    static constexpr int rowsStatus = 0;
    static constexpr int noRowsStatus = 2;

    // Reads `file` (or MoveIn::listURL() when none is given) and reports on
    // standard output. Returns 0 when the list has rows, whatever they
    // show, and 2 after one "NOT MEASURED: " line when it has none, which
    // says whether the file is missing, broken or a list without rows.
    static int run(const std::optional<QString>& file = std::nullopt);
    static int run(const QString& path, QTextStream& out, const SystemPaths& paths = SystemPaths::current(),
                   const QString& marksPath = MoveIn::marksURL());

    // "GREEN", "OPENED", "FIX" or "CANNOT CHECK".
    static QString word(const MoveIn::State& state);
    // The status's text as the report shows it.
    static QString statusText(const KTReconnectStatus& status);
    // One row's line: word padded to 12, " [kind] title: text  ->  button".
    static QString line(const QString& word, const QString& kind, const QString& title, const QString& text,
                        const QString& button);
};

}  // namespace rk
