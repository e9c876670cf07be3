#pragma once
// Whether the program behind a record is still there, with a short phrase
// the person reads; and the name patterns that mark a test build.

#include <QHashFunctions>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <optional>

#include "platform/AppRegistry.h"
#include "platform/SystemPaths.h"
#include "platform/Volumes.h"

namespace rk {

class Liveness {
public:
    enum class Kind { live, gone, driveNotConnected, apple };

    // `live` with no evidence: a placeholder that never reads as a leftover.
    Liveness() = default;

    static Liveness live(QString evidence) { return Liveness(Kind::live, std::move(evidence)); }
    static Liveness gone(QString evidence) { return Liveness(Kind::gone, std::move(evidence)); }
    static Liveness driveNotConnected(QString evidence) {
        return Liveness(Kind::driveNotConnected, std::move(evidence));
    }
    static Liveness apple() { return Liveness(Kind::apple, QString()); }

    Kind kind() const { return kind_; }
    // The phrase the person reads; "part of macOS" for apple.
    QString evidence() const;
    // Only `gone`: a program on a drive that is not connected is not gone.
    bool isGone() const { return kind_ == Kind::gone; }

    friend bool operator==(const Liveness&, const Liveness&) = default;

private:
    Liveness(Kind kind, QString evidence) : kind_(kind), evidence_(std::move(evidence)) {}
    Kind kind_ = Kind::live;
    QString evidence_;
};

size_t qHash(const Liveness& liveness, size_t seed = 0);

struct Presence {
    // Paths are logical; `paths` maps them to disk and knows the home folder.
    static Liveness ofPath(const QString& path, const SystemPaths& paths = SystemPaths::current());
    static Liveness ofBundle(const QString& bundleIdentifier,
                             const SystemPaths& paths = SystemPaths::current(),
                             const AppRegistry& registry = AppRegistry::current(),
                             const Volumes& volumes = Volumes::current());
    // On a read-only volume known to be not internal: a mounted disk image.
    static bool isOnDiskImage(const QString& path, const SystemPaths& paths = SystemPaths::current(),
                              const Volumes& volumes = Volumes::current());
    // The home folder at the start of `path` shown as "~" (at a folder boundary only).
    static QString tilde(const QString& path, const SystemPaths& paths = SystemPaths::current());
};

struct TestNames {
    struct Pattern {
        QRegularExpression expression;
        QString reason;
    };
    // The test-build patterns in order; built once, only read afterwards.
    static const QList<Pattern>& patterns();
    // The reason of the first pattern found anywhere in `text`; none without a match.
    static std::optional<QString> why(const QString& text);
};

}  // namespace rk
