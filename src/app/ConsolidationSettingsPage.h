#pragma once

// Consolidation settings: whether new lectures are consolidated, the provider,
// the Claude API key (kept in the Secret Service, or in an owner-only file
// when none runs, which the page says), the model pickers filled by model
// discovery with its status, the Ollama server address and the prompt.

#include "app/SettingsPage.h"

#include <QCoroTask>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace lumenote {

class ConsolidationService;
class ConsolidationSettingsController;

class ConsolidationSettingsPage : public SettingsPage {
    Q_OBJECT
public:
    explicit ConsolidationSettingsPage(QWidget* parent = nullptr);
    ~ConsolidationSettingsPage() override;

    void pageShown() override;
    void retranslate() override;

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void load();
    // Stores the prompt when it differs from the stored one.
    void savePrompt();
    void updateProviderGroups();
    void fillClaudeModels();
    void fillOllamaModels();
    void updateClaudeStatus();
    void updateOllamaStatus();
    void updateKeyState();
    QCoro::Task<> loadKey();
    QCoro::Task<> saveKey();
    QCoro::Task<> removeKey();

    ConsolidationService& service_;
    ConsolidationSettingsController* controller_ = nullptr;
    QString keyError_;

    QLabel* heading_ = nullptr;
    QCheckBox* enabled_ = nullptr;
    QLabel* providerLabel_ = nullptr;
    QComboBox* provider_ = nullptr;

    QGroupBox* claudeGroup_ = nullptr;
    QLabel* keyLabel_ = nullptr;
    QLineEdit* keyField_ = nullptr;
    QPushButton* saveKey_ = nullptr;
    QPushButton* removeKey_ = nullptr;
    QLabel* keyStorage_ = nullptr;
    QLabel* claudeModelLabel_ = nullptr;
    QComboBox* claudeModel_ = nullptr;
    QPushButton* claudeRefresh_ = nullptr;
    QLabel* claudeStatus_ = nullptr;

    QGroupBox* ollamaGroup_ = nullptr;
    QLabel* endpointLabel_ = nullptr;
    QLineEdit* endpoint_ = nullptr;
    QLabel* ollamaModelLabel_ = nullptr;
    QComboBox* ollamaModel_ = nullptr;
    QPushButton* ollamaRefresh_ = nullptr;
    QLabel* ollamaStatus_ = nullptr;

    QLabel* promptLabel_ = nullptr;
    QPlainTextEdit* prompt_ = nullptr;
    QPushButton* promptReset_ = nullptr;
    QTimer* promptSave_ = nullptr;
    bool promptEdited_ = false;  // typed since the last save
};

}  // namespace lumenote
