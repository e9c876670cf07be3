// The Move-In checklist, its marks and the device record.
#include "FuzzInput.h"
#include "movein/MoveIn.h"

void fuzz(const QByteArray& input) {
    rk::MoveIn::loadList(input);
    rk::MoveIn::marksFrom(input);
    rk::KTDeviceMove::recordFrom(input);
}
