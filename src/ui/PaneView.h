#pragma once
// The page of the two System Settings steps: the verdict for the page in
// four lists (remove, keep, look, hidden), the button that opens the real
// page, the guide banner, the marked photo, the explanation card and, when
// the page's store cannot be read, why.

#include <QImage>
#include <QPointer>
#include <QSet>

#include "app/model/Step.h"
#include "finder/Decision.h"
#include "ui/ModelPage.h"

namespace rk {

class Banner;
class MacBadge;
class PageSlot;

// The photo of System Settings, as wide as it is given and as tall as its
// aspect asks, with rounded corners.
class PhotoView : public QWidget {
    Q_OBJECT
public:
    explicit PhotoView(const QImage& photo, QWidget* parent = nullptr);
    // Shows the next photo in the same place.
    void setPhoto(const QImage& photo);
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    const QImage& photo() const { return photo_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage photo_;
};

class PaneView : public ModelPage {
    Q_OBJECT
public:
    PaneView(AppModel& m, bool dark, QWidget* parent = nullptr);

    static QString heading(Step step);
    static QString why(Step step);
    static QString removeTitle(Step step);
    // A remove finding's mark: a red dot, or a green tick once it is ticked off.
    static std::pair<QString, QColor> removeMark(const Finding& f, const QSet<QString>& tickedOff, bool dark);
    // "Show 3 more that need nothing from you" / "Hide 3 more …".
    static QString hiddenTitle(qsizetype count, bool open);

    struct Lists {
        QList<Finding> remove;
        QList<Finding> keep;
        QList<Finding> look;
        QList<Finding> hidden;
    };
    // The decision's findings by verdict, each in the decision's order.
    static Lists split(const Decision& decision);

    bool showsHidden() const { return showHidden_; }
    // The banner, while the model has a sentence.
    Banner* banner() const;

    void takeToggles(const ModelPage& earlier) override;

protected:
    void build(QVBoxLayout* body) override;
    void updateParts(unsigned parts) override;

private:
    // What a change of the model may touch without redrawing the lists,
    // whose rows hold the person's open evidence, selection and focus.
    enum Part : unsigned {
        photoPart = 1u << 0,    // the photo, or the Screen Recording hint
        explainPart = 1u << 1,  // the explanation card
        badgePart = 1u << 2,    // the Mac's name and model
    };

    void updateBanner();
    void updatePhoto();
    void updateExplain();
    QWidget* openRow();
    QWidget* keepCard(const QList<Finding>& keep);
    QWidget* removeCard(const QList<Finding>& remove);
    QWidget* lookCard(const QList<Finding>& look);
    // The photo card, the hint line, or nothing; made in `parent`.
    QWidget* photoBlock(QWidget* parent);
    void addHidden(QVBoxLayout* body, const QList<Finding>& hidden);
    // One row per finding; each remembers its "How I know" toggle under its
    // list, id and place among findings of the same id.
    void addRows(class Card* card, const QString& list, const QList<Finding>& findings,
                 const std::function<std::pair<QString, QColor>(const Finding&)>& markOf);

    bool showHidden_ = false;
    QSet<QString> openWhy_;
    QPointer<Banner> banner_;
    // The parts of the drawing under way that update in place.
    QPointer<MacBadge> badge_;
    QPointer<PageSlot> photoSlot_;
    QPointer<PhotoView> photoView_;
    QPointer<PageSlot> explainSlot_;
};

}  // namespace rk
