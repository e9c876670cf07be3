#pragma once
// Files made to hurt the readers, as anyone who can write one of the places
// the program reads could leave them: XML property lists that nest deeper
// than a looser count sees, a binary list that expands from a few bytes, and
// background-task stores that name one object over and over. Used by the
// readers' tests, the start-up test and the fuzzing seeds.

#include <QByteArray>
#include <QList>
#include <QString>

namespace rk::test {

struct HostileFile {
    QString name;
    QByteArray bytes;
};

struct HostileFiles {
    // XML lists nesting `depth` arrays in each way a count that tokenizes
    // otherwise than libplist once missed: an attribute holding "/>", an
    // unterminated CDATA section or comment in an attribute, a closing tag in
    // a processing instruction or in a DOCTYPE subset.
    static QList<HostileFile> xmlNesting(int depth);
    // A binary list of `levels` arrays, each naming the next twice (2^levels
    // values once expanded), behind `padding` bytes nothing refers to.
    static QByteArray binaryDoubling(int levels, int padding);
    // A store whose `users` users all name one list naming one record `times` times.
    static QByteArray storeSharedLists(int users, int times);
    // A store listing one record with `keys` extra keys `times` times, with as
    // many other objects, so the items do not outnumber the objects.
    static QByteArray storeWideRecord(int keys, int times);
    // Makes the table `access` of a privacy database a view whose recursion never ends.
    static constexpr const char* endlessAccessView =
        "CREATE VIEW access AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
        "SELECT 'svc' AS service, 'cli' AS client, 0 AS client_type, 2 AS auth_value FROM c WHERE x < 0";
};

}  // namespace rk::test
