#include "app/model/Step.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "support/PlatformFakes.h"

using namespace rk;

TEST(Step, ForLink) {
    struct Case {
        const char* link;
        std::optional<Step> want;
    } cases[] = {
        {"rowkeeper://accessibility", Step::accessibility},
        {"ROWKEEPER://Accessibility/", Step::accessibility},
        {"rowkeeper:loginitems", Step::loginItems},
        {"rowkeeper:///login-items/", Step::loginItems},
        {"rowkeeper://move-in", Step::moveIn},
        {"rowkeeper://movein", Step::moveIn},
        {"rowkeeper://start", Step::start},
        {"rowkeeper://", Step::start},
        {"rowkeeper:", Step::start},
        {"rowkeeper://done", std::nullopt},
        {"rowkeeper://login items", std::nullopt},     // invalid: empty host and path, yet not Start
        {"rowkeeper:%20accessibility", std::nullopt},  // only "/" is trimmed, not spaces
        {"https://login-items", std::nullopt},
        {"accessibility", std::nullopt},  // no scheme
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Step::forLink(QUrl(QString::fromUtf8(c.link))), c.want) << c.link;
    }
}

// Tab order, titles and pages are the root view's and the model's to show;
// here: a raw value names its step exactly, case included.
TEST(Step, RawValuesAreExact) {
    for (Step step : Step::allCases()) {
        EXPECT_EQ(Step::fromRawValue(step.rawValue()), step);
    }
    EXPECT_EQ(Step::fromRawValue("loginItems"), Step(Step::loginItems));
    EXPECT_EQ(Step::fromRawValue("Accessibility"), std::nullopt);
    EXPECT_EQ(Step::fromRawValue("login-items"), std::nullopt);
    EXPECT_EQ(Step::fromRawValue(""), std::nullopt);
}

namespace {

// Answers file probes from a script.
class ScriptedFiles final : public FileProbe {
public:
    bool privacyDatabaseOpens = true;

    int openForReading(const QString& diskPath) const override {
        if (diskPath.endsWith("TCC.db"))
            return privacyDatabaseOpens ? 0 : EPERM;
        return 0;
    }
    Result<QStringList, int> listFolder(const QString&) const override {
        return QStringList{"BackgroundItems-v4.btm"};
    }
};

class FixedCapture final : public ScreenCapture {
public:
    bool allowed = true;
    bool preflight() override { return allowed; }
    Result<std::vector<ShareableWindow>, QString> shareableWindows() override { return fail(QString("no")); }
    Result<QImage, QString> captureWindow(const ShareableWindow&, QSize) override {
        return fail(QString("no"));
    }
};

}  // namespace

TEST(Grants, EachGrantComesFromItsOwnProbe) {
    const auto paths = SystemPaths::rerooted("/tmp/mac", "/Users/anna");
    ScriptedFiles files;
    test::TrustAccessibility accessibility;
    FixedCapture capture;
    EXPECT_EQ(Grants::probe(paths, files, accessibility, capture), (Grants{true, true, true}));
    accessibility.trusted = false;
    EXPECT_EQ(Grants::probe(paths, files, accessibility, capture), (Grants{true, false, true}));
    capture.allowed = false;
    files.privacyDatabaseOpens = false;
    EXPECT_EQ(Grants::probe(paths, files, accessibility, capture), Grants{});
}

// Linux: no Accessibility, no screen capture, and no stores at the Mac's places.
TEST(Grants, TheHostGrantsNothing) {
    EXPECT_EQ(Grants::probe(SystemPaths::rerooted("/nonexistent-root", "/Users/anna")), Grants{});
}
