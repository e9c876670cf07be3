#pragma once
// The entry libFuzzer calls, once per input, included by each harness: it
// hands the input to the harness's `fuzz` as bytes borrowed, not copied, so
// a read past their end is a read past libFuzzer's buffer, which
// AddressSanitizer reports.

#include <QByteArray>
#include <cstddef>
#include <cstdint>

void fuzz(const QByteArray& input);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
