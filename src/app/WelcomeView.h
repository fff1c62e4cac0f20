#pragma once

// What the window shows while no lecture is selected: the logo (the season's
// artwork unless a variant is chosen), a few words, the import button, and a
// drop target for video files.

#include <QWidget>

class QLabel;
class QPushButton;

namespace lumenote {

class WelcomeView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLogoWidth = 300;  // logical pixels

    explicit WelcomeView(QWidget* parent = nullptr);

    // The logo as rendered now (tests and screenshots).
    QPixmap logo() const;

signals:
    void importRequested();
    // A dropped video file (mp4, mov, m4v); other files are ignored.
    void videoDropped(const QString& path);

protected:
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void retranslate();
    void renderLogo();

    QLabel* logo_;
    QLabel* title_;
    QLabel* message_;
    QPushButton* importButton_;
    QLabel* dropHint_;
    bool dropHighlight_ = false;
};

// The first accepted video among dropped URLs, or empty.
QString firstAcceptedVideo(const QList<QUrl>& urls);

}  // namespace lumenote
