#include "ui/StartRows.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <array>

#include "ui/Controls.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

namespace rk {

QString ScanLine::word(int n) {
    static const std::array<const char*, 10> words{"no",   "one", "two",   "three", "four",
                                                   "five", "six", "seven", "eight", "nine"};
    if (n >= 0 && n < int(words.size())) {
        return QString::fromLatin1(words[size_t(n)]);
    }
    return QString::number(n);
}

QString ScanLine::text(int jobs, int gone) {
    QString head;
    if (jobs == 1) {
        head = QStringLiteral("One background job");
    } else {
        QString count = word(jobs);
        count[0] = count[0].toUpper();
        head = count + QStringLiteral(" background jobs");
    }
    if (jobs == 0) {
        return QStringLiteral("Nothing is in this Mac's startup folders.");
    }
    if (gone == 0) {
        return head +
               QStringLiteral(
                   " in this Mac's startup folders, and every one points at a program that is still here.");
    }
    if (gone != jobs) {
        return head + QStringLiteral(" in this Mac's startup folders; ") + word(gone) +
               QStringLiteral(" of them point") + (gone == 1 ? QStringLiteral("s") : QString()) +
               QStringLiteral(" at a program that is no longer there.");
    }
    if (jobs != 1) {
        return head +
               QStringLiteral(
                   " in this Mac's startup folders, and all of them point at programs that are no longer "
                   "there.");
    }
    return head +
           QStringLiteral(" in this Mac's startup folders points at a program that is no longer there.");
}

GrantRow::GrantRow(bool dark, const QString& title, const QString& why, bool on, QWidget* parent)
    : QWidget(parent),
      on_(on),
      heading_(makeLabel(title + (on ? QStringLiteral(": on") : QStringLiteral(": off")),
                         {.pixels = 13, .weight = QFont::Medium}, this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    row->addWidget(new SymbolView(on ? Symbol::checkmarkCircleFill : Symbol::circle, 17,
                                  on ? Palette::green(dark) : Palette::dim(dark), this),
                   0, Qt::AlignTop);
    auto* lines = new QVBoxLayout;
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(2);
    lines->addWidget(heading_);
    lines->addWidget(makeLabel(why, {.pixels = 12, .colour = Palette::dim(dark)}, this));
    row->addLayout(lines, 1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

}  // namespace rk
