#pragma once
// The Qt application of a test program. `AppEnvironment` makes it before the
// first test and ends it after the last (gone before static destruction);
// `ensureApp` makes it on first need and keeps it to the end of the program,
// for tests that may run in any order or alone. No application class is
// named here, so a test's `qApp` keeps the type its own includes give it.

#include <gtest/gtest.h>

#include <QByteArray>
#include <functional>
#include <memory>

class QCoreApplication;

namespace rk::test {

enum class AppKind {
    core,     // QCoreApplication: the event loop and threads
    gui,      // QGuiApplication: fonts, images and screens (offscreen is enough)
    widgets,  // QApplication: widgets
};

class AppEnvironment : public ::testing::Environment {
public:
    // `name` is the program name the application sees as its first argument.
    AppEnvironment(AppKind kind, const char* name);
    ~AppEnvironment() override;

    void SetUp() override;
    void TearDown() override;

private:
    AppKind kind_;
    // The application keeps references to these for its whole life.
    QByteArray name_;
    int argc_ = 1;
    char* argv_[2] = {nullptr, nullptr};
    std::unique_ptr<QCoreApplication> app_;
};

// Makes an application of `kind` named `name` unless one exists already.
void ensureApp(AppKind kind, const char* name);

// A QApplication for tests that need widgets (offscreen when no platform is set).
void ensureApplication();

// Runs what waits in the event loop, a millisecond apart, until `done` or
// `limitMs` have passed; the limit only keeps a broken test from hanging.
bool spinUntil(const std::function<bool()>& done, int limitMs = 10'000);

}  // namespace rk::test
