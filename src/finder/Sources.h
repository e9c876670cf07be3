#pragma once
// Builds the candidates of the two System Settings pages from the stores: the
// Accessibility page from the privacy database's rows, the Login Items page
// from the person's background-task records and the launchd jobs. One
// candidate per first occurrence of a key, in input order; nothing fails.

#include <QList>

#include "finder/BackgroundStore.h"
#include "finder/Candidate.h"
#include "finder/LaunchdScan.h"
#include "finder/TCCStore.h"
#include "platform/AppNames.h"
#include "platform/AppRegistry.h"
#include "platform/SystemPaths.h"
#include "platform/Volumes.h"

namespace rk {

struct Sources {
    static QList<Candidate> accessibility(const QList<TCCRow>& rows,
                                          const SystemPaths& paths = SystemPaths::current(),
                                          const AppRegistry& registry = AppRegistry::current(),
                                          const Volumes& volumes = Volumes::current(),
                                          const AppNames& appNames = AppNames::current());

    static QList<Candidate> loginItems(const QList<BTMRecord>& records, const QList<LaunchJob>& jobs,
                                       const SystemPaths& paths = SystemPaths::current());
    // The records `loginItems` builds from: the first of each key (the
    // identifier, else the url, else the name; canonically equivalent keys
    // are one), in input order. `loginItems` gives the same candidates for
    // these as for all the records, so a caller that builds them on every
    // beat picks these once per store read.
    static QList<BTMRecord> firstOfEachKey(const QList<BTMRecord>& records);

    // An application's display name without its ".app" ending. Only a final
    // ".app" goes: "Foo.appliance.app" stays "Foo.appliance", so the app still
    // matches its own row.
    static QString withoutAppSuffix(const QString& displayName);
};

}  // namespace rk
