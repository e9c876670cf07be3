#include "movein/ReconnectView.h"

#include <QHBoxLayout>
#include <QMetaObject>

#include "ui/Controls.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

namespace rk {

KTReconnectView::KTReconnectView(std::shared_ptr<KTReconnectModel> model, bool dark, QWidget* parent)
    : QWidget(parent), model_(std::move(model)), dark_(dark), outer_(new QVBoxLayout(this)) {
    outer_->setContentsMargins(0, 0, 0, 0);
    outer_->setSpacing(0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    connect(model_.get(), &KTReconnectModel::changed, this, &KTReconnectView::scheduleBuild);
    build();
}

QString KTReconnectView::progressLine(int connected, int total) {
    return QString("%1 of %2 reconnected").arg(connected).arg(total);
}

void KTReconnectView::scheduleBuild() {
    if (due_)
        return;
    due_ = true;
    QMetaObject::invokeMethod(this, &KTReconnectView::refreshNow, Qt::QueuedConnection);
}

void KTReconnectView::refreshNow() {
    if (due_)
        build();
}

QWidget* KTReconnectView::row(int index, QWidget* parent) {
    const KTReconnectItem& item = model_->items().at(index);
    const KTReconnectResult& result = model_->results().at(index);
    const KTReconnectStatus& status = result.status;

    auto* widget = new QWidget(parent);
    auto* line = new QHBoxLayout(widget);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(10);
    switch (status.kind()) {
        case KTReconnectStatus::Kind::connected:
            line->addWidget(new SymbolView(Symbol::checkmarkCircleFill, 17, Palette::green(dark_), widget), 0,
                            Qt::AlignTop);
            break;
        case KTReconnectStatus::Kind::needsAction:
            line->addWidget(new SymbolView(Symbol::circle, 17, Palette::amber(dark_), widget), 0,
                            Qt::AlignTop);
            break;
        case KTReconnectStatus::Kind::checking:
            line->addWidget(new Spinner(Palette::dim(dark_), 17, widget), 0, Qt::AlignTop);
            break;
    }

    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(2);
    const QString title = item.optional ? item.title + " (optional)" : item.title;
    texts->addWidget(makeLabel(title, {.pixels = 13, .weight = QFont::Medium, .wrap = true}, widget));
    // What the check found; before the first answer, the row's how-to line.
    const QString found = status.text().value_or(status.isConnected() ? QString() : item.detail);
    if (!found.isEmpty()) {
        const QColor colour = status.isConnected() ? Palette::green(dark_) : Palette::dim(dark_);
        texts->addWidget(makeLabel(found, {.pixels = 12, .colour = colour, .wrap = true}, widget));
    }
    if (const std::optional<QString> refused = model_->refusal(index))
        texts->addWidget(
            makeLabel(*refused, {.pixels = 12, .colour = Palette::amber(dark_), .wrap = true}, widget));
    if (!item.note.isEmpty())
        texts->addWidget(
            makeLabel(item.note, {.pixels = 11, .colour = Palette::dim(dark_), .wrap = true}, widget));
    line->addLayout(texts, 1);

    const QString label = result.actionLabel;
    if (!label.isEmpty() && label != "Done" && status.kind() != KTReconnectStatus::Kind::checking) {
        // The view may be redrawn (and this button destroyed) by the model's
        // answer; the pointer guards the press against a model gone meanwhile.
        std::weak_ptr<KTReconnectModel> weak = model_;
        auto* button = new QuietButton(
            dark_, label,
            [weak, index] {
                if (auto model = weak.lock())
                    model->perform(index);
            },
            widget);
        line->addWidget(button, 0, Qt::AlignTop);
    }
    return widget;
}

void KTReconnectView::build() {
    due_ = false;
    auto* fresh = new QWidget(this);
    auto* body = new QVBoxLayout(fresh);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(12);

    const int total = static_cast<int>(model_->items().size());
    body->addWidget(makeLabel(progressLine(model_->connectedCount(), total),
                              {.pixels = 12, .weight = QFont::Medium, .colour = Palette::dim(dark_)}, fresh));

    Card* card = nullptr;
    QString group;
    for (int i = 0; i < total; ++i) {
        const QString rowGroup = model_->items().at(i).group;
        if (!card || rowGroup != group) {
            group = rowGroup;
            if (!group.isEmpty()) {
                body->addWidget(makeLabel(
                    group, {.pixels = 12, .weight = QFont::DemiBold, .colour = Palette::dim(dark_)}, fresh));
            }
            card = new Card(dark_, std::nullopt, fresh);
            body->addWidget(card);
        }
        card->add(row(i, card));
    }

    if (contents_) {
        contents_->hide();
        outer_->removeWidget(contents_);
        contents_->deleteLater();
    }
    contents_ = fresh;
    outer_->addWidget(fresh);
    ++builds_;
}

}  // namespace rk
