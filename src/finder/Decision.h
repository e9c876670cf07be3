#pragma once
// What the program reads from a System Settings page and what it decides
// about it: the rows, the findings the person reads and the red and green
// marks drawn over the rows. Plain values; `Decide::page` builds them.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "platform/Geometry.h"

namespace rk {

// The list a row sits in. Declaration order is the order of the lists.
enum class PaneSection {
    accessibility,  // the one list of the Accessibility page
    openAtLogin,    // items that open at login (Login Items page)
    background,     // items allowed in the background: switches, not selectable rows
};

QString rawValue(PaneSection section);
// Exactly "accessibility", "openAtLogin" or "background"; anything else gives none.
std::optional<PaneSection> paneSectionFromRaw(const QString& raw);

// One row read from a System Settings page.
struct PaneRow {
    PaneSection section = PaneSection::accessibility;
    QString title;
    Rect frame;     // global points, top-left origin, y down
    int index = 0;  // position within its list, from 0; background counts separately
    bool selectable = false;
    // Filled in from the photo: true for the blank white document icon, false
    // for a real icon, none when the row was not photographed or gave no reading.
    std::optional<bool> iconBlank;

    friend bool operator==(const PaneRow& a, const PaneRow& b);
};

// One red (remove) or green (keep) box to draw over a row.
struct Mark {
    enum class Kind { remove, keep };

    Kind kind = Kind::remove;
    PaneRow row;    // a copy of the row as read; its frame places the box
    QString label;  // "Remove this", "Turn this off" or "KEEP THIS ROW"

    static std::optional<Kind> kindFromRaw(const QString& raw);

    friend bool operator==(const Mark& a, const Mark& b);
};

QString rawValue(Mark::Kind kind);

// One line of advice for the person.
struct Finding {
    enum class Verdict { remove, keep, look, hidden };

    // A prefix ("r:", "k:", "l:", "h:", "t:") and a row title or record key, so
    // the same page state gives the same ids from one decision to the next.
    QString id;
    Verdict verdict = Verdict::look;
    QString shown;                       // the row title, group name or record's first name
    std::optional<PaneSection> section;  // none when not tied to rows read from the page
    int count = 0;
    QString what;                 // the sentence shown to the person
    std::optional<QString> tell;  // how to pick the right row by its icon
    QStringList evidence;         // "key: evidence", one per record behind the finding
    QStringList keys;             // record keys removing would clear; remove findings only

    static std::optional<Verdict> verdictFromRaw(const QString& raw);

    friend bool operator==(const Finding& a, const Finding& b);
};

QString rawValue(Finding::Verdict verdict);

// The verdict on one page, findings and marks in the order they were decided.
struct Decision {
    QList<Finding> findings;
    QList<Mark> marks;

    // Records the person should remove: the counts of the remove findings.
    int removeCount() const;
};

size_t qHash(const PaneRow& row, size_t seed = 0);
size_t qHash(const Mark& mark, size_t seed = 0);
size_t qHash(const Finding& finding, size_t seed = 0);

}  // namespace rk
