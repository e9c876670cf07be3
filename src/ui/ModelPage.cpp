#include "ui/ModelPage.h"

#include <QMetaObject>
#include <utility>

namespace rk {

// --- PageSlot

PageSlot::PageSlot(QWidget* parent) : QWidget(parent) {
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void PageSlot::setContent(QWidget* content, bool shown) {
    if (content_ && content_ != content) {
        // Later, not now: one of its buttons may be the caller.
        content_->hide();
        layout()->removeWidget(content_);
        content_->deleteLater();
    }
    content_ = content;
    if (content != nullptr) {
        layout()->addWidget(content);
        if (shown) {
            content->show();
        }
    }
    setVisible(content != nullptr && shown);
}

// --- ModelPage

ModelPage::ModelPage(AppModel& m, bool dark, int spacing, QWidget* parent)
    : QWidget(parent), m_(m), dark_(dark), spacing_(spacing), outer_(new QVBoxLayout(this)) {
    outer_->setContentsMargins(0, 0, 0, 0);
    outer_->setSpacing(0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void ModelPage::scheduleBuild() {
    due_ = true;
    queueRefresh();
}

void ModelPage::scheduleParts(unsigned parts) {
    partsDue_ |= parts;
    queueRefresh();
}

void ModelPage::queueRefresh() {
    if (queued_) {
        return;
    }
    queued_ = true;
    QMetaObject::invokeMethod(this, &ModelPage::refreshNow, Qt::QueuedConnection);
}

void ModelPage::refreshNow() {
    queued_ = false;
    if (due_) {
        buildNow();
        return;
    }
    if (partsDue_ != 0) {
        const unsigned parts = std::exchange(partsDue_, 0u);
        updateParts(parts);
    }
}

void ModelPage::updateParts(unsigned) {
    // A page that names no parts redraws whole instead.
}

void ModelPage::takeToggles(const ModelPage&) {}

void ModelPage::buildNow() {
    due_ = false;
    partsDue_ = 0;
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
