#include "app/AboutPanel.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app/model/AppInfo.h"
#include "ui/Controls.h"
#include "ui/Monogram.h"
#include "ui/Palette.h"
#include "ui/Rendering.h"

namespace rk {

AboutView::AboutView(QWidget* parent) : AboutView(Scheme::systemIsDark(), parent) {}

AboutView::AboutView(bool dark, QWidget* parent) : QWidget(parent), dark_(dark) {
    applyScheme(this, dark);
    setMinimumSize(width, height);

    auto* stack = new QVBoxLayout(this);
    stack->setSpacing(10);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->addStretch(1);

    stack->addWidget(new Monogram(64, this), 0, Qt::AlignHCenter);

    stack->addWidget(makeLabel(title(), TextStyle{.pixels = 18, .weight = QFont::Bold}, this), 0,
                     Qt::AlignHCenter);

    version_ = makeLabel(AppInfo::versionLine(),
                         TextStyle{.pixels = 12, .colour = Palette::dim(dark), .selectable = true}, this);
    stack->addWidget(version_, 0, Qt::AlignHCenter);

    QLabel* what =
        makeLabel(sentence(), TextStyle{.pixels = 12, .colour = Palette::dim(dark), .wrap = true}, this);
    what->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    auto* inset = new QHBoxLayout();
    inset->setContentsMargins(24, 0, 24, 0);
    inset->addWidget(what);
    stack->addLayout(inset);

    stack->addWidget(makeLabel(maker(), TextStyle{.pixels = 11, .colour = Palette::dim(dark)}, this), 0,
                     Qt::AlignHCenter);
    stack->addStretch(1);
}

}  // namespace rk
