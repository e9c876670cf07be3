// The update feed as the server sent it.
#include "FuzzInput.h"
#include "update/UpdateFeed.h"

void fuzz(const QByteArray& input) {
    rk::KTUpdate::parseAppcast(input);
}
