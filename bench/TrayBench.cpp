// The smallest Qt tray program: an icon with a menu and a timer that fires every second. Its
// resident memory is the floor for any tray program built on Qt; bench/soak measures it beside
// Tessaron's.
#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::darkCyan);
    QMenu menu;
    menu.addAction(QStringLiteral("Change now"));
    menu.addSeparator();
    QObject::connect(menu.addAction(QStringLiteral("Exit")), &QAction::triggered, &application,
                     &QCoreApplication::quit);
    QSystemTrayIcon icon{QIcon(pixmap)};
    icon.setContextMenu(&menu);
    icon.setToolTip(QStringLiteral("Tray bench"));
    icon.show();
    QTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, &icon, [&] { ++ticks; });
    timer.start(1000);
    return QApplication::exec();
}
