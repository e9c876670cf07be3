#pragma once
// The common ground of the main window's pages: each reads the shared
// `AppModel`, is drawn for one scheme, and redraws itself whole when a value
// it reads changes. The redraw is deferred to the event loop: a button's
// action may change the model, and the button must not be destroyed while
// its own click is still being handled. Several changes in a row give one
// redraw.

#include <QPointer>
#include <QVBoxLayout>
#include <QWidget>

namespace rk {

class AppModel;

class ModelPage : public QWidget {
    Q_OBJECT
public:
    AppModel& model() const { return m_; }
    bool dark() const { return dark_; }
    // Redraws now when a redraw is due (tests; the page capture).
    void refreshNow();
    // How many times the page was drawn (tests: a change redraws once).
    int builds() const { return builds_; }

protected:
    ModelPage(AppModel& m, bool dark, int spacing, QWidget* parent);
    // Fills `body` (a fresh vertical stack with the page's spacing) from the
    // model and the page's own toggles.
    virtual void build(QVBoxLayout* body) = 0;
    // Asks for a redraw on the next turn of the event loop.
    void scheduleBuild();
    // Draws the first time; subclasses call it at the end of their constructor.
    void buildNow();
    // The container that the drawing under way (or the last one) fills;
    // the parent for everything `build` makes.
    QWidget* contents() const { return contents_; }

    AppModel& m_;

private:
    bool dark_;
    int spacing_;
    bool due_ = false;
    int builds_ = 0;
    QPointer<QWidget> contents_;
    QVBoxLayout* outer_;
};

}  // namespace rk
