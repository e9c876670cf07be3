#include "platform/ToolOutput.h"

namespace rk {

void printLine(std::FILE* stream, const QString& line) {
    std::fputs((line + "\n").toUtf8().constData(), stream);
    std::fflush(stream);
}

bool reportSelftest(const QString& name, const QString& passed, const QStringList& failures) {
    printLine(stdout, failures.isEmpty() ? name + " selftest OK (" + passed + ")"
                                         : name + " selftest FAILED: " + failures.join("; "));
    return failures.isEmpty();
}

}  // namespace rk
