// lumenote: the desktop application.

#include "app/AppLauncher.h"
#include "app/DesktopSession.h"
#include "app/LocalizationManager.h"
#include "core/AppPaths.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv) {
    QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumenote"));
    QApplication::setApplicationVersion(QStringLiteral(LUMENOTE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("io.corvana.Lumenote"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("io.corvana.Lumenote")));
    // The catalogue of the chosen language, before any text is made.
    lumenote::LocalizationManager::shared();

    lumenote::AppLauncher launcher;
    if (!launcher.start(lumenote::AppPaths::libraryStorePath())) return 1;
    const int status = app.exec();
    launcher.session()->save();
    return status;
}
