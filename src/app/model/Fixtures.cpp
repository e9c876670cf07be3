#include "app/model/Fixtures.h"

#include <QColorSpace>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "finder/MarkPainter.h"

namespace rk {

QString Fixtures::sampleJobKey() {
    return "8." + sampleJobID();
}

const QList<Fixtures::Rename>& Fixtures::marketingNames() {
    static const QList<Rename> names{
        {"/private/tmp/TEST-old-helper", "/Library/Application Support/Quillfern/quillfern-helper"},
        {"a program in a temporary folder", "a helper left behind by an app that was removed"},
        {"TEST Sample App: Accessibility", "Marblewick Notes: Accessibility"},
        {"TEST Sample Account sign-in", "Marblewick Account sign-in"},
        {"TEST Sample Utility", "Cinderwell Clipboard"},
        {"TEST: Old Helper", "Quillfern Helper"},
        {"TEST: Sample App", "Marblewick Notes"},
        {"TEST Sample App", "Marblewick Notes"},
        {"TEST: Ghost App", "Glimmerfold Capture"},
        {"TEST Ghost App", "Glimmerfold Capture"},
        {"TEST Gone", "Glimmerfold Capture"},
        {sampleAppID(), "com.marblewick.notes"},
        {ghostAppID(), "com.glimmerfold.capture"},
        {sampleJobID(), "local.mira.nightly-backup"},
        {updaterID(), "com.glimmerfold.capture.updater"},
        {"One of your own background jobs (TEST sample), still in use.",
         "One of your own background jobs, still in use."},
        {"TEST Sample Mac", QString::fromUtf8("Mira\u2019s MacBook Air")},
        {"TEST Old Mac", QString::fromUtf8("Mira\u2019s iMac")},
    };
    return names;
}

QString Fixtures::t(const QString& text) {
    if (!marketing)
        return text;
    QString result = text;
    for (const Rename& rename : marketingNames())
        result.replace(rename.from, rename.to, Qt::CaseSensitive);
    return result;
}

namespace {

struct RowPlan {
    PaneSection section;
    const char* title;
    int index;
    double offset;  // from the made-up window's top
    double height;
    bool blank;
};

PaneRow makeRow(const RowPlan& plan) {
    const bool background = plan.section == PaneSection::background;
    return PaneRow{plan.section,
                   Fixtures::t(QString::fromUtf8(plan.title)),
                   Rect{330, Fixtures::photoWindow.y + plan.offset, 460, plan.height},
                   plan.index,
                   !background,
                   plan.blank};
}

Candidate makeCandidate(const QString& key, const QString& name, const Liveness& liveness,
                        const std::optional<QString>& testWhy, const QString& kindWord) {
    auto t = Fixtures::t;
    Liveness shown = liveness;
    switch (liveness.kind()) {
        case Liveness::Kind::live:
            shown = Liveness::live(t(liveness.evidence()));
            break;
        case Liveness::Kind::gone:
            shown = Liveness::gone(t(liveness.evidence()));
            break;
        case Liveness::Kind::driveNotConnected:
            shown = Liveness::driveNotConnected(t(liveness.evidence()));
            break;
        case Liveness::Kind::apple:
            break;
    }
    return Candidate{t(key),   {t(name)}, shown, testWhy ? std::optional(t(*testWhy)) : std::nullopt,
                     kindWord, {}};
}

}  // namespace

QList<PaneRow> Fixtures::rows(Step step) {
    QList<RowPlan> plans;
    if (step == Step::accessibility) {
        plans = {
            {PaneSection::accessibility, "bash", 0, 76, 36, false},
            {PaneSection::accessibility, "bash", 1, 116, 36, true},
            {PaneSection::accessibility, "TEST: Old Helper", 2, 156, 36, true},
            {PaneSection::accessibility, "TEST: Sample App", 3, 196, 36, false},
        };
    } else if (step == Step::loginItems) {
        plans = {
            {PaneSection::openAtLogin, "TEST: Sample App", 0, 86, 36, false},
            {PaneSection::background, "TEST: Ghost App", 0, 170, 44, true},
            {PaneSection::background, "python3", 1, 222, 44, false},
        };
    }
    QList<PaneRow> result;
    for (const RowPlan& plan : plans)
        result << makeRow(plan);
    return result;
}

QList<Candidate> Fixtures::candidates(Step step) {
    if (step == Step::accessibility) {
        return {
            makeCandidate("/private/tmp/TEST-old-helper", "TEST: Old Helper",
                          Liveness::gone("nothing at /private/tmp/TEST-old-helper"),
                          QStringLiteral("a program in a temporary folder"), "program"),
            makeCandidate("/opt/homebrew/Cellar/bash/5.2/bin/bash", "bash",
                          Liveness::gone("an older Homebrew version; Homebrew moved it when it upgraded"),
                          std::nullopt, "program"),
            makeCandidate("/bin/bash", "bash", Liveness::live("found at /bin/bash"), std::nullopt, "program"),
            makeCandidate(sampleAppID(), "TEST: Sample App",
                          Liveness::live("installed at /Applications/TEST Sample App.app"), std::nullopt,
                          "app"),
        };
    }
    if (step == Step::loginItems) {
        return {
            makeCandidate("2." + ghostAppID(), "TEST: Ghost App",
                          Liveness::gone("nothing at /Applications/TEST Ghost App.app"), std::nullopt, "app"),
            makeCandidate(sampleJobKey(), "python3",
                          Liveness::live("found at ~/Library/LaunchAgents/" + sampleJobID() + ".plist"),
                          std::nullopt, "background job"),
        };
    }
    return {};
}

QList<Fixtures::Heading> Fixtures::headings(Step step) {
    if (step == Step::accessibility)
        return {{"Allow the applications below to control your computer.", 52}};
    if (step == Step::loginItems)
        return {{"Open at Login", 62}, {"Allow in the Background", 146}};
    return {};
}

QList<ExplainItem> Fixtures::explainItems(Step step) {
    if (step != Step::loginItems)
        return {};
    return {ExplainItem{t(sampleJobKey()), t("python3"), t(sampleJobID()), t("python3"), std::nullopt}};
}

namespace {

constexpr double kScale = 2;

QColor white(double level) {
    return QColor::fromRgbF(level, level, level);
}

QFont systemFont(int pixels, QFont::Weight weight) {
    QFont font;
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

// Text whose top-left corner is at `at`, as the Mac draws a string at a point
// in a flipped view (Qt's drawText at a point would put the baseline there).
void drawText(QPainter& painter, const QPointF& at, const QString& text) {
    painter.drawText(QRectF(at, QSizeF(10000, 10000)), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     text);
}

void fillRounded(QPainter& painter, const QRectF& rect, double radius, const QColor& colour) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    painter.fillPath(path, colour);
}

void drawRow(QPainter& painter, const PaneRow& row, const Rect& window) {
    const QRectF frame(row.frame.x - window.x, row.frame.y - window.y, row.frame.width, row.frame.height);
    fillRounded(painter, frame, 6, Qt::white);
    const double middle = frame.center().y();
    const bool blank = row.iconBlank.value_or(false);
    fillRounded(painter, QRectF(frame.left() + 5, middle - 8, 16, 16), 4,
                blank ? white(0.93) : QColor::fromRgb(0, 122, 255));
    painter.setFont(systemFont(13, QFont::Normal));
    painter.setPen(Qt::black);
    drawText(painter, QPointF(frame.left() + 28, middle - 8), row.title);
}

}  // namespace

std::optional<QImage> Fixtures::photo(Step step, const Decision& decision) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return std::nullopt;
    const QList<PaneRow> rowList = rows(step);
    double bottom = photoWindow.y + photoWindow.height;
    if (!rowList.isEmpty()) {
        bottom = 0;
        for (const PaneRow& row : rowList)
            bottom = std::max(bottom, row.frame.y + row.frame.height);
    }
    const Rect window{photoWindow.x, photoWindow.y, photoWindow.width, bottom - photoWindow.y + 24};

    QImage image(QSize(int(window.width * kScale), int(window.height * kScale)),
                 QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return std::nullopt;
    image.setColorSpace(QColorSpace::SRgb);
    {
        QPainter painter(&image);
        if (!painter.isActive())
            return std::nullopt;
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.scale(kScale, kScale);
        painter.fillRect(QRectF(0, 0, window.width, window.height), white(0.96));

        painter.setFont(systemFont(15, QFont::DemiBold));
        painter.setPen(white(1.0 / 3.0));
        drawText(painter, QPointF(20, 18),
                 marketing ? QStringLiteral("System Settings")
                           : QString::fromUtf8("DEMO  \u00B7  System Settings (made-up rows)"));

        painter.setFont(systemFont(12, QFont::DemiBold));
        painter.setPen(white(0.5));
        for (const Heading& heading : headings(step))
            drawText(painter, QPointF(30, heading.y), heading.text);

        for (const PaneRow& row : rowList)
            drawRow(painter, row, window);
    }

    auto painted = MarkPainter::annotate(image, window, decision.marks, std::nullopt);
    if (!painted || painted->isNull())
        return std::nullopt;
    QImage result = *painted;
    result.setDevicePixelRatio(kScale);
    return result;
}

}  // namespace rk
