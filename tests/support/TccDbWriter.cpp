#include "support/TccDbWriter.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace rk::test {

namespace {

// The privacy database's table of a current macOS, beside another of its tables.
const char* kModern = R"sql(
BEGIN;
CREATE TABLE admin (key TEXT PRIMARY KEY NOT NULL, value INTEGER NOT NULL);
INSERT INTO admin VALUES ('version', 31);
CREATE TABLE access (service TEXT NOT NULL, client TEXT NOT NULL, client_type INTEGER NOT NULL,
  auth_value INTEGER NOT NULL, auth_reason INTEGER NOT NULL, auth_version INTEGER NOT NULL, csreq BLOB,
  policy_id INTEGER, indirect_object_identifier_type INTEGER,
  indirect_object_identifier TEXT NOT NULL DEFAULT 'UNUSED', indirect_object_code_identity BLOB,
  flags INTEGER, last_modified INTEGER NOT NULL DEFAULT (CAST(strftime('%s','now') AS INTEGER)),
  pid INTEGER, pid_version INTEGER, boot_uuid TEXT NOT NULL DEFAULT 'UNUSED',
  last_reminded INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY (service, client, client_type, indirect_object_identifier));
COMMIT;
)sql";

const char* kLoose =
    "CREATE TABLE access (service TEXT, client TEXT, client_type INTEGER, auth_value INTEGER);";
const char* kMissing = "CREATE TABLE access (service TEXT, client_type INTEGER, auth_reason INTEGER);";
const char* kNoAccess = "CREATE TABLE admin (key TEXT PRIMARY KEY NOT NULL, value INTEGER NOT NULL);";

// An SQL literal: the text quoted, or NULL.
QString literal(const std::optional<QString>& text) {
    return text ? "'" + QString(*text).replace("'", "''") + "'" : QStringLiteral("NULL");
}

}  // namespace

QString TccDbWriter::execute(const QString& diskPath, const QString& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(diskPath.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        const QString error = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("open failed");
        sqlite3_close_v2(db);
        return error;
    }
    char* error = nullptr;
    QString result;
    // Fixtures need no durability; skipping the syncs keeps the suites fast.
    sqlite3_exec(db, "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK)
        result = QString::fromUtf8(error ? error : "exec failed");
    sqlite3_free(error);
    sqlite3_close_v2(db);
    return result;
}

QString TccDbWriter::write(const QString& diskPath, const QList<TccDbRow>& rows, Schema schema) {
    QDir().mkpath(QFileInfo(diskPath).absolutePath());
    QFile::remove(diskPath);
    const char* ddl = schema == Schema::modern                 ? kModern
                      : schema == Schema::loose                ? kLoose
                      : schema == Schema::missingClientAndAuth ? kMissing
                                                               : kNoAccess;
    if (QString error = execute(diskPath, QString::fromUtf8(ddl)); !error.isEmpty())
        return error;
    if (rows.isEmpty())
        return QString();
    if (schema == Schema::noAccessTable || schema == Schema::missingClientAndAuth)
        return QStringLiteral("this layout holds no rows");

    // The full layout wants the columns it does not let be null.
    const bool modern = schema == Schema::modern;
    QString sql = "BEGIN;";
    for (const TccDbRow& row : rows) {
        sql +=
            QStringLiteral(
                "INSERT INTO access (service, client, client_type, auth_value%1) VALUES (%2, %3, %4, %5%6);")
                .arg(modern ? ", auth_reason, auth_version, flags" : "", literal(row.service),
                     literal(row.client), QString::number(row.clientType), QString::number(row.authValue),
                     modern ? ", 2, 1, 0" : "");
    }
    return execute(diskPath, sql + "COMMIT;");
}

QList<TccDbRow> TccDbWriter::sampleRows() {
    return {
        {"com.vendor.editor", 0, "kTCCServiceAccessibility", 2},
        {"/usr/local/bin/helper", 1, "kTCCServiceAccessibility", 2},
        {"com.vendor.editor", 0, "kTCCServiceScreenCapture", 2},
        {"com.vendor.chat", 0, "kTCCServiceMicrophone", 0},
    };
}

}  // namespace rk::test
