#pragma once
// The command-line checks' output: whole lines, flushed at once, so that a
// script reading them sees each line as soon as it is written.

#include <QString>
#include <QStringList>
#include <cstdio>

namespace rk {

// `line` and a newline in UTF-8 on `stream`, flushed.
void printLine(std::FILE* stream, const QString& line);

// A self-test's one line on standard output: "<name> selftest OK (<passed>)"
// when `failures` is empty, else "<name> selftest FAILED: " and the failures
// joined by "; ". True when nothing failed.
bool reportSelftest(const QString& name, const QString& passed, const QStringList& failures);

}  // namespace rk
