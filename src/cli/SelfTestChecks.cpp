#include "cli/SelfTestChecks.h"

namespace rk {

void SelfTestChecks::check(bool ok, const QString& label) {
    out_ << (ok ? "pass: " : "FAIL: ") << label << '\n';
    out_.flush();
    if (!ok)
        ++failures_;
}

}  // namespace rk
