// An application bundle's Info.plist, read from disk as the program reads
// any bundle, and an executable's path, whose bundle the program looks for.
// The bundle has information exactly when the file's bytes parse to a
// dictionary; each key's string is the list's, and the same whichever form
// the list is written in. A bundle found around an executable is an ".app"
// folder above "Contents/MacOS", and its own executables lead back to it.
#include "FuzzInput.h"
#include "platform/BundleInfo.h"

using fuzzing::require;

constexpr quint64 kWrittenAgainValues = 16384;

void fuzz(const QByteArray& input) {
    const QString executable = QString::fromUtf8(fuzzing::parts(input, '\n', 1).front());
    if (const auto bundle = rk::BundleInfo::enclosingBundle(executable)) {
        require(bundle->endsWith(".app") && bundle->section('/', -1) != ".app",
                "the bundle is a named \".app\"");
        require(QDir::cleanPath(executable).startsWith(*bundle + "/Contents/MacOS/"),
                "the executable lies in the bundle's Contents/MacOS");
        require(rk::BundleInfo::enclosingBundle(*bundle + "/Contents/MacOS/Relay") == bundle,
                "the bundle's own executable leads back to it");
    }

    static const fuzzing::FuzzFolder folder;
    const auto read = [](const QByteArray& bytes) {
        return rk::BundleInfo::read(folder.write("Relay.app/Contents/Info.plist", bytes).section('/', 0, -3));
    };
    const rk::BundleInfo info = read(input);
    const auto list = rk::Plist::parse(input, rk::Plist::defaultSizeCap, rk::BundleInfo::nodeCap);
    require(info.isReadable() == (list && list->dictionary()), "information exactly from a dictionary");
    if (!info.isReadable())
        return;
    // Every key the list holds, and the usual ones it may lack.
    QStringList keys{"CFBundleIdentifier",         "CFBundleName",    "CFBundleDisplayName",
                     "CFBundleShortVersionString", "CFBundleVersion", "CFBundleExecutable"};
    for (const rk::PlistEntry& entry : *list->dictionary())
        keys << entry.key;
    for (const QString& key : keys) {
        const rk::PlistValue* value = list->find(key);
        require(
            info.string(key) == (value && value->string() ? std::optional(*value->string()) : std::nullopt),
            "a key's string is the list's");
    }
    require(info.identifier() == info.string("CFBundleIdentifier"), "the identifier is CFBundleIdentifier");
    // A list that names its containers from many places can come to far more
    // values than a real Info.plist holds, and written out in full, to more
    // bytes than the reader takes: only lists of a real one's size are
    // written again.
    if (fuzzing::shape(list.value()).second > kWrittenAgainValues)
        return;
    for (const QByteArray& again : fuzzing::writtenAgain(list.value())) {
        const rk::BundleInfo reread = read(again);
        for (const QString& key : keys)
            require(reread.string(key) == info.string(key), "the list written again gives the same strings");
    }
}
