#include "ui/PaneView.h"

#include <QHBoxLayout>
#include <QHash>
#include <QPainter>
#include <QPainterPath>

#include "app/model/AppModel.h"
#include "app/model/Fixtures.h"
#include "ui/AppActions.h"
#include "ui/BadgeAndBanner.h"
#include "ui/Controls.h"
#include "ui/ExplainCard.h"
#include "ui/FindingRow.h"
#include "ui/Palette.h"

namespace rk {

// --- PhotoView

PhotoView::PhotoView(const QImage& photo, QWidget* parent) : QWidget(parent), photo_(photo) {
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setAccessibleName(QStringLiteral("Photo of System Settings with the rows marked"));
}

int PhotoView::heightForWidth(int width) const {
    if (photo_.isNull() || photo_.width() == 0) {
        return 0;
    }
    return int(std::lround(double(width) * photo_.height() / photo_.width()));
}

QSize PhotoView::sizeHint() const {
    const QSizeF points = photo_.deviceIndependentSize();
    return {int(points.width()), int(points.height())};
}

void PhotoView::setPhoto(const QImage& photo) {
    const bool reshaped =
        photo.size() != photo_.size() || photo.deviceIndependentSize() != photo_.deviceIndependentSize();
    photo_ = photo;
    if (reshaped) {
        updateGeometry();
    }
    update();
}

void PhotoView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(rect()), 8, 8);
    painter.setClipPath(clip);
    painter.drawImage(QRectF(rect()), photo_);
}

// --- PaneView

QString PaneView::heading(Step step) {
    return step == Step::accessibility ? QStringLiteral("Accessibility")
                                       : QStringLiteral("Login Items & Extensions");
}

QString PaneView::why(Step step) {
    return step == Step::accessibility
               ? QStringLiteral(
                     "Apps and programs on this list can control your Mac. Old entries for programs "
                     "that are gone do nothing, but they make the list hard to read.")
               : QStringLiteral(
                     "These open when you log in or run in the background. Leftovers from apps that "
                     "are gone can be turned off.");
}

QString PaneView::removeTitle(Step step) {
    return step == Step::loginItems ? QStringLiteral("TURN OFF or REMOVE these:")
                                    : QStringLiteral("REMOVE these:");
}

QString PaneView::hiddenTitle(qsizetype count, bool open) {
    return (open ? QStringLiteral("Hide ") : QStringLiteral("Show ")) + QString::number(count) +
           QStringLiteral(" more that need nothing from you");
}

std::pair<QString, QColor> PaneView::removeMark(const Finding& f, const QSet<QString>& tickedOff, bool dark) {
    if (tickedOff.contains(f.id)) {
        return {QStringLiteral("✓"), Palette::green(dark)};
    }
    return {QStringLiteral("●"), Palette::red(dark)};
}

PaneView::Lists PaneView::split(const Decision& decision) {
    Lists lists;
    for (const Finding& f : decision.findings) {
        switch (f.verdict) {
            case Finding::Verdict::remove:
                lists.remove.append(f);
                break;
            case Finding::Verdict::keep:
                lists.keep.append(f);
                break;
            case Finding::Verdict::look:
                lists.look.append(f);
                break;
            case Finding::Verdict::hidden:
                lists.hidden.append(f);
                break;
        }
    }
    return lists;
}

PaneView::PaneView(AppModel& m, bool dark, QWidget* parent) : ModelPage(m, dark, 12, parent) {
    // The lists are drawn again only when what they show changes (a tick-off
    // comes with a new decision); a new photo (every 2 s while Screen
    // Recording is on) or an explanation touches its own part and leaves the
    // rows, their open evidence, a selection in it and the focus alone.
    for (auto signal : {&AppModel::stepChanged, &AppModel::decisionChanged, &AppModel::tccChanged,
                        &AppModel::btmChanged, &AppModel::demoChanged, &AppModel::tickedOffChanged}) {
        connect(&m, signal, this, &PaneView::scheduleBuild);
    }
    const std::pair<void (AppModel::*)(), Part> parts[] = {
        {&AppModel::photoChanged, photoPart},
        {&AppModel::grantsChanged, photoPart},
        {&AppModel::explanationsChanged, explainPart},
        {&AppModel::explainNoteChanged, explainPart},
        {&AppModel::explainPendingChanged, explainPart},
        {&AppModel::aiConsentChanged, explainPart},
        {&AppModel::macNameChanged, badgePart},
        {&AppModel::macModelChanged, badgePart},
    };
    for (const auto& [signal, part] : parts) {
        connect(&m, signal, this, [this, part = part] { scheduleParts(part); });
    }
    // The banner follows the guide in place, so its tint can fade.
    connect(&m, &AppModel::phaseChanged, this, &PaneView::updateBanner);
    connect(&m, &AppModel::bannerChanged, this, &PaneView::updateBanner);
    buildNow();
}

void PaneView::takeToggles(const ModelPage& earlier) {
    const auto* pane = qobject_cast<const PaneView*>(&earlier);
    if (pane == nullptr) {
        return;
    }
    showHidden_ = pane->showHidden_;
    openWhy_ = pane->openWhy_;
    buildNow();
}

void PaneView::updateParts(unsigned parts) {
    if (parts & photoPart) {
        updatePhoto();
    }
    if (parts & explainPart) {
        updateExplain();
    }
    if ((parts & badgePart) && badge_) {
        badge_->setMac(m_.macName(), m_.macModel());
    }
}

void PaneView::updatePhoto() {
    if (!photoSlot_) {
        return;
    }
    if (const std::optional<QImage>& photo = m_.photo(); photo && photoView_) {
        photoView_->setPhoto(*photo);
        return;
    }
    QWidget* block = photoBlock(photoSlot_);
    photoSlot_->setContent(block, block != nullptr);
}

void PaneView::updateExplain() {
    if (!explainSlot_) {
        return;
    }
    auto* card = new ExplainCard(m_, dark(), explainSlot_);
    explainSlot_->setContent(card, !card->isEmpty());
}

Banner* PaneView::banner() const {
    return banner_ && !m_.banner().isEmpty() ? banner_.data() : nullptr;
}

void PaneView::updateBanner() {
    if (banner_) {
        banner_->setState(m_.phase(), m_.banner());
        banner_->setVisible(!m_.banner().isEmpty());
    }
}

void PaneView::build(QVBoxLayout* body) {
    const Step step = m_.step();
    QWidget* page = contents();
    addLeading(body, makeLabel(heading(step), {.pixels = 22, .weight = QFont::Bold}, page));
    addLeading(body, makeLabel(why(step), {.pixels = 13, .colour = Palette::dim(dark())}, page));
    badge_ = new MacBadge(dark(), m_.macName(), m_.macModel(), page);
    addLeading(body, badge_);
    if (m_.storeNotOnThisComputer()) {
        addLeading(body, StoreProblem::noSuchList(dark(), page));
    } else if (const std::optional<StoreError> problem = m_.storeProblem()) {
        addLeading(body, new StoreProblem(
                             dark(), *problem, [] { AppActions::current().showPermissions(); }, page));
    }
    addLeading(body, openRow());

    if (!banner_) {
        banner_ = new Banner(dark(), m_.phase(), m_.banner(), page);
    } else {
        banner_->setParent(page);
    }
    updateBanner();
    addLeading(body, banner_);

    const Lists lists = split(m_.decision());
    if (!lists.keep.isEmpty()) {
        addLeading(body, keepCard(lists.keep));
    }
    addLeading(body, removeCard(lists.remove));
    if (!lists.look.isEmpty()) {
        addLeading(body, lookCard(lists.look));
    }
    photoSlot_ = new PageSlot(page);
    photoView_ = nullptr;
    updatePhoto();
    addLeading(body, photoSlot_);
    explainSlot_ = new PageSlot(page);
    updateExplain();
    addLeading(body, explainSlot_);
    addHidden(body, lists.hidden);

    AppModel* model = &m_;
    if (step == Step::accessibility) {
        addLeading(body, new PrimaryButton(
                             QStringLiteral("Next: Login Items  →"), [model] { model->go(Step::loginItems); },
                             page));
    } else {
        addLeading(body, new PrimaryButton(
                             QStringLiteral("Finish  →"), [model] { model->go(Step::done); }, page));
    }
}

QWidget* PaneView::openRow() {
    auto* row = new QWidget(contents());
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    AppModel* model = &m_;
    line->addWidget(new PrimaryButton(
        QStringLiteral("Open ") + heading(m_.step()) + QStringLiteral(" in System Settings"),
        [model] { model->openPane(); }, row));
    if (m_.demo() && !Fixtures::marketing) {
        line->addWidget(
            makeLabel(
                QStringLiteral("DEMO"),
                {.pixels = 11, .weight = QFont::ExtraBold, .colour = Palette::amber(dark()), .wrap = false},
                row),
            0, Qt::AlignVCenter);
    }
    line->addStretch(1);
    return row;
}

void PaneView::addRows(Card* card, const QString& list, const QList<Finding>& findings,
                       const std::function<std::pair<QString, QColor>(const Finding&)>& markOf) {
    QHash<QString, int> seen;
    for (const Finding& f : findings) {
        // Two findings may share an id; their place among equals keeps their toggles apart.
        const QString key = list + QLatin1Char(':') + f.id + QLatin1Char('#') + QString::number(seen[f.id]++);
        const auto [mark, colour] = markOf(f);
        card->add(new FindingRow(
            dark(), f, mark, colour, openWhy_.contains(key),
            [this, key](bool open) {
                if (open) {
                    openWhy_.insert(key);
                } else {
                    openWhy_.remove(key);
                }
            },
            SystemPaths::current(), card));
    }
}

QWidget* PaneView::keepCard(const QList<Finding>& keep) {
    auto* card = new Card(dark(), Palette::green(dark()), contents());
    card->add(makeLabel(QStringLiteral("KEEP these. Do not remove:"),
                        {.pixels = 13, .weight = QFont::ExtraBold, .colour = Palette::green(dark())}, card));
    const QColor green = Palette::green(dark());
    addRows(card, QStringLiteral("keep"), keep, [green](const Finding&) {
        return std::pair{QStringLiteral("✓"), green};
    });
    card->add(
        makeLabel(QStringLiteral(
                      "On the screen, rows to keep have a green KEEP box; rows to remove are marked in red."),
                  {.pixels = 11, .colour = Palette::dim(dark())}, card));
    return card;
}

QWidget* PaneView::removeCard(const QList<Finding>& remove) {
    auto* card = new Card(dark(), std::nullopt, contents());
    card->add(makeLabel(removeTitle(m_.step()), {.pixels = 13, .weight = QFont::ExtraBold}, card));
    // A list that does not exist on this computer is not waited for either.
    if (remove.isEmpty() && !m_.storeNotOnThisComputer()) {
        const QString line = m_.storeProblem() ? QStringLiteral("Waiting for the list.")
                                               : QStringLiteral("Nothing to remove here.");
        card->add(makeLabel(line, {.pixels = 13, .colour = Palette::dim(dark())}, card));
    }
    const QSet<QString> ticked = m_.tickedOff();
    const bool dark = this->dark();
    addRows(card, QStringLiteral("remove"), remove,
            [&ticked, dark](const Finding& f) { return removeMark(f, ticked, dark); });
    return card;
}

QWidget* PaneView::lookCard(const QList<Finding>& look) {
    const QColor amber = Palette::amber(dark());
    auto* card = new Card(dark(), amber, contents());
    card->add(makeLabel(QStringLiteral("Worth a look (nothing marked)"),
                        {.pixels = 13, .weight = QFont::ExtraBold, .colour = amber}, card));
    addRows(card, QStringLiteral("look"), look, [amber](const Finding&) {
        return std::pair{QStringLiteral("?"), amber};
    });
    return card;
}

QWidget* PaneView::photoBlock(QWidget* parent) {
    if (const std::optional<QImage>& photo = m_.photo()) {
        auto* card = new Card(dark(), std::nullopt, parent);
        card->add(makeLabel(QStringLiteral("The screen right now"),
                            {.pixels = 12, .weight = QFont::DemiBold, .colour = Palette::dim(dark())}, card));
        photoView_ = new PhotoView(*photo, card);
        card->add(photoView_);
        return card;
    }
    if (m_.step().pane() && !m_.grants().screen && !m_.demo()) {
        return makeLabel(
            QStringLiteral("The red and green marks are drawn right on System Settings. Turn on Screen "
                           "Recording to also see a photo here."),
            {.pixels = 11, .colour = Palette::dim(dark())}, parent);
    }
    // Screen Recording is on and the first photo has not come yet.
    return nullptr;
}

void PaneView::addHidden(QVBoxLayout* body, const QList<Finding>& hidden) {
    if (hidden.isEmpty()) {
        return;
    }
    addLeading(body, new TextButton(
                         hiddenTitle(hidden.size(), showHidden_),
                         {.pixels = 12, .weight = QFont::Medium, .colour = Palette::goldText(dark())},
                         [this] {
                             showHidden_ = !showHidden_;
                             scheduleBuild();
                         },
                         contents()));
    if (!showHidden_) {
        return;
    }
    auto* card = new Card(dark(), std::nullopt, contents());
    const QColor dim = Palette::dim(dark());
    addRows(card, QStringLiteral("hidden"), hidden, [dim](const Finding&) {
        return std::pair{QStringLiteral("·"), dim};
    });
    addLeading(body, card);
}

}  // namespace rk
