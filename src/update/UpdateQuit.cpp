#include "update/UpdateQuit.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>
#include <cstdlib>

#include "platform/Seam.h"
#include "update/KTUpdate.h"
#include "update/UpdateLog.h"

namespace rk::KTUpdate {

void AppQuit::requestQuit() {
    QCoreApplication::quit();
}

void AppQuit::announceTermination() {
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, "aboutToQuit", Qt::DirectConnection);
}

void AppQuit::exitProcess(int status) {
    std::exit(status);
}

AppQuit& AppQuit::current() {
    return Seam<AppQuit>::current<AppQuit>();
}

void AppQuit::setCurrent(AppQuit* quit) {
    Seam<AppQuit>::setCurrent(quit);
}

void terminateForUpdate() {
    AppQuit::current().closeSheets();
    trace(QStringLiteral("quit requested so the staged update can install"));
    onMain([] {
        AppQuit::current().requestQuit();
        // Still here: the quit was refused, or is pending. A quit that goes
        // ahead ends the event loop, and this timer with it.
        QTimer::singleShot(kQuitFallback, QCoreApplication::instance(), [] {
            trace(
                QStringLiteral("quit was refused (an unsaved document or a delegate said no); exiting so the "
                               "staged update can install"));
            AppQuit::current().announceTermination();
            AppQuit::current().exitProcess(0);
        });
    });
}

}  // namespace rk::KTUpdate
