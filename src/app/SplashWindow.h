#pragma once

// The start-up window: the logo, the name and version, and one status line
// while the tools are staged and checked.

#include <QWidget>

class QLabel;

namespace lumenote {

class SplashWindow : public QWidget {
    Q_OBJECT
public:
    explicit SplashWindow(const QString& version, QWidget* parent = nullptr);

    // A status line of the start-up task, shown in the interface language.
    void setStatus(const QString& status);
    QString status() const;

    // The interface text for a start-up status line.
    static QString translatedStatus(const QString& status);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* status_;
};

}  // namespace lumenote
