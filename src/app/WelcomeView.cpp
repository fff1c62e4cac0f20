#include "app/WelcomeView.h"

#include "app/LogoManager.h"
#include "media/ImportController.h"

#include <QDragEnterEvent>
#include <QEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>
#include <QVBoxLayout>

namespace lumenote {

QString firstAcceptedVideo(const QList<QUrl>& urls) {
    for (const QUrl& url : urls)
        if (url.isLocalFile() && ImportController::isAcceptedVideoFile(url.toLocalFile())) return url.toLocalFile();
    return {};
}

WelcomeView::WelcomeView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("welcomeView"));
    setAcceptDrops(true);
    logo_ = new QLabel(this);
    logo_->setObjectName(QStringLiteral("welcomeLogo"));
    logo_->setAlignment(Qt::AlignCenter);
    title_ = new QLabel(this);
    title_->setAlignment(Qt::AlignCenter);
    QFont titleFont = title_->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setWeight(QFont::DemiBold);
    title_->setFont(titleFont);
    message_ = new QLabel(this);
    message_->setAlignment(Qt::AlignCenter);
    message_->setWordWrap(true);
    message_->setFixedWidth(460);
    importButton_ = new QPushButton(this);
    importButton_->setObjectName(QStringLiteral("welcomeImportButton"));
    importButton_->setDefault(true);
    connect(importButton_, &QPushButton::clicked, this, &WelcomeView::importRequested);
    dropHint_ = new QLabel(this);
    dropHint_->setAlignment(Qt::AlignCenter);
    dropHint_->setForegroundRole(QPalette::PlaceholderText);

    auto* layout = new QVBoxLayout(this);
    layout->addStretch(2);
    layout->addWidget(logo_, 0, Qt::AlignHCenter);
    layout->addSpacing(12);
    layout->addWidget(title_);
    layout->addWidget(message_, 0, Qt::AlignHCenter);
    layout->addSpacing(12);
    layout->addWidget(importButton_, 0, Qt::AlignHCenter);
    layout->addWidget(dropHint_);
    layout->addStretch(3);

    connect(&LogoManager::shared(), &LogoManager::selectedVariantChanged, this, &WelcomeView::renderLogo);
    renderLogo();
    retranslate();
}

void WelcomeView::renderLogo() {
    QSvgRenderer renderer(LogoManager::resourcePath(LogoManager::shared().imageName()));
    if (!renderer.isValid()) {
        logo_->clear();
        return;
    }
    const QSizeF size = renderer.defaultSize();
    const qreal height = size.width() > 0 ? kLogoWidth * size.height() / size.width() : kLogoWidth;
    const qreal dpr = devicePixelRatioF();
    QPixmap pixmap(QSize(int(kLogoWidth * dpr), int(height * dpr)));
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    pixmap.setDevicePixelRatio(dpr);
    logo_->setPixmap(pixmap);
}

QPixmap WelcomeView::logo() const { return logo_->pixmap(); }

void WelcomeView::retranslate() {
    //% "Welcome to Lumenote"
    title_->setText(qtTrId("welcome.title"));
    //% "Turn a recorded lecture into a study page with its transcript, slides and notes."
    message_->setText(qtTrId("welcome.message"));
    // A centred, wrapped label gets no height for its width from the layout.
    message_->setMinimumHeight(message_->heightForWidth(message_->width()));
    //% "Import Lecture…"
    importButton_->setText(qtTrId("welcome.import"));
    //% "or drop a video file (MP4, MOV, M4V) here"
    dropHint_->setText(qtTrId("welcome.drop.hint"));
}

void WelcomeView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

void WelcomeView::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData()->hasUrls() || firstAcceptedVideo(event->mimeData()->urls()).isEmpty()) return;
    event->acceptProposedAction();
    dropHighlight_ = true;
    update();
}

void WelcomeView::dragLeaveEvent(QDragLeaveEvent*) {
    dropHighlight_ = false;
    update();
}

void WelcomeView::dropEvent(QDropEvent* event) {
    dropHighlight_ = false;
    update();
    const QString path = event->mimeData()->hasUrls() ? firstAcceptedVideo(event->mimeData()->urls()) : QString();
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    emit videoDropped(path);
}

void WelcomeView::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!dropHighlight_) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(palette().color(QPalette::Highlight), 2, Qt::DashLine);
    p.setPen(pen);
    p.drawRoundedRect(rect().adjusted(8, 8, -8, -8), 12, 12);
}

}  // namespace lumenote
