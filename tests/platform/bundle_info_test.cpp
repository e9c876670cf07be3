#include <gtest/gtest.h>

#include "platform/BundleInfo.h"

namespace rk {
namespace {

TEST(BundleInfo, TheBundleIsTheAppFolderAboveContentsMacOS) {
    const std::pair<QString, std::optional<QString>> cases[] = {
        {"/Applications/Tool.app/Contents/MacOS/Tool", QString("/Applications/Tool.app")},
        {"/Applications/Tool.app/Contents/MacOS/../MacOS/Tool", QString("/Applications/Tool.app")},
        {"/usr/local/bin/rowkeeper", std::nullopt},
        {"/x/Tool/Contents/MacOS/Tool", std::nullopt},
        {"/x/Tool.app/Contents/Tool", std::nullopt},
        {"/.app/Contents/MacOS/Tool", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [executable, bundle] : cases)
        EXPECT_EQ(BundleInfo::enclosingBundle(executable), bundle) << executable.toStdString();
}

}  // namespace
}  // namespace rk
