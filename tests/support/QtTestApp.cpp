#include "tests/support/QtTestApp.h"

#include <QApplication>

static void initTestResources() {
    Q_INIT_RESOURCE(tessaron);
}

void ensureQtApplication() {
    if (QCoreApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tessaron-tests";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
    initTestResources();
}
