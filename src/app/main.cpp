// lumenote: the desktop application.

#include "app/MainWindow.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumenote"));
    QApplication::setApplicationVersion(QStringLiteral(LUMENOTE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("io.corvana.Lumenote"));
    lumenote::MainWindow window;
    window.show();
    return app.exec();
}
