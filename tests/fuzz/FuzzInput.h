#pragma once
// The entry libFuzzer calls once per input, included by each harness: the
// harness's `fuzz` borrows the bytes, so AddressSanitizer sees a read past their end.

#include <QByteArray>
#include <cstddef>
#include <cstdint>

void fuzz(const QByteArray& input);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
