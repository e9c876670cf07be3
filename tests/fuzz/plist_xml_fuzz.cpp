// An XML property list. The nesting check must never count fewer levels than
// libplist builds: a list it lets through that still nests too deep is a
// fault, long before the depth at which libplist overflows its stack.
#include "FuzzInput.h"
#include "platform/PlistXml.h"

void fuzz(const QByteArray& input) {
    const auto parsed = rk::Plist::parse(input);
    if (!parsed && parsed.error().kind == rk::PlistError::Kind::tooDeep &&
        !rk::PlistXml::checkShape(input, rk::Plist::defaultNodeCap))
        __builtin_trap();
}
