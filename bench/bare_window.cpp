// The yardstick of the start-up bench: a bare Qt 6 window with a tray icon and nothing else.
#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.resize(1000, 750);
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::darkCyan);
    QSystemTrayIcon tray{QIcon(pixmap)};
    tray.setToolTip(QStringLiteral("bare"));
    tray.show();
    window.show();
    return QApplication::exec();
}
