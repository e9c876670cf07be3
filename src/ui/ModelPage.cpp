#include "ui/ModelPage.h"

#include <QMetaObject>

namespace rk {

ModelPage::ModelPage(AppModel& m, bool dark, int spacing, QWidget* parent)
    : QWidget(parent), m_(m), dark_(dark), spacing_(spacing), outer_(new QVBoxLayout(this)) {
    outer_->setContentsMargins(0, 0, 0, 0);
    outer_->setSpacing(0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void ModelPage::scheduleBuild() {
    if (due_) {
        return;
    }
    due_ = true;
    QMetaObject::invokeMethod(this, &ModelPage::refreshNow, Qt::QueuedConnection);
}

void ModelPage::refreshNow() {
    if (!due_) {
        return;
    }
    buildNow();
}

void ModelPage::buildNow() {
    due_ = false;
    QPointer<QWidget> old = contents_;
    auto* fresh = new QWidget(this);
    contents_ = fresh;
    auto* body = new QVBoxLayout(fresh);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(spacing_);
    build(body);
    if (old) {
        // Later, not now: one of its buttons may be the caller.
        old->hide();
        outer_->removeWidget(old);
        old->deleteLater();
    }
    outer_->addWidget(fresh);
    ++builds_;
}

}  // namespace rk
