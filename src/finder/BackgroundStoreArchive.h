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
    // What one read compared, which grows with the size of the list and not
    // with how often its objects are named: dictionary entries whose keys
    // were looked at, and UTF-16 units decoded to tell a key or "$null".
    struct Work {
        quint64 entries = 0;
        quint64 units = 0;
    };

    // The records, or the first fault met; the limits are BackgroundStore's.
    // `work`, when given, receives what the read compared.
    static Result<QList<BTMRecord>, StoreError> records(const BinaryPlist& list, Work* work = nullptr);
};

}  // namespace rk
