#pragma once
// The file path a "file://" URL of a background-task store names. Most are
// written as the system writes them, URL path characters and escapes only,
// and are decoded here without building a QUrl; anything else is left to
// QUrl's strict parse. Any thread.

#include <QString>
#include <optional>

namespace rk {

struct FileUrl {
    // The path, escapes decoded as UTF-8 and trailing slashes dropped; none
    // for a URL of another scheme, one that does not parse, or an empty path.
    static std::optional<QString> path(const QString& url);
};

}  // namespace rk
