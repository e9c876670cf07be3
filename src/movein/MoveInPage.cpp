#include "movein/MoveInPage.h"

#include "app/model/AppModel.h"
#include "app/model/Fixtures.h"
#include "app/model/Stats.h"
#include "movein/MoveInRows.h"
#include "movein/ReconnectView.h"
#include "permissions/PermissionWizard.h"
#include "ui/Controls.h"
#include "ui/Palette.h"

namespace rk {

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
        body->addWidget(makeLabel(
            "Your own checklist of things to reconnect can go in " + sources_.listPath + ".",
            {.pixels = 12, .colour = Palette::dim(dark()), .wrap = true, .selectable = true}, parent));
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
