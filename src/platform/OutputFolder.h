#pragma once
// The folder a command-line mode writes its files into ("--capture-pages
// DIR", "--permission-windowshot DIR"): a path the person typed, which may lie
// where other accounts can write (anything under /tmp) and hold links they
// planted under the names of the files to come.
//
// The folder is opened once, and every file is made through that open folder,
// so a folder swapped for another afterwards is not written. It is refused
// when it is a link, or when it is not the runner's own folder closed to
// others' writes and lacks the sticky bit (which keeps others from replacing
// what the runner put there). A file is written whole under a fresh private
// name in the folder and then renamed over its own name (replaceInFolder in
// FileProbe.h, which the program's records share): an earlier file of
// the runner's is replaced, never written into, and the target of a link is
// never written. A link, a non-file or another account's file standing at the
// name is refused and left as it is.
//
// Any thread; one object per run, not shared between threads.

#include <QByteArray>
#include <QString>

#include "platform/Result.h"

namespace rk {

class OutputFolder {
public:
    // Makes `path` when it is missing (its parents too) and opens it; a folder
    // that may not be used answers every write with the reason.
    explicit OutputFolder(const QString& path);
    ~OutputFolder();
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    // `data` as the file `name` (a plain file name) of the folder, written
    // whole or not at all; else why not, as a short text for the person
    // ("a link stands at that name"). Nothing is left behind on a failure.
    Result<Unit, QString> write(const QString& name, const QByteArray& data) const;

private:
    int fd_ = -1;
    QString refusal_;  // why the folder is not written; empty when it may be
};

}  // namespace rk
