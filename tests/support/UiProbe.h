#pragma once
// Helpers for tests of the main window's widgets: the recorded delegate
// calls, stores with leftovers for both pages, and an application; the
// generic widget helpers are in WidgetProbe.h.

#include "support/WidgetProbe.h"
#include "ui/AppActions.h"

namespace rk::test {

class ModelWorld;

// Records the window's calls on the application delegate, and installs
// itself as AppActions::current() while it lives.
class RecordingActions final : public AppActions {
public:
    RecordingActions() { AppActions::setCurrent(this); }
    ~RecordingActions() override { AppActions::setCurrent(nullptr); }
    RecordingActions(const RecordingActions&) = delete;
    RecordingActions& operator=(const RecordingActions&) = delete;

    void showPermissions() override { ++permissions; }
    QString saveDiagnostics() override { return ++diagnostics, savedLine; }
    bool openSettingsLink(const QUrl& link) override { return links.append(link), linksOpen; }
    QString versionLine() const override { return QStringLiteral("Version 1.2 (34)"); }

    int permissions = 0;
    int diagnostics = 0;
    QString savedLine;  // what a save says
    QList<QUrl> links;
    bool linksOpen = true;
};

// The person's own stores with something for every list of both System
// Settings pages, and System Settings running with their rows:
// - Accessibility: "TESTghost", whose app is gone, on the page (remove);
//   "TESTeditor", installed, on the page; "com.example.TESTphantom", gone
//   and not on the page (hidden).
// - Login Items: the background agent "TESTgone agent", whose program is
//   gone and which the page does not show (hidden).
// The test shows the page it wants with `world.settings.showPage`.
void writeLeftovers(ModelWorld& world);
// The privacy database of `writeLeftovers` with one gone record more or
// less: `extra` another hidden one; `withGhost` false without TESTghost.
void writeLeftoverTcc(ModelWorld& world, bool withGhost = true, bool extra = false);
inline QString phantomKey() {
    return QStringLiteral("com.example.TESTphantom");
}

// A QApplication (offscreen when no platform is set).
void ensureUiApplication();

// Every text the tree shows, in tree order: labels (rich text as the person
// reads it), one-line labels, and button titles. Hidden widgets are left out.
QStringList shownTexts(const QWidget* root);
bool shows(const QWidget* root, const QString& text);
// True when some shown text contains `part`.
bool showsPart(const QWidget* root, const QString& part);

// Keyboard focus as the person sees it. `showsFocusRing`: `control` draws
// the ring of the app's controls through the middle of its left edge.
bool showsFocusRing(QWidget* control);
// `key` pressed and released on `widget` (Space presses a focused button).
void typeKey(QWidget* widget, Qt::Key key);
// A control's class and title, for failure messages; "no focus" for none.
QString describe(const QWidget* control);
struct TabStop {
    QWidget* control;
    QString name;  // `describe`
    bool ring;     // shown while it held the focus
};
// Presses Tab in `window` from no focus until the focus returns to a stop
// already seen or goes, at most `most` times: the stops in order.
QList<TabStop> tabStops(QWidget* window, int most = 30);

}  // namespace rk::test
