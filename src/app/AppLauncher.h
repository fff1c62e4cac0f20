#pragma once

// Application start: the splash with its start-up task, the storage
// resolution in the background, the shared library store and the main
// window. A store that cannot be opened is reported in a dialog that says
// why and where the file is; the file is left untouched.

#include <QObject>
#include <QPointer>

#include <memory>

namespace lumenote {

class DesktopSession;
class MainWindow;
class SplashWindow;

class AppLauncher : public QObject {
    Q_OBJECT
public:
    AppLauncher();
    ~AppLauncher() override;

    // Opens the store at `storePath` and shows the window with the splash in
    // front of it; false (after telling the user) when the store cannot be opened.
    bool start(const QString& storePath);

    MainWindow* window() const { return window_.get(); }
    DesktopSession* session() const { return session_.get(); }
    bool isSplashShown() const;

signals:
    // The start-up task has finished and the splash is gone.
    void splashClosed();

private:
    QPointer<SplashWindow> splash_;
    std::unique_ptr<DesktopSession> session_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace lumenote
