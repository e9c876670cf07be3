#pragma once
// The app's own folder among the person's Application Support folders:
// "Rowkeeper". Earlier versions used "Lark Spur"; the first use that writes
// moves that folder over when no "Rowkeeper" exists yet.

#include <QString>

namespace rk {

struct AppFolders {
    // "Rowkeeper" in `base`, the Application Support folder; an empty `base`
    // stands for QStandardPaths' generic data location, Linux's counterpart
    // of the Mac's. Empty when there is no such folder at all.
    static QString support(const QString& base = {});

    // support(base), made ready for writing: an old "Lark Spur" folder is
    // renamed when "Rowkeeper" is absent (with both present the old one is
    // left alone), and the folder is created when missing.
    static QString preparedSupport(const QString& base = {});
};

}  // namespace rk
