#pragma once
// The user defaults (QSettings()) of a test: in a temporary folder of their
// own while this lives, empty when it starts and emptied when it ends.

#include <QSettings>
#include <QTemporaryDir>

namespace rk::test {

class TempDefaults {
public:
    TempDefaults() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
        QSettings().clear();
    }
    ~TempDefaults() { QSettings().clear(); }
    TempDefaults(const TempDefaults&) = delete;
    TempDefaults& operator=(const TempDefaults&) = delete;

private:
    QTemporaryDir dir_;
};

}  // namespace rk::test
