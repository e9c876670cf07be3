#pragma once
// Files made to hurt the readers, as anyone who may write one of the places
// the program reads could leave them. For the readers' tests, the start-up
// test and the fuzzing seeds.

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

#include "platform/KeyedArchiveWriter.h"

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
    // An archived object's fields after `padding` entries of one key, which
    // a reader must walk past to reach them.
    static PlistValue::Dictionary padded(int padding, PlistValue::Dictionary fields);
    // A store of `items` items whose every text field names the one object
    // `text` adds, and one of `users` users all naming the one list `list`
    // adds. Written in the binary form with nothing shared but what the
    // archive names, and keys as given, repeated ones too.
    using Adds = std::function<PlistUid(KeyedArchiveWriter&)>;
    static QByteArray storeTextsNamingOne(int items, const Adds& text);
    static QByteArray storeUsersNamingOne(int users, const Adds& list);
    // Makes a privacy database's `access` a view whose recursion never ends.
    static constexpr const char* endlessAccessView =
        "CREATE VIEW access AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
        "SELECT 'svc' AS service, 'cli' AS client, 0 AS client_type, 2 AS auth_value FROM c WHERE x < 0";
};

}  // namespace rk::test
