// The floor the application's footprint is measured against: the smallest Qt Widgets program
// that does what an idle Tidyword visibly does, one window and one icon in the tray.
#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QPixmap picture(22, 22);
    picture.fill(Qt::darkBlue);
    QSystemTrayIcon tray{QIcon(picture)};
    tray.show();
    QLabel window(QStringLiteral("A minimal tray program"));
    window.setWindowTitle(QStringLiteral("Minimal tray"));
    window.show();
    return QApplication::exec();
}
