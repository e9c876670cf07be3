#pragma once
// Files made to hurt the readers, as anyone who may write one of the places
// the program reads could leave them. For the readers' tests, the start-up
// test and the fuzzing seeds.

#include <QByteArray>
#include <QList>
#include <QString>

namespace rk::test {

struct HostileFile {
    QString name;
    QByteArray bytes;
};

struct HostileFiles {
    enum class Nesting { closed, unclosed };
    // XML lists nesting `depth` arrays in each way a count that tokenized
    // otherwise than libplist once missed, closed or left open.
    static QList<HostileFile> xmlNesting(int depth, Nesting nesting = Nesting::closed);
    // A store whose `users` users all name one list naming one record `times` times.
    static QByteArray storeSharedLists(int users, int times);
    // Makes a privacy database's `access` a view whose recursion never ends.
    static constexpr const char* endlessAccessView =
        "CREATE VIEW access AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
        "SELECT 'svc' AS service, 'cli' AS client, 0 AS client_type, 2 AS auth_value FROM c WHERE x < 0";
};

}  // namespace rk::test
