#pragma once
// The program's one reader of application bundles on disk: the running app's
// own bundle, the other copies of it that the permission wizard names, the
// copies the identity repair finds and the bundle the updater stages. A
// bundle is a folder "X.app" holding "Contents/Info.plist"; the plist is read
// with the project's property-list reader, binary or XML.
//
// Values, read once and then only looked at; any thread. Nothing here fails
// loudly: an unreadable bundle simply has no information.

#include <QString>
#include <optional>

#include "platform/Plist.h"

namespace rk {

class BundleInfo {
public:
    // Reads `bundleDiskPath` + "/Contents/Info.plist". A missing or broken
    // file, or one whose top level is not a dictionary, gives a bundle with
    // no information.
    static BundleInfo read(const QString& bundleDiskPath);
    // The most values an Info.plist may come to: far above any real one, and
    // few enough that a small list naming its containers from many places
    // cannot have the reader build a huge tree.
    static constexpr quint64 nodeCap = quint64(1) << 18;

    // The bundle around an executable: the "X.app" folder when the
    // executable lies at "X.app/Contents/MacOS/<name>", else none.
    static std::optional<QString> enclosingBundle(const QString& executablePath);

    // The Info.plist held a dictionary.
    bool isReadable() const { return info_.has_value(); }
    // A string value; none when absent, not a string, or nothing was read.
    std::optional<QString> string(const QString& key) const;
    // "CFBundleIdentifier" as a string.
    std::optional<QString> identifier() const { return string("CFBundleIdentifier"); }

private:
    std::optional<PlistValue> info_;
};

}  // namespace rk
