#pragma once
// The self-test's two Login Items stores, built in memory with the system's
// layout (a Storage object under "store", user identifiers to arrays of
// ItemRecord objects; see `KeyedArchiveWriter`) so that the store reader is
// checked on archives whose content is known, never on the Mac's own store.
// Both go to `BackgroundStore::parse` unchanged, in the binary form the
// system's archiver writes.

#include <QByteArray>

namespace rk {

struct SyntheticStore {
    // One enabled application, "TEST: Ghost" at "/Applications/TEST Ghost.app",
    // listed under the user "FFFFEEEE-TEST".
    static QByteArray good();
    // One record without its "disposition" key: the reader must refuse the
    // whole store as an unknown format rather than read it as empty.
    static QByteArray broken();
};

}  // namespace rk
