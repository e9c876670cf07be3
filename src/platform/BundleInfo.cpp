#include "platform/BundleInfo.h"

#include <QDir>
#include <QFileInfo>

namespace rk {

namespace {
// Far above any real Info.plist.
constexpr qint64 kInfoSizeCap = qint64(4) * 1024 * 1024;
}  // namespace

BundleInfo BundleInfo::read(const QString& bundleDiskPath) {
    BundleInfo bundle;
    auto parsed = Plist::readFile(bundleDiskPath + "/Contents/Info.plist", kInfoSizeCap, nodeCap);
    if (parsed && parsed->dictionary())
        bundle.info_ = std::move(parsed).value();
    return bundle;
}

std::optional<QString> BundleInfo::enclosingBundle(const QString& executablePath) {
    if (executablePath.isEmpty())
        return std::nullopt;
    const QString macOS = QFileInfo(QDir::cleanPath(executablePath)).path();
    const QString contents = QFileInfo(macOS).path();
    const QString bundle = QFileInfo(contents).path();
    if (QFileInfo(macOS).fileName() != "MacOS" || QFileInfo(contents).fileName() != "Contents" ||
        !bundle.endsWith(".app") || QFileInfo(bundle).fileName() == ".app")
        return std::nullopt;
    return bundle;
}

std::optional<QString> BundleInfo::string(const QString& key) const {
    if (!info_)
        return std::nullopt;
    const PlistValue* value = info_->find(key);
    if (value == nullptr || value->string() == nullptr)
        return std::nullopt;
    return *value->string();
}

}  // namespace rk
