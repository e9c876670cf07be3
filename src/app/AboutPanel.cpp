#include "app/AboutPanel.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app/model/AppInfo.h"
#include "ui/Controls.h"
#include "ui/Monogram.h"
#include "ui/Palette.h"
#include "ui/Rendering.h"
#include "ui/SchemeWatch.h"

namespace rk {

AboutView::AboutView(QWidget* parent) : QWidget(parent), dark_(Scheme::systemIsDark()) {
    new SchemeWatch([this] { followDesktop(); }, this);
    build();
}

AboutView::AboutView(bool dark, QWidget* parent) : QWidget(parent), dark_(dark) {
    build();
}

void AboutView::followDesktop() {
    const bool now = Scheme::systemIsDark();
    if (now != dark_) {
        dark_ = now;
        build();
    }
}

void AboutView::build() {
    // The texts of the other scheme go once their events are done.
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        child->hide();
        child->deleteLater();
    }
    delete layout();

    applyScheme(this, dark_);
    setMinimumSize(width, height);

    auto* stack = new QVBoxLayout(this);
    stack->setSpacing(10);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->addStretch(1);

    stack->addWidget(new Monogram(64, this), 0, Qt::AlignHCenter);

    // The one-line texts keep their whole width: centred in the stack, a
    // wrapping label would be given less and show its first word alone.
    stack->addWidget(makeLabel(title(), TextStyle{.pixels = 18, .weight = QFont::Bold, .wrap = false}, this),
                     0, Qt::AlignHCenter);

    version_ = makeLabel(
        AppInfo::versionLine(),
        TextStyle{.pixels = 12, .colour = Palette::dim(dark_), .wrap = false, .selectable = true}, this);
    stack->addWidget(version_, 0, Qt::AlignHCenter);

    QLabel* what =
        makeLabel(sentence(), TextStyle{.pixels = 12, .colour = Palette::dim(dark_), .wrap = true}, this);
    what->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    auto* inset = new QHBoxLayout();
    inset->setContentsMargins(24, 0, 24, 0);
    inset->addWidget(what);
    stack->addLayout(inset);

    stack->addWidget(
        makeLabel(maker(), TextStyle{.pixels = 11, .colour = Palette::dim(dark_), .wrap = false}, this), 0,
        Qt::AlignHCenter);
    stack->addStretch(1);
}

}  // namespace rk
