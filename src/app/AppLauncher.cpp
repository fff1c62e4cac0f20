#include "app/AppLauncher.h"

#include "app/DesktopSession.h"
#include "app/MainWindow.h"
#include "app/SplashWindow.h"
#include "core/AppPaths.h"
#include "core/Settings.h"
#include "core/StartupTask.h"
#include "media/URLDownloadService.h"

#include <QApplication>
#include <QMessageBox>

namespace lumenote {
namespace {

QCoro::Task<> runSplash(QPointer<SplashWindow> splash, QPointer<AppLauncher> launcher) {
    // A named callback: temporaries inside a co_await expression are not safe with GCC 12.
    std::function<void(const QString&)> onStatus = [splash](const QString& status) {
        if (splash) splash->setStatus(status);
    };
    co_await runStartupTask(URLDownloadService::shared(), Settings::shared(), onStatus);
    if (splash) splash->close();
    if (launcher) emit launcher->splashClosed();
}

}  // namespace

AppLauncher::AppLauncher() = default;

bool AppLauncher::isSplashShown() const { return !splash_.isNull(); }

AppLauncher::~AppLauncher() {
    window_.reset();
    session_.reset();
    delete splash_;
}

bool AppLauncher::start(const QString& storePath) {
    splash_ = new SplashWindow(QApplication::applicationVersion());
    splash_->setAttribute(Qt::WA_DeleteOnClose);
    splash_->show();

    AppPaths::resolveCloudContainer();

    QString error;
    session_ = DesktopSession::open(storePath, &error);
    if (!session_) {
        splash_->close();
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Lumenote"),
                        //% "Lumenote cannot open its library."
                        qtTrId("startup.store.error.title"), QMessageBox::Close);
        //% "The library file is at %1.\n\n%2\n\nThe file has not been changed. Move it aside or restore a backup, then start Lumenote again."
        box.setInformativeText(qtTrId("startup.store.error.message").arg(storePath, error));
        box.exec();
        return false;
    }
    session_->connectServices();

    window_ = std::make_unique<MainWindow>(*session_);
    window_->show();
    splash_->raise();
    runSplash(splash_, this);
    return true;
}

}  // namespace lumenote
