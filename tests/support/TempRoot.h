#pragma once
// A temporary machine: a fresh folder that stands for "/", with the person's
// home folder at a logical path such as "/Users/anna". While it lives it is
// SystemPaths::current(); the previous paths come back when it is destroyed.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include "platform/SystemPaths.h"

namespace rk::test {

class TempRoot {
public:
    explicit TempRoot(const QString& home = "/Users/anna");
    ~TempRoot();
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const SystemPaths& paths() const { return paths_; }
    QString root() const { return dir_.path(); }
    QString home() const { return paths_.home(); }
    // Logical path -> path on disk.
    QString disk(const QString& logical) const { return paths_.disk(logical); }

    // Creates the folder (and its parents) at a logical path; returns the disk path.
    QString makeFolder(const QString& logical) const;
    // Writes a file (creating its folders) at a logical path; returns the disk path.
    QString writeFile(const QString& logical, const QByteArray& bytes = QByteArray()) const;
    // Removes a file or a whole folder at a logical path.
    bool remove(const QString& logical) const;

private:
    QTemporaryDir dir_;
    SystemPaths paths_;
    SystemPaths previous_;
};

// The bytes of the file at the disk path `path`; empty when it cannot be read.
QByteArray readFileAt(const QString& path);
// Writes `bytes` as the whole file at the disk path `path`, making its
// folders, executable by its owner alone when asked; whether it worked.
bool writeFileAt(const QString& path, const QByteArray& bytes, bool executable = false);

}  // namespace rk::test
