// A privacy database: the input is written as the system's database of a
// re-rooted machine, which is then read as the app reads it.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "FuzzInput.h"
#include "finder/TCCStore.h"

void fuzz(const QByteArray& input) {
    static QTemporaryDir root;
    static const rk::SystemPaths paths = rk::SystemPaths::rerooted(root.path(), "/Users/anna");
    const QString db = paths.disk(rk::TCCStore::systemPath(paths));
    QDir().mkpath(db.section('/', 0, -2));
    for (const char* leftover : {"-journal", "-wal", "-shm"})
        QFile::remove(db + leftover);
    QFile file(db);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(input) == input.size()) {
        file.close();
        rk::TCCStore::read(std::nullopt, paths);
    }
}
