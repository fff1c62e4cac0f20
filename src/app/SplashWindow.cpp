#include "app/SplashWindow.h"

#include "app/LogoManager.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>
#include <QVBoxLayout>

namespace lumenote {

SplashWindow::SplashWindow(const QString& version, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("splash"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto* logo = new QLabel(this);
    logo->setAlignment(Qt::AlignCenter);
    QSvgRenderer renderer(LogoManager::resourcePath(LogoManager::shared().imageName()));
    if (renderer.isValid()) {
        constexpr int width = 220;
        const QSizeF size = renderer.defaultSize();
        const qreal height = size.width() > 0 ? width * size.height() / size.width() : width;
        const qreal dpr = devicePixelRatioF();
        QPixmap pixmap(QSize(int(width * dpr), int(height * dpr)));
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        pixmap.setDevicePixelRatio(dpr);
        logo->setPixmap(pixmap);
    }
    auto* name = new QLabel(QStringLiteral("Lumenote"), this);
    name->setAlignment(Qt::AlignCenter);
    QFont nameFont = name->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.8);
    nameFont.setWeight(QFont::DemiBold);
    name->setFont(nameFont);
    auto* versionLabel = new QLabel(version, this);
    versionLabel->setAlignment(Qt::AlignCenter);
    versionLabel->setForegroundRole(QPalette::PlaceholderText);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("splashStatus"));
    status_->setAlignment(Qt::AlignCenter);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 28, 32, 20);
    layout->addWidget(logo);
    layout->addWidget(name);
    layout->addWidget(versionLabel);
    layout->addSpacing(16);
    layout->addWidget(status_);
    setFixedSize(sizeHint().expandedTo(QSize(360, 0)));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r = rect();
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
}

QString SplashWindow::translatedStatus(const QString& status) {
    if (status == QLatin1String("Staging yt-dlp…")) {
        //% "Staging yt-dlp…"
        return qtTrId("splash.status.staging");
    }
    if (status == QLatin1String("Checking for updates…")) {
        //% "Checking for updates…"
        return qtTrId("splash.status.checking");
    }
    if (status == QLatin1String("Ready.")) {
        //% "Ready."
        return qtTrId("splash.status.ready");
    }
    return status;
}

void SplashWindow::paintEvent(QPaintEvent*) {
    // A card of its own in front of the window, framed so it reads without a window manager.
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void SplashWindow::setStatus(const QString& status) { status_->setText(translatedStatus(status)); }

QString SplashWindow::status() const { return status_->text(); }

}  // namespace lumenote
