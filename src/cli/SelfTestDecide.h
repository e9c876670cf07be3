#pragma once
// The self-test's decision area: the page rules (`Decide::page`) on made-up
// candidates and rows of the Accessibility list. A row is marked red only
// when every record behind its name is gone and the counts agree, or when
// the icons single out the old copy; a same-named live program, a second
// row or a second blank icon must keep the rules from marking anything.

#include <QString>
#include <optional>

#include "cli/SelfTestChecks.h"
#include "finder/Candidate.h"
#include "finder/Decision.h"

namespace rk {

struct SelfTestDecide {
    // Checks 37 to 48, in order.
    static void run(SelfTestChecks& checks);

    // A candidate named `name`: gone ("test: missing") or live ("test: present").
    static Candidate cand(const QString& key, const QString& name, bool gone);
    // A row of `section` at y = index x 30, 300 by 28 points; selectable
    // unless it is a background switch. `blank` none: icon not photographed.
    static PaneRow row(const QString& title, int index, std::optional<bool> blank = std::nullopt,
                       PaneSection section = PaneSection::accessibility);
};

}  // namespace rk
