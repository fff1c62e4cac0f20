#include "app/MainWindow.h"

namespace lumenote {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Lumenote"));
}

}  // namespace lumenote
