#include "app/instanceguard.h"
#include "app/mainwindow.h"
#include "app/startup.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // Before any window or database file is touched: is another copy running?
    InstanceGuard guard;
    if (!guard.acquire()) {
        guard.callRunningCopy();
        return 0;
    }
    QObject::connect(&guard, &InstanceGuard::showRequested, &app, [] {
        if (main_window)
            main_window->bringToFront();
    });
    Startup::prepareApplication(app);
    return Startup::run(app);
}
