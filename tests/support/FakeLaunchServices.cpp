#include "support/FakeLaunchServices.h"

#include <QFile>

#include "platform/BundleInfo.h"
#include "support/FakeTools.h"

namespace rk::test {

namespace {
const QString kRegistered = "/.fake-launchservices/registered";
}  // namespace

FakeLaunchServices::FakeLaunchServices(const TempRoot& root) : root_(root) {
    root_.writeFile(kRegistered);
    const QString script = "reg=" + FakeTools::quoted(root_.disk(kRegistered)) +
                           "\nroot=" + FakeTools::quoted(root_.root()) +
                           R"sh(
case "$1" in
  -f) printf '%s\n' "$3" >> "$reg" ;;
  -u) grep -v -x -F -e "$2" "$reg" > "$reg.new"; mv "$reg.new" "$reg" ;;
  -dump) while IFS= read -r p; do
      value() { sed -n "/<key>$1<\/key>/{n;s/.*<string>\(.*\)<\/string>.*/\1/p;}" "$root$p/Contents/Info.plist"; }
      printf -- '-----\npath: %s\nidentifier: %s\nname: %s\n' "$p" "$(value CFBundleIdentifier)" "$(value CFBundleName)"
    done < "$reg" ;;
esac
exit 0
)sh";
    FakeTools(root_).installScript(MacTool::launchServicesRegister, script);
}

QStringList FakeLaunchServices::applicationPaths(const QString& bundleIdentifier) const {
    QFile file(root_.disk(kRegistered));
    QStringList paths;
    if (!file.open(QIODevice::ReadOnly))
        return paths;
    for (const QString& path : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)) {
        if (BundleInfo::read(root_.disk(path)).identifier() == bundleIdentifier)
            paths << path;
    }
    return paths;
}

}  // namespace rk::test
