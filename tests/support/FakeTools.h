#pragma once
// The Mac's tools on a temporary machine: a shell script at each tool's place
// under the TempRoot. A call appends "<tool> <arguments>" to one shared log and
// answers as the tool's mode file says (exit status, then output); tests
// change an answer between calls and read the calls in order.

#include "platform/SystemPaths.h"
#include "support/TempRoot.h"

namespace rk::test {

class FakeTools {
public:
    explicit FakeTools(const TempRoot& root) : root_(root) {}

    // Puts the script for `tool` (any but the shell) in place, answering status 0 and no output
    // until told otherwise; returns the path it runs from.
    QString install(MacTool tool);
    // Puts this build's own stand-in for `tool` (SystemPaths::standIn) in place instead,
    // logged like the others, `prelude` (shell lines) run before it; returns its path.
    QString installStandIn(MacTool tool, const QString& prelude = QString());
    // Puts a script running `body` (shell lines) in place, its calls logged
    // like the others; returns its path.
    QString installScript(MacTool tool, const QString& body) { return place(tool, body); }
    // What the next calls of `tool` answer.
    void answer(MacTool tool, int status, const QByteArray& output = QByteArray());
    // What the `call`-th call of `tool` (counting from 1) answers, whatever `answer` says.
    void answerCall(MacTool tool, int call, int status, const QByteArray& output = QByteArray());
    // Every call so far, in order, all tools together.
    QStringList calls() const;
    // `text` in single quotes for a shell script.
    static QString quoted(QString text);

private:
    // A script at the tool's place that logs its call, then runs `body`.
    QString place(MacTool tool, const QString& body);

    const TempRoot& root_;
};

}  // namespace rk::test
