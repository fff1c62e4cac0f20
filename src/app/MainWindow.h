#pragma once

// The application's one window: the library sidebar beside the selected
// lecture's detail.

#include <QMainWindow>

namespace lumenote {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
};

}  // namespace lumenote
