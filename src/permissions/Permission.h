#pragma once
// What a product declares to the permission wizard: the product itself and
// each macOS permission it asks for, with the texts the wizard shows, the
// System Settings page to open and the functions that probe or request it.
// Values built by the host once per process and only read afterwards.

#include <QImage>
#include <QList>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <map>
#include <optional>

#include "platform/AppBundle.h"
#include "platform/SystemPaths.h"

class QWidget;

namespace rk {

// Permission id -> granted.
using KTGrantMap = std::map<QString, bool>;

// Draws a picture for one appearance into the given rectangle.
using KTPaintFunction = std::function<void(QPainter& painter, const QRectF& rect, bool dark)>;

// Makes a new view for one appearance (`dark`); the caller takes ownership.
// The view comes from the host, which may build it with any widget library
// above this one (the capability diagrams, for one).
using KTViewFactory = std::function<QWidget*(bool dark)>;

struct KTPermission {
    QString id{};  // unique; keys every per-permission map, user-defaults key and file name
    QString title{};
    QString benefit{};  // why the product needs it
    QStringList bullets{};
    QString boundary{};                     // the privacy-boundary sentence
    QUrl settingsURL{};                     // the System Settings page of the permission
    std::function<bool()> probe{};          // whether the grant is in effect for this process
    std::function<bool()> checkboxProbe{};  // empty: none
    std::function<void()> request{};        // shows the system's own prompt; empty: none
    bool isOptional = false;
    std::optional<QString> costOfSkipping{};
    QStringList rowsToTick{};
    std::optional<QString> dialogImageName{};
    KTViewFactory hero{};  // shown full width above the permission's texts; empty: none
    bool requiresManualDrag = false;
    bool rowsAreAllRequired = true;
    std::optional<QString> rowNote{};
    bool restartsOnStaleGrant = true;

    // The name of the list the person will see: System Settings files the
    // app under Input Monitoring instead of Accessibility while listening to
    // input events is denied.
    QString paneTitle() const;

    // The app's image called `name` + "-dark"/"-light", else `name` itself,
    // else none. Images are looked up as PNG files under `imageRoot`.
    static std::optional<QImage> resolveDialogImage(const QString& name, bool dark,
                                                    const QString& imageRoot = ":/images");

    // Whether the probe answers granted; a missing probe answers no.
    bool probeGranted() const { return probe && probe(); }
};

// A folder the product owns, in which stray copies of the app are disabled.
struct KTOwnedBundleFolder {
    enum class Disposition {
        remove,  // the copy is deleted
        rename,  // the copy is renamed so that it no longer reads as a bundle
    };
    // "remove" or "rename".
    static QString rawValue(Disposition disposition);
    // Exactly those two words; none for any other.
    static std::optional<Disposition> dispositionNamed(const QString& raw);

    QString path{};  // as declared; may begin with "~"
    Disposition disposition = Disposition::rename;

    // `path` with a leading "~" taken as the home folder, symbolic links
    // resolved, "." and ".." removed; logical.
    QString resolvedPath(const SystemPaths& paths = SystemPaths::current()) const;

    friend bool operator==(const KTOwnedBundleFolder&, const KTOwnedBundleFolder&) = default;
};

struct KTWizardProduct {
    QString name = "App";
    QString slug = "app";  // lower-case word: user-defaults keys and the record's folder
    std::optional<QString> reopenHint{};
    std::optional<QString> summaryLead{};
    QStringList legacyBundleIdentifiers{};
    QList<KTOwnedBundleFolder> ownedBundleFolders{};

    // The bundle's display name, else its name, else `name`.
    QString bundleDisplayName(const AppBundle& bundle = AppBundle::current()) const;
};

}  // namespace rk
