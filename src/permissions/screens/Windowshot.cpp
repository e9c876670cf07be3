#include "permissions/screens/Windowshot.h"

#include <QAbstractScrollArea>
#include <QGuiApplication>
#include <QLocale>
#include <QPalette>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "permissions/PermissionWizard.h"
#include "permissions/identity/LegacyRepairDiscovery.h"
#include "permissions/screens/DragCompanionCard.h"
#include "permissions/screens/PermissionWizardView.h"
#include "platform/OutputFolder.h"
#include "ui/OffscreenImage.h"
#include "ui/Rendering.h"

namespace rk {

namespace {

// Half a point either way is the same picture.
constexpr double kTolerance = 0.5;

QString scheme(bool dark) {
    return dark ? "dark" : "light";
}

// The machine's answers, but a rendering changes nothing: no relaunch, no
// user default and no permission record is written.
KTWizardEnvironment readOnlyEnvironment() {
    KTWizardEnvironment environment = KTWizardEnvironment::host();
    environment.setRelaunchTried = [](const QString&, bool) {};
    environment.relaunch = [](bool) {};
    environment.writeRecord = [] {};
    return environment;
}

KTWizardForcing forcing(const KTWindowshot::Frame& frame, const QList<KTPermission>& permissions) {
    KTGrantMap grants;
    for (const KTPermission& p : permissions)
        grants[p.id] = frame.granted.contains(p.id);
    return KTWizardForcing{.initialStep = frame.step,
                           .grants = grants,
                           .didAsk = frame.asked,
                           .tickedDead = QSet<QString>{},
                           .relaunched = false,
                           .legacyNotice = frame.legacyNotice};
}

// The first scroll view in the widgets' order, not looking inside one;
// widgets that are not shown are passed over.
QAbstractScrollArea* firstScrollView(const QWidget& parent) {
    for (QObject* child : parent.children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget->isHidden())
            continue;
        if (auto* scroll = qobject_cast<QAbstractScrollArea*>(widget))
            return scroll;
        if (QAbstractScrollArea* found = firstScrollView(*widget))
            return found;
    }
    return nullptr;
}

// How much taller the first scroll view's document is than its visible
// area; none without a scroll view or a document in it.
std::optional<double> documentExcess(const QWidget& host) {
    auto* scroll = qobject_cast<QScrollArea*>(firstScrollView(host));
    if (!scroll || !scroll->widget())
        return std::nullopt;
    return double(scroll->widget()->height() - scroll->viewport()->height());
}

// Encodes and writes one image as `name` in the folder and says so; a failed
// or refused write is reported with its reason and not counted, an image
// that could not be made or encoded is left out.
bool save(const std::optional<QImage>& image, const OutputFolder& folder, const QString& outDir,
          const QString& name, const QString& verdict, QTextStream& out, QTextStream& err) {
    if (!image)
        return false;
    const std::optional<QByteArray> png = OffscreenImage::png(*image);
    if (!png)
        return false;
    // The folder as given, "/" and the name: what the person typed, unchanged.
    const QString path = outDir + "/" + name;
    if (const auto written = folder.write(name, *png); !written) {
        err << "windowshot: could not write " << path << ": " << written.error() << '\n';
        err.flush();
        return false;
    }
    out << "wrote " << path << (verdict.isEmpty() ? QString() : "  " + verdict) << '\n';
    out.flush();
    return true;
}

}  // namespace

void KTWindowshot::install() {
    KTPermissionWizard::renderScreens = [](const QString& outDir) {
        QTextStream out(stdout);
        QTextStream err(stderr);
        const char* const name = "KT_WINDOWSHOT_HEIGHT";
        const std::optional<QString> variable =
            qEnvironmentVariableIsSet(name) ? std::optional(qEnvironmentVariable(name)) : std::nullopt;
        return run(*KTPermissionWizard::brand(), KTPermissionWizard::product(),
                   KTPermissionWizard::configuredPermissions(), outDir, height(variable), out, err,
                   &OffscreenImage::settle);
    };
}

QList<KTWindowshot::Frame> KTWindowshot::frames(const KTWizardProduct& product,
                                                const QList<KTPermission>& permissions) {
    QList<Frame> frames{{.name = "summary", .step = -1}};
    for (int index = 0; index < permissions.size(); ++index) {
        const QString& id = permissions[index].id;
        frames << Frame{.name = id, .step = index}
               << Frame{.name = id + "-waiting", .step = index, .asked = true}
               << Frame{.name = id + "-granted", .step = index, .granted = {id}};
        if (!product.legacyBundleIdentifiers.isEmpty() &&
            KTLegacyIdentityRepair::tccService(permissions[index].settingsURL)) {
            frames << Frame{.name = id + "-legacy-cleared", .step = index, .legacyNotice = true};
        }
    }
    frames << Frame{.name = "done", .step = int(permissions.size())};
    return frames;
}

double KTWindowshot::height(const std::optional<QString>& variable) {
    bool isNumber = false;
    const double value =
        variable && *variable == variable->trimmed() ? QLocale::c().toDouble(*variable, &isNumber) : 0;
    // Only a height a window can have: nan, infinities and absurd sizes
    // would make the rounding of the verdicts and the printed height meaningless.
    if (!isNumber || !std::isfinite(value) || value < lowestHeight || value > highestHeight)
        return KTPermissionWizard::contentHeight;
    return value;
}

KTWindowshot::Verdict KTWindowshot::verdict(double height, std::optional<double> documentExcess) {
    const double shortBy = minHeight - height;
    if (shortBy > kTolerance) {
        return {.text = QString("CLIPPED by %1pt (window below the %2pt minimum)")
                            .arg(std::lround(shortBy))
                            .arg(minHeight),
                .problem = true};
    }
    if (!documentExcess)
        return {.text = "fit NOT MEASURED (no scroll view on this screen)"};
    if (*documentExcess > kTolerance)
        return {.text = QString("OVERFLOWS by %1pt").arg(std::lround(*documentExcess)), .problem = true};
    return {.text = "fits"};
}

QString KTWindowshot::cardPaneName(const QList<KTPermission>& permissions) {
    QString longest;
    for (const KTPermission& p : permissions) {
        const QString name = p.paneTitle();
        if (name.size() > longest.size())
            longest = name;
    }
    return longest;
}

int KTWindowshot::run(const KTWizardBrand& brand, const KTWizardProduct& product,
                      const QList<KTPermission>& permissions, const QString& outDir, double height,
                      QTextStream& out, QTextStream& err, const Settle& settle) {
    // Spinners stand still: the same picture every time.
    const StaticRenderingScope still;
    const OutputFolder folder(outDir);
    const QList<Frame> screens = frames(product, permissions);
    const KTWizardEnvironment environment = readOnlyEnvironment();
    const int pixelsHigh = int(std::lround(height));
    const QColor windowGround = QGuiApplication::palette().color(QPalette::Window);
    int written = 0;
    QStringList problems;

    for (const bool dark : {true, false}) {
        for (const Frame& frame : screens) {
            QWidget host;
            host.setFixedSize(width, pixelsHigh);
            auto* view = new KTPermissionWizardView(
                brand, product, permissions, [] {}, forcing(frame, permissions), environment, &host);
            view->setDarkOverride(dark);
            // A window lower than the view's minimum cuts it at top and bottom.
            const int viewHeight = std::max(pixelsHigh, minHeight);
            view->setGeometry(0, (pixelsHigh - viewHeight) / 2, width, viewHeight);
            OffscreenImage::showOffscreen(host);
            view->layout()->activate();
            settle(screenSettleMs);
            view->layout()->activate();
            const std::optional<QImage> image = OffscreenImage::draw(host, windowGround);
            if (!image)
                continue;
            const Verdict judged =
                verdict(height, minHeight - height > kTolerance ? std::nullopt : documentExcess(host));
            if (judged.problem)
                problems << frame.name + "-" + scheme(dark);
            if (save(image, folder, outDir, "window-" + frame.name + "-" + scheme(dark) + ".png", judged.text,
                     out, err))
                ++written;
        }
    }

    const QString paneName = cardPaneName(permissions);
    for (const bool dark : {true, false}) {
        for (const KTDragCompanionMode mode :
             {KTDragCompanionMode::manualAdd, KTDragCompanionMode::notInList}) {
            QWidget host;
            auto* stack = new QVBoxLayout(&host);
            stack->setContentsMargins(cardMargin, cardMargin, cardMargin, cardMargin);
            auto* card = new KTDragCompanionCard(
                brand, {product.name, paneName, mode}, [] {}, &host);
            card->forceScheme(dark);
            stack->addWidget(card);
            host.setFixedSize(card->fittingSize().width() + 2 * cardMargin,
                              card->fittingSize().height() + 2 * cardMargin);
            OffscreenImage::showOffscreen(host);
            stack->activate();
            settle(cardSettleMs);
            const QString name = mode == KTDragCompanionMode::manualAdd ? "manual-add" : "not-in-list";
            if (save(OffscreenImage::draw(host, Qt::transparent), folder, outDir,
                     "companion-" + name + "-" + scheme(dark) + ".png", {}, out, err))
                ++written;
        }
    }

    const int expected = 2 * int(screens.size()) + 4;
    if (written == expected) {
        out << "windowshot: " << written << " frames at " << width << "x" << qint64(height)
            << " (+4 drag-companion cards)\n";
    } else {
        out << "windowshot: NOT MEASURED, " << written << " of " << expected << " frames\n";
    }
    if (!problems.isEmpty())
        out << "windowshot: content runs past the fold on " << problems.join(", ") << '\n';
    out.flush();
    return written == expected && problems.isEmpty() ? 0 : 1;
}

}  // namespace rk
