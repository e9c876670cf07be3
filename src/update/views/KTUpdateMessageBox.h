#pragma once
// The updater's built-in message boxes: an informational box with the title
// as its text, the message below it and one "OK" button, and the same with
// two buttons for the install question; each runs modally with the app's
// window brought to the front. The updater's core has no windows
// and shows nothing until the app installs this one. Titles and messages
// carry feed texts and paths, so they are always shown as plain text.
//
// Main thread: the updater calls it there.

#include "update/UpdateLog.h"

namespace rk {

class KTUpdateMessageBox final : public KTUpdate::MessageBoxes {
public:
    void activate() override;
    void notice(const QString& title, const QString& message) override;
    // The install question: `confirmLabel` is the default button.
    bool confirm(const QString& title, const QString& message, const QString& confirmLabel,
                 const QString& cancelLabel) override;

    // Makes the process's one box the updater's, for the rest of the process.
    static void install();
};

}  // namespace rk
