// lumenote: the desktop application.

#include "app/DesktopSession.h"
#include "app/LocalizationManager.h"
#include "app/MainWindow.h"
#include "app/SplashWindow.h"
#include "core/AppPaths.h"
#include "core/Settings.h"
#include "core/StartupTask.h"
#include "media/URLDownloadService.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

namespace {

QCoro::Task<> runSplash(lumenote::SplashWindow* splash) {
    QPointer<lumenote::SplashWindow> guard(splash);
    co_await lumenote::runStartupTask(lumenote::URLDownloadService::shared(), lumenote::Settings::shared(), [guard](const QString& status) {
        if (guard) guard->setStatus(status);
    });
    if (guard) guard->close();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumenote"));
    QApplication::setApplicationVersion(QStringLiteral(LUMENOTE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("io.corvana.Lumenote"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("io.corvana.Lumenote")));
    // Installs the catalogue of the chosen language before any text is made.
    lumenote::LocalizationManager::shared();

    auto* splash = new lumenote::SplashWindow(QApplication::applicationVersion());
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->show();
    QApplication::processEvents();

    lumenote::AppPaths::resolveCloudContainer();

    QString error;
    const QString storePath = lumenote::AppPaths::libraryStorePath();
    std::unique_ptr<lumenote::DesktopSession> session = lumenote::DesktopSession::open(storePath, &error);
    if (!session) {
        splash->close();
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Lumenote"),
                        //% "Lumenote cannot open its library."
                        qtTrId("startup.store.error.title"), QMessageBox::Close);
        //% "The library file is at %1.\n\n%2\n\nThe file has not been changed. Move it aside or restore a backup, then start Lumenote again."
        box.setInformativeText(qtTrId("startup.store.error.message").arg(storePath, error));
        box.exec();
        return 1;
    }
    session->connectServices();

    lumenote::MainWindow window(*session);
    window.show();
    splash->raise();
    runSplash(splash);
    const int status = app.exec();
    session->save();
    return status;
}
