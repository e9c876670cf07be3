#pragma once
// Writes privacy databases ("TCC.db") with the SQLite C API: the table layout
// of a current macOS, a loose layout that lets client and service be null,
// and the broken layouts the reader must refuse.

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace rk::test {

struct TccDbRow {
    std::optional<QString> client;
    qint64 clientType = 0;
    std::optional<QString> service;
    qint64 authValue = 0;
};

struct TccDbWriter {
    enum class Schema {
        modern,                // today's table access with its other tables; client and service NOT NULL
        loose,                 // only the four columns, none of them NOT NULL
        missingClientAndAuth,  // access without client and auth_value
        noAccessTable,         // a database whose tables do not include access
    };

    // Creates `diskPath` (and its folder) afresh. Returns an empty text on
    // success, else SQLite's message.
    static QString write(const QString& diskPath, const QList<TccDbRow>& rows,
                         Schema schema = Schema::modern);
    // Runs statements on an existing database; empty text on success.
    static QString execute(const QString& diskPath, const QString& sql);

    // A few rows as a current macOS holds them.
    static QList<TccDbRow> sampleRows();
};

}  // namespace rk::test
