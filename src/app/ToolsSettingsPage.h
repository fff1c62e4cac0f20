#pragma once

// Tools settings: the state of yt-dlp and ffmpeg with their check, update and
// install actions, and the speech models (size, download with progress,
// selection, deletion, revision check). Showing the page starts the checks
// that are due.

#include "app/SettingsPage.h"

#include <QDateTime>

#include <optional>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeView;

namespace lumenote {

class SpeechModelListModel;
class URLDownloadService;
class WhisperModelManager;

class ToolsSettingsPage : public SettingsPage {
    Q_OBJECT
public:
    explicit ToolsSettingsPage(QWidget* parent = nullptr);

    void pageShown() override;
    void retranslate() override;

    SpeechModelListModel* modelList() const { return models_; }
    QTreeView* modelView() const { return modelView_; }

private:
    void updateYtDlp();
    void updateFFmpeg();
    void updateModelActions();
    QString currentModelID() const;
    void deleteCurrentModel();
    QString dateText(const std::optional<QDateTime>& when) const;

    URLDownloadService& tools_;
    WhisperModelManager& manager_;
    SpeechModelListModel* models_ = nullptr;
    std::optional<QString> ytDlpPathFound_;
    std::optional<QString> ffmpegPathFound_;
    bool wasBusy_ = false;

    QLabel* heading_ = nullptr;
    QGroupBox* ytDlpGroup_ = nullptr;
    QLabel* ytDlpPath_ = nullptr;
    QLabel* ytDlpStatus_ = nullptr;
    QLabel* ytDlpLastCheck_ = nullptr;
    QPushButton* ytDlpCheck_ = nullptr;
    QPushButton* ytDlpUpdate_ = nullptr;
    QProgressBar* ytDlpProgress_ = nullptr;

    QGroupBox* ffmpegGroup_ = nullptr;
    QLabel* ffmpegPath_ = nullptr;
    QLabel* ffmpegStatus_ = nullptr;
    QLabel* ffmpegLastCheck_ = nullptr;
    QPushButton* ffmpegCheck_ = nullptr;
    QPushButton* ffmpegInstall_ = nullptr;
    QProgressBar* ffmpegProgress_ = nullptr;

    QGroupBox* modelsGroup_ = nullptr;
    QLabel* modelsDescription_ = nullptr;
    QTreeView* modelView_ = nullptr;
    QPushButton* download_ = nullptr;
    QPushButton* use_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* modelsCheck_ = nullptr;
    QProgressBar* modelProgress_ = nullptr;
    QLabel* modelsStatus_ = nullptr;
};

}  // namespace lumenote
