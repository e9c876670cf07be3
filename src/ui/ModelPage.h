#pragma once
// The common ground of the main window's pages: each reads the shared
// `AppModel`, is drawn for one scheme, and redraws itself whole when a value
// it reads changes, or only the parts that value touches when the page says
// which (so a new photo does not take away a selection, the focus or a held
// press elsewhere on the page). Redraws are deferred to the event loop: a
// button's action may change the model, and the button must not be
// destroyed while its own click is still being handled. Several changes in a
// row give one redraw.

#include <QPointer>
#include <QVBoxLayout>
#include <QWidget>

namespace rk {

class AppModel;

// A place in a page whose content is made again on its own, without the
// rest of the page. Hidden, and so taking no room or spacing, while it has
// nothing to show.
class PageSlot : public QWidget {
    Q_OBJECT
public:
    explicit PageSlot(QWidget* parent = nullptr);
    QWidget* content() const { return content_; }
    // Puts `content` (made with this slot as its parent, or nullptr) in
    // place of the old one, which goes once its events are done; `shown`
    // false keeps the slot out of the page.
    void setContent(QWidget* content, bool shown = true);

private:
    QPointer<QWidget> content_;
};

class ModelPage : public QWidget {
    Q_OBJECT
public:
    AppModel& model() const { return m_; }
    bool dark() const { return dark_; }
    // Redraws now when a redraw is due (tests; the page capture).
    void refreshNow();
    // How many times the page was drawn whole (tests: a change redraws once).
    int builds() const { return builds_; }

    // Takes over the view-local toggles of `earlier`, a page of the same kind
    // that this one replaces (the window was made again for another colour
    // scheme), and redraws with them. The default has no toggles to take.
    virtual void takeToggles(const ModelPage& earlier);

protected:
    ModelPage(AppModel& m, bool dark, int spacing, QWidget* parent);
    // Fills `body` (a fresh vertical stack with the page's spacing) from the
    // model and the page's own toggles.
    virtual void build(QVBoxLayout* body) = 0;
    // Asks for a redraw on the next turn of the event loop.
    void scheduleBuild();
    // Asks for `updateParts` with these parts (the page's own bit flags) on
    // the next turn of the event loop; a whole redraw due by then covers them.
    void scheduleParts(unsigned parts);
    // Brings the given parts up to date with the model without redrawing
    // the rest of the page.
    virtual void updateParts(unsigned parts);
    // Draws the first time; subclasses call it at the end of their constructor.
    void buildNow();
    // The container that the drawing under way (or the last one) fills;
    // the parent for everything `build` makes.
    QWidget* contents() const { return contents_; }

    AppModel& m_;

private:
    void queueRefresh();

    bool dark_;
    int spacing_;
    bool due_ = false;
    bool queued_ = false;
    unsigned partsDue_ = 0;
    int builds_ = 0;
    QPointer<QWidget> contents_;
    QVBoxLayout* outer_;
};

}  // namespace rk
