#pragma once
// The updater as its views see it: the three automatic-update settings, the
// latest status message, and the version of an update that a check found and
// did not install right away. The settings are read from the updater once,
// when the model is made, and afterwards change only through the model,
// which writes each change through to the updater's own settings; changes
// made to the updater's settings directly (the update submenu, the update
// controls) do not reach it. Status messages and found updates arrive through
// the updater's `onStatus` and `onPendingUpdate` hooks, which making a model
// takes over for good: a handler installed before (the menu's status item)
// is no longer called.
//
// Every value has a getter and a change signal; a signal fires on every
// assignment, also of the same value, and `changed` after each of them, so a
// view can simply draw itself again. The model holds nothing else: no timer,
// no feed, no view.
//
// Main thread. The hook handlers may be called on any thread: each posts its
// assignment to the main thread's next turn (also when it already runs
// there), so values change in the order the messages came; a handler whose
// model has gone does nothing.

#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <QString>
#include <optional>

namespace rk {

class KTUpdateModel final : public QObject {
    Q_OBJECT

public:
    // The process's model, made on first use and kept to the end of the
    // process. The app touches it once at launch, after its menu is built and
    // before the updater starts, so that the first check's messages arrive.
    static KTUpdateModel& shared();
    // Ends the process's model, when there is one; the next `shared()` makes
    // a new one. For `KTUpdate::resetProcessState`.
    static void endShared();

    // A model of its own (the app uses `shared()`): reads the settings and
    // the pending version now and takes over both hooks.
    explicit KTUpdateModel(QObject* parent = nullptr);

    bool autoCheck() const { return autoCheck_; }
    bool autoDownload() const { return autoDownload_; }
    bool autoInstall() const { return autoInstall_; }
    // Each stores the value, signals, then writes it to the updater's setting
    // of the same name (only that one).
    void setAutoCheck(bool on);
    void setAutoDownload(bool on);
    void setAutoInstall(bool on);

    // All three on, read in the order check, download, install.
    bool fullyAutomatic() const;
    // Sets check, download and install in that order, each as its own setter
    // does (three signals, three writes).
    void setFullyAutomatic(bool on);

    // The latest status message; empty until the first one.
    QString status() const { return status_; }
    void setStatus(const QString& status);

    // The version of an update found and not installed at once; once set,
    // nothing in the model clears it.
    std::optional<QString> pendingVersion() const { return pendingVersion_; }
    void setPendingVersion(const std::optional<QString>& version);

    // The person's two actions: an interactive check, and the install of the
    // waiting update (a check when nothing is staged). Each only hands over.
    void checkNow();
    void installPending();

    // The updater can never check in this process (KTUpdate::offReason).
    bool updaterOff() const;
    // "not yet checked", or "last checked " and when; while the updater is
    // off, "Updates: off · " and why instead. Worked out afresh on every
    // read (it is not a value of the model and signals nothing).
    QString lastCheckedLine() const;
    // The line for a check at `last`, as seen at `now` in `locale`: the short
    // time alone for a check of the same day, else the medium date and the
    // short time.
    static QString lastCheckedLine(const std::optional<QDateTime>& last, const QDateTime& now,
                                   const QLocale& locale);

signals:
    void autoCheckChanged(bool on);
    void autoDownloadChanged(bool on);
    void autoInstallChanged(bool on);
    void statusChanged(const QString& status);
    void pendingVersionChanged(const std::optional<QString>& version);
    // After each of the signals above.
    void changed();

private:
    bool autoCheck_;
    bool autoDownload_;
    bool autoInstall_;
    QString status_;
    std::optional<QString> pendingVersion_;
};

}  // namespace rk
