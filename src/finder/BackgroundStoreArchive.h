#pragma once
// The background-task store's keyed archive, read in place from a binary
// list that BinaryPlist::open has checked: the archive's references
// resolved and the records of its users built. BackgroundStore::parse
// checks the file and hands its list here. No state is kept between calls.

#include <QList>

#include "finder/BackgroundStore.h"
#include "platform/BinaryPlist.h"

namespace rk {

struct BackgroundStoreArchive {
    // The records, or the first fault met; the limits are BackgroundStore's.
    static Result<QList<BTMRecord>, StoreError> records(const BinaryPlist& list);
};

}  // namespace rk
