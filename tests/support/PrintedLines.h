#pragma once
// What a command-line mode printed on standard output, line by line, and
// the status it returned.

#include <gtest/gtest.h>

#include <QStringList>

#include "support/Printers.h"

namespace rk::test {

struct Printed {
    int status = 0;
    QStringList lines;
};

template <typename Run>
Printed printedBy(Run&& run) {
    ::testing::internal::CaptureStdout();
    const int status = run();
    return {status,
            QString::fromStdString(::testing::internal::GetCapturedStdout()).split('\n', Qt::SkipEmptyParts)};
}

}  // namespace rk::test
