// The floor the tray program is measured against: a Qt 6 program that shows one tray icon with
// a one-row menu and does nothing else.
#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Qt::black);
        painter.drawEllipse(3, 3, 16, 16);
    }
    QMenu menu;
    menu.addAction(QStringLiteral("Quit"), &app, &QApplication::quit);
    const QIcon icon(pixmap);
    QSystemTrayIcon tray(icon);
    tray.setContextMenu(&menu);
    tray.show();
    return QApplication::exec();
}
