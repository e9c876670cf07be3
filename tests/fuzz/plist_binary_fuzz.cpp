// A binary property list, read as a tree and in place.
#include "FuzzInput.h"
#include "platform/Plist.h"

void fuzz(const QByteArray& input) {
    if (auto document = rk::PlistDocument::parse(input))
        document->root().find("$objects").elements();
    rk::Plist::parse(input);
}
