#pragma once
// The whole content of the main window: a header with the app's tile, its
// name and one tab per step; the page of the current step in a scrolling
// area; and a footer with the model's notice when it has one, the Mac's name
// and model, the version line and the gear that opens the settings card.
//
// The root holds the one `dark` flag (the desktop's scheme, or an explicit
// override for tests and the page capture) and hands it to everything it
// builds. Which page shows is `AppModel::step`; the tabs only ask the model
// to change it.

#include <QAbstractButton>
#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QWidget>
#include <functional>
#include <optional>

#include "app/model/Step.h"

namespace rk {

class AppModel;
class ElidedLabel;
class SettingsCard;

// One step's tab: a gold capsule with dark semibold text when current, dim
// regular text on nothing otherwise.
class StepTab : public QAbstractButton {
    Q_OBJECT
public:
    StepTab(bool dark, Step step, bool current, QWidget* parent = nullptr);
    Step step() const { return step_; }
    bool isCurrent() const { return current_; }
    void setCurrent(bool current);
    QColor fillColour() const;
    QColor titleColour() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    bool dark_;
    Step step_;
    bool current_;
};

// The settings card in a transient window above the gear: a click outside
// closes it. It belongs to the root view, not to the gear, so it outlives
// the gear when the window is drawn again for another scheme.
class SettingsPopover : public QWidget {
    Q_OBJECT
public:
    // `arrow`: rounded, with an arrow at the gear, on a see-through window.
    // `plain`: the card edge to edge with its hairline, for a desktop whose
    // see-through pixels would come out black (see Appearance).
    enum class Look { arrow, plain };
    static Look lookForDesktop();

    SettingsPopover(AppModel& m, bool dark, QWidget* anchor, QWidget* owner, Look look = lookForDesktop());
    Look look() const { return look_; }
    SettingsCard* card() const { return card_; }
    // Places it above `anchor`, its arrow edge at the bottom, inside
    // `anchor`'s window and the screen.
    void placeAbove(QWidget* anchor);
    // Draws the open card again for another scheme, its switches as the
    // person left them, and places it above `anchor` (the new gear).
    void redraw(bool dark, QWidget* anchor);

signals:
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    AppModel& m_;
    bool dark_;
    Look look_;
    QPointer<QWidget> anchor_;
    SettingsCard* card_;
};

class RootView : public QWidget {
    Q_OBJECT
public:
    // `dark`: none follows the desktop's scheme.
    explicit RootView(AppModel& m, std::optional<bool> dark = std::nullopt, QWidget* parent = nullptr);
    ~RootView() override;

    bool dark() const { return dark_; }
    // Draws everything again for the scheme; none follows the desktop again.
    void setDarkOverride(std::optional<bool> dark);

    // The page now shown, and the step it was made for.
    QWidget* page() const { return page_; }
    const QList<StepTab*>& tabs() const { return tabs_; }
    QAbstractButton* gear() const { return gear_; }
    QScrollArea* pageArea() const { return scroll_; }
    // The footer's Mac line as a whole ("name · model").
    QString macLine() const;
    static QString macLine(const QString& name, const QString& model);
    QString versionLine() const;
    // The footer's notice as shown; empty while it is hidden.
    QString noticeShown() const;

    bool showsSettings() const { return popover_ != nullptr; }
    SettingsCard* settingsCard() const;
    // The gear's action: opens a fresh card, or closes the open one.
    void toggleSettings();

    // Makes the Move-In step's page. The page lives in a folder above this
    // one, so the shell installs its factory at launch; without one the step
    // shows an empty page.
    using PageFactory = std::function<QWidget*(AppModel& m, bool dark, QWidget* parent)>;
    static void setMoveInPageFactory(PageFactory make);

    // Makes any step's page, as the root view would.
    static QWidget* makePage(AppModel& m, Step step, bool dark, QWidget* parent = nullptr);

    // Makes pending changes visible now (tests; the page capture).
    void refreshNow();

protected:
    bool focusNextPrevChild(bool next) override;

private:
    enum class Kind { start, pane, moveIn, done };
    static Kind kindOf(Step step);

    void buildAll();
    // Draws everything again when the desktop switched schemes, unless the
    // scheme was set for this view.
    void followDesktop();
    // Gives the widgets just made their places now rather than on the next
    // turn of the event loop.
    void layOutNow();
    QWidget* header();
    QWidget* footer();
    void syncPage();
    void schedulePageSync();
    void updateTabs();
    void updateFooter();

    AppModel& m_;
    std::optional<bool> override_;
    bool dark_;
    bool syncDue_ = false;
    QList<StepTab*> tabs_;
    QAbstractButton* gear_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QWidget* pageHolder_ = nullptr;
    QPointer<QWidget> page_;
    std::optional<Kind> pageKind_;
    ElidedLabel* macLabel_ = nullptr;
    QLabel* versionLabel_ = nullptr;
    QLabel* noticeLabel_ = nullptr;
    QPointer<SettingsPopover> popover_;
};

}  // namespace rk
