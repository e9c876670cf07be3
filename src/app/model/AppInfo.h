#pragma once
// The app's version texts, shown in the about panel and the main window's
// footer, read from the running app's bundle information (on Linux the
// build's own: the project version and the build number cache variable).

#include <QString>

namespace rk {

struct AppInfo {
    // The project version ("1.0.0"); "dev" when the build gave none.
    static QString version();
    // The build number; "0" when the build gave none.
    static QString build();
    // "Version " + version + " (" + build + ")".
    static QString versionLine();

    // The same texts from given values, each empty one standing for a build
    // that did not name it.
    static QString versionOr(const QString& given);
    static QString buildOr(const QString& given);
    static QString versionLine(const QString& version, const QString& build);
};

}  // namespace rk
