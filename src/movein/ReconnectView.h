#pragma once
// The reconnect rows on screen: per group a card; per row its status glyph
// (a green check when connected, a ring when it needs the person, a spinner
// while checking), its title, what the check found, what its last press
// could not do (nothing here opened its link) and the button of the
// moment. It follows its model: a change redraws the rows on the next turn
// of the event loop, so a button is never destroyed inside its own click.

#include <QPointer>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>

#include "movein/ReconnectModel.h"

namespace rk {

class KTReconnectView : public QWidget {
    Q_OBJECT
public:
    // Keeps the model alive as long as the view shows it.
    KTReconnectView(std::shared_ptr<KTReconnectModel> model, bool dark, QWidget* parent = nullptr);

    KTReconnectModel& model() const { return *model_; }
    // "2 of 5 reconnected".
    static QString progressLine(int connected, int total);
    // Redraws now when a redraw is due (tests; the page capture).
    void refreshNow();
    int builds() const { return builds_; }

private:
    void scheduleBuild();
    void build();
    QWidget* row(int index, QWidget* parent);

    std::shared_ptr<KTReconnectModel> model_;
    bool dark_;
    bool due_ = false;
    int builds_ = 0;
    QVBoxLayout* outer_;
    QPointer<QWidget> contents_;
};

}  // namespace rk
