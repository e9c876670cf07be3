#pragma once
// How the wizard asks macOS whether a permission is in effect, and the System
// Settings pages of the privacy permissions. The platform answers come
// through `KTProbePlatform`, whose Linux host answers "not trusted", "no
// capture", "cannot tell" and ignores prompt requests.

#include <QUrl>

namespace rk {

struct KTPermission;

// Input-monitoring access for listening to input events.
enum class KTListenAccess { granted, denied, unknown };

class KTProbePlatform {
public:
    virtual ~KTProbePlatform() = default;
    // Trusted for Accessibility; never shows a prompt.
    virtual bool accessibilityTrusted() = 0;
    virtual void requestAccessibilityPrompt() = 0;
    // Whether the window list shows the title of another process's window,
    // which it does only with screen-capture access.
    virtual bool seesOtherWindowTitles() = 0;
    virtual bool screenCapturePreflight() = 0;
    virtual void requestScreenCaptureAccess() = 0;
    virtual KTListenAccess listenEventAccess() = 0;

    static KTProbePlatform& current();
    // nullptr restores the host implementation. The caller keeps ownership.
    static void setCurrent(KTProbePlatform* platform);
};

// Asks the platform seams where they can answer; "no", no-op or "cannot
// tell" elsewhere.
class HostProbePlatform : public KTProbePlatform {
public:
    bool accessibilityTrusted() override;
    void requestAccessibilityPrompt() override;
    bool seesOtherWindowTitles() override;
    bool screenCapturePreflight() override;
    void requestScreenCaptureAccess() override;
    KTListenAccess listenEventAccess() override;
};

struct KTPermissionProbes {
    // System Settings page links, each made once. Compared by URL equality.
    struct Pane {
        static const QUrl& accessibility();
        static const QUrl& screenRecording();
        static const QUrl& inputMonitoring();
        static const QUrl& fullDisk();
        static const QUrl& microphone();
        static const QUrl& camera();
        static const QUrl& automation();
        static const QUrl& loginItems();
        // Whether `url` is one of the links above.
        static bool isKnown(const QUrl& url);
    };

    static bool accessibility(KTProbePlatform& platform = KTProbePlatform::current());
    static void requestAccessibilityPrompt(KTProbePlatform& platform = KTProbePlatform::current());
    static bool screenRecording(KTProbePlatform& platform = KTProbePlatform::current());
    static void requestScreenRecordingPrompt(KTProbePlatform& platform = KTProbePlatform::current());
    static bool listenEventDenied(KTProbePlatform& platform = KTProbePlatform::current());

    // Whether the person can add the app to the permission's list by dragging
    // it in: the Accessibility, Screen Recording, Input Monitoring and Full
    // Disk Access lists take a dragged app. The Accessibility page counts as
    // Input Monitoring while listening to input events is denied.
    static bool takesDraggedApp(const KTPermission& permission,
                                KTProbePlatform& platform = KTProbePlatform::current());
};

}  // namespace rk
