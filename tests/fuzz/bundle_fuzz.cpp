// An application bundle's Info.plist, read from disk as the program reads
// any bundle, and an executable's path, whose bundle the program looks for.
// The bundle has information exactly when the file's bytes parse to a
// dictionary; each key's string is the list's, and the same whichever form
// the list is written in. A bundle found around an executable is an ".app"
// folder above "Contents/MacOS", and its own executables lead back to it.
#include "FuzzInput.h"
#include "platform/BundleInfo.h"

using fuzzing::require;

namespace {

const QStringList kKeys{"CFBundleIdentifier",         "CFBundleName",    "CFBundleDisplayName",
                        "CFBundleShortVersionString", "CFBundleVersion", "CFBundleExecutable"};

// Every key the list holds, and the usual ones it may lack.
QStringList keysOf(const rk::PlistValue& list) {
    QStringList keys = kKeys;
    for (const rk::PlistEntry& entry : *list.dictionary())
        keys << entry.key;
    return keys;
}

void enclosing(const QString& executable) {
    const auto bundle = rk::BundleInfo::enclosingBundle(executable);
    if (!bundle)
        return;
    require(bundle->endsWith(".app") && bundle->section('/', -1) != ".app", "the bundle is a named \".app\"");
    require(QDir::cleanPath(executable).startsWith(*bundle + "/Contents/MacOS/"),
            "the executable lies in the bundle's Contents/MacOS");
    require(rk::BundleInfo::enclosingBundle(*bundle + "/Contents/MacOS/Relay") == bundle,
            "the bundle's own executable leads back to it");
}

}  // namespace

void fuzz(const QByteArray& input) {
    static const fuzzing::FuzzFolder folder;
    enclosing(QString::fromUtf8(fuzzing::parts(input, '\n', 1).front()));

    require(!folder.write("Relay.app/Contents/Info.plist", input).isEmpty(),
            "the Info.plist can be laid down");
    const rk::BundleInfo info = rk::BundleInfo::read(folder.path() + "/Relay.app");
    const auto list = rk::Plist::parse(input);
    require(info.isReadable() == (list && list->dictionary()), "information exactly from a dictionary");
    if (!info.isReadable())
        return;
    const QStringList keys = keysOf(list.value());
    for (const QString& key : keys) {
        const rk::PlistValue* value = list->find(key);
        require(
            info.string(key) == (value && value->string() ? std::optional(*value->string()) : std::nullopt),
            "a key's string is the list's");
    }
    require(info.identifier() == info.string("CFBundleIdentifier"), "the identifier is CFBundleIdentifier");

    if (!fuzzing::writersKeepTexts(list.value()))
        return;
    for (const QByteArray& again : {rk::Plist::toBinary(list.value()), rk::Plist::toXml(list.value())}) {
        folder.write("Again.app/Contents/Info.plist", again);
        const rk::BundleInfo read = rk::BundleInfo::read(folder.path() + "/Again.app");
        for (const QString& key : keys)
            require(read.string(key) == info.string(key), "the list written again gives the same strings");
    }
}
