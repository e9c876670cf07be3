#include "movein/MoveInPage.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QTextBoundaryFinder>

#include "app/model/AppModel.h"
#include "app/model/Fixtures.h"
#include "app/model/Stats.h"
#include "movein/MoveInRows.h"
#include "movein/ReconnectView.h"
#include "permissions/PermissionWizard.h"
#include "ui/Controls.h"
#include "ui/Palette.h"

namespace rk {

namespace {

const QChar kBreakAfter(0x200B);  // zero width space: a line may break here
const QChar kKeepWhole(0x2060);   // word joiner: a line never breaks here

// `name` with a word joiner at every place a line could break inside it
// (after a hyphen or a space, say), so that it stays on one line.
QString keptWhole(const QString& name) {
    QString kept;
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, name);
    qsizetype from = 0;
    for (qsizetype at = breaks.toNextBoundary(); at > 0 && at < name.size(); at = breaks.toNextBoundary()) {
        kept += name.mid(from, at - from) + kKeepWhole;
        from = at;
    }
    return kept + name.mid(from);
}

// Copying from a label whose text carries break marks puts the text
// without them on the clipboard, by whichever way it was copied (the copy
// key, the context menu, or selecting on X11).
void copyWithoutBreakMarks(QLabel* label) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    QObject::connect(clipboard, &QClipboard::changed, label, [label, clipboard](QClipboard::Mode mode) {
        const QString copied = clipboard->text(mode);
        if (label->hasSelectedText() && copied == label->selectedText() &&
            copied != MoveInPage::withoutBreakMarks(copied))
            clipboard->setText(MoveInPage::withoutBreakMarks(copied), mode);
    });
}

}  // namespace

MoveInPage::MoveInPage(AppModel& m, bool dark, QWidget* parent) : MoveInPage(m, dark, Sources{}, parent) {}

MoveInPage::MoveInPage(AppModel& m, bool dark, Sources sources, QWidget* parent)
    : ModelPage(m, dark, 14, parent), sources_(std::move(sources)) {
    reload();
    connect(&m_, &AppModel::moveInEpochChanged, this, [this] {
        reload();
        scheduleBuild();
    });
    connect(&m_, &AppModel::movedFromChanged, this, &MoveInPage::scheduleBuild);
    buildNow();
}

MoveInPage::~MoveInPage() {
    if (reconnect_)
        reconnect_->stop();
}

QString MoveInPage::lead(const std::optional<QString>& movedFrom) {
    const QString rest =
        "Some things do not move with your files: reconnect them here, and I will tick each one off as it "
        "works again.";
    if (movedFrom && !movedFrom->isEmpty())
        return "This Mac was set up from " + *movedFrom + ". " + rest;
    return rest;
}

QString MoveInPage::listHint(const QString& listPath, const SystemPaths& paths) {
    QStringList names = paths.tilde(listPath).split('/');
    for (QString& name : names)
        name = keptWhole(name);
    return "Your own checklist of things to reconnect can go in " + names.join(QString('/') + kBreakAfter) +
           ".";
}

QString MoveInPage::withoutBreakMarks(QString text) {
    return text.remove(kBreakAfter).remove(kKeepWhole);
}

void MoveInPage::reload() {
    if (reconnect_)
        reconnect_->stop();
    QList<KTReconnectItem> items;
    if (m_.demo()) {
        items = MoveInRows::demo(&Fixtures::t);
        listHasRows_ = true;
    } else {
        const MoveInList list = MoveIn::loadList(MoveIn::readFile(sources_.listPath));
        listHasRows_ = !list.specs.isEmpty();
        items = MoveInRows::checklist(list, sources_.marksPath, SystemPaths::current(), &Stats::record);
        items += MoveInRows::permissions(
            sources_.permissions.value_or(KTPermissionWizard::configuredPermissions()));
    }
    reconnect_ = std::make_shared<KTReconnectModel>(items, nullptr, sources_.executor);
    reconnect_->start();
}

void MoveInPage::build(QVBoxLayout* body) {
    QWidget* parent = contents();
    body->addWidget(makeLabel("Move-In", {.pixels = 20, .weight = QFont::DemiBold}, parent));
    const std::optional<QString> from =
        m_.demo() ? std::optional<QString>(Fixtures::t("TEST Old Mac")) : m_.movedFrom();
    body->addWidget(
        makeLabel(lead(from), {.pixels = 13, .colour = Palette::dim(dark()), .wrap = true}, parent));
    if (!listHasRows_) {
        QLabel* hint = makeLabel(
            listHint(sources_.listPath),
            {.pixels = 12, .colour = Palette::dim(dark()), .wrap = true, .selectable = true}, parent);
        copyWithoutBreakMarks(hint);
        body->addWidget(hint);
    }
    body->addWidget(new KTReconnectView(reconnect_, dark(), parent));
}

void MoveInPage::showEvent(QShowEvent* event) {
    ModelPage::showEvent(event);
    if (reconnect_ && !reconnect_->isRunning())
        reconnect_->start();
}

void MoveInPage::hideEvent(QHideEvent* event) {
    ModelPage::hideEvent(event);
    if (reconnect_)
        reconnect_->stop();
}

}  // namespace rk
