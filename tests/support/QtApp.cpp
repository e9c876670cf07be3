#include "support/QtApp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>

namespace rk::test {

namespace {

std::unique_ptr<QCoreApplication> make(AppKind kind, int& argc, char** argv) {
    switch (kind) {
        case AppKind::core:
            return std::make_unique<QCoreApplication>(argc, argv);
        case AppKind::gui:
            return std::make_unique<QGuiApplication>(argc, argv);
        case AppKind::widgets:
            return std::make_unique<QApplication>(argc, argv);
    }
    return nullptr;
}

}  // namespace

AppEnvironment::AppEnvironment(AppKind kind, const char* name) : kind_(kind), name_(name) {}

AppEnvironment::~AppEnvironment() = default;

void AppEnvironment::SetUp() {
    argv_[0] = name_.data();
    app_ = make(kind_, argc_, argv_);
}

void AppEnvironment::TearDown() {
    app_.reset();
}

void ensureApp(AppKind kind, const char* name) {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static QByteArray program(name);
    static char* argv[] = {program.data(), nullptr};
    // Kept to the end of the program: tests of any order may still need it.
    make(kind, argc, argv).release();
}

void ensureApplication() {
    if (QCoreApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ensureApp(AppKind::widgets, "permissions-test");
}

bool spinUntil(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < limitMs) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    return done();
}

}  // namespace rk::test
