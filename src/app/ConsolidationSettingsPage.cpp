#include "app/ConsolidationSettingsPage.h"

#include "consolidation/ConsolidationService.h"
#include "consolidation/ConsolidationSettings.h"
#include "consolidation/ModelCatalogue.h"
#include "consolidation/SecretStore.h"
#include "core/Settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

namespace lumenote {

namespace {

// The discovery's fixed failure texts in the interface language; the parts
// that come from elsewhere (address, server reply) are kept as they are.
QString localizedDiscoveryError(const QString& text) {
    const auto tail = [&](const char* prefix) {
        return text.startsWith(QLatin1String(prefix)) ? std::optional<QString>(text.mid(qstrlen(prefix))) : std::nullopt;
    };
    if (text == QLatin1String("Invalid Ollama endpoint URL."))
        //% "The Ollama server address is not valid."
        return qtTrId("settings.consolidation.error.ollama.address");
    if (text == QLatin1String("Unexpected response from Ollama."))
        //% "Ollama answered with something unexpected."
        return qtTrId("settings.consolidation.error.ollama.response");
    if (text == QLatin1String("Ollama is running but has no models installed."))
        //% "Ollama is running but has no models installed."
        return qtTrId("settings.consolidation.error.ollama.empty");
    if (text.endsWith(QLatin1String(". Is it running?")))
        if (const auto rest = tail("Could not reach Ollama at "))
            //% "Could not reach Ollama at %1. Is it running?"
            return qtTrId("settings.consolidation.error.ollama.unreachable").arg(rest->chopped(16));
    if (text == QLatin1String("No HTTP response from Anthropic."))
        //% "Anthropic did not answer."
        return qtTrId("settings.consolidation.error.claude.silent");
    if (text == QLatin1String("Unexpected response format from Anthropic."))
        //% "Anthropic answered with something unexpected."
        return qtTrId("settings.consolidation.error.claude.response");
    if (text == QLatin1String("No models returned by the API."))
        //% "The API returned no models."
        return qtTrId("settings.consolidation.error.claude.empty");
    if (const auto rest = tail("Could not reach Anthropic API: "))
        //% "Could not reach the Anthropic API: %1"
        return qtTrId("settings.consolidation.error.claude.unreachable").arg(*rest);
    if (const auto rest = tail("Anthropic API returned "))
        //% "The Anthropic API answered %1"
        return qtTrId("settings.consolidation.error.claude.status").arg(*rest);
    return text;
}

// One for the process: a key operation still running when a settings window
// closes finishes on it rather than on a deleted object.
ConsolidationSettingsController& sharedController() {
    static auto* controller = new ConsolidationSettingsController(qApp);
    return *controller;
}

}  // namespace

ConsolidationSettingsPage::ConsolidationSettingsPage(QWidget* parent)
    : SettingsPage(parent), service_(ConsolidationService::shared()), controller_(&sharedController()) {
    setObjectName(QStringLiteral("consolidationPage"));
    heading_ = createHeading();
    enabled_ = new QCheckBox(this);
    enabled_->setObjectName(QStringLiteral("consolidationEnabled"));
    providerLabel_ = new QLabel(this);
    provider_ = new QComboBox(this);
    provider_->setObjectName(QStringLiteral("providerPicker"));
    provider_->addItem(QStringLiteral("Claude"), providerRawValue(ConsolidationProvider::Claude));
    provider_->addItem(QStringLiteral("Ollama"), providerRawValue(ConsolidationProvider::Ollama));
    auto* providerRow = new QHBoxLayout;
    providerRow->addWidget(providerLabel_);
    providerRow->addWidget(provider_, 1);

    // Claude
    claudeGroup_ = new QGroupBox(this);
    claudeGroup_->setObjectName(QStringLiteral("claudeGroup"));
    keyLabel_ = new QLabel(claudeGroup_);
    keyField_ = new QLineEdit(claudeGroup_);
    keyField_->setObjectName(QStringLiteral("apiKeyField"));
    keyField_->setEchoMode(QLineEdit::Password);
    saveKey_ = new QPushButton(claudeGroup_);
    saveKey_->setObjectName(QStringLiteral("saveAPIKey"));
    removeKey_ = new QPushButton(claudeGroup_);
    removeKey_->setObjectName(QStringLiteral("removeAPIKey"));
    keyStorage_ = createNote(claudeGroup_, "apiKeyStorage");
    claudeModelLabel_ = new QLabel(claudeGroup_);
    claudeModel_ = new QComboBox(claudeGroup_);
    claudeModel_->setObjectName(QStringLiteral("claudeModelPicker"));
    claudeRefresh_ = new QPushButton(claudeGroup_);
    claudeRefresh_->setObjectName(QStringLiteral("claudeRefresh"));
    claudeStatus_ = createNote(claudeGroup_, "claudeStatus");
    auto* claude = new QGridLayout(claudeGroup_);
    claude->addWidget(keyLabel_, 0, 0);
    claude->addWidget(keyField_, 0, 1);
    claude->addWidget(saveKey_, 0, 2);
    claude->addWidget(removeKey_, 0, 3);
    claude->addWidget(keyStorage_, 1, 1, 1, 3);
    claude->addWidget(claudeModelLabel_, 2, 0);
    claude->addWidget(claudeModel_, 2, 1);
    claude->addWidget(claudeRefresh_, 2, 2, 1, 2);
    claude->addWidget(claudeStatus_, 3, 1, 1, 3);
    claude->setColumnStretch(1, 1);

    // Ollama
    ollamaGroup_ = new QGroupBox(this);
    ollamaGroup_->setObjectName(QStringLiteral("ollamaGroup"));
    endpointLabel_ = new QLabel(ollamaGroup_);
    endpoint_ = new QLineEdit(ollamaGroup_);
    endpoint_->setObjectName(QStringLiteral("ollamaEndpoint"));
    endpoint_->setPlaceholderText(kDefaultOllamaEndpoint);
    ollamaModelLabel_ = new QLabel(ollamaGroup_);
    ollamaModel_ = new QComboBox(ollamaGroup_);
    ollamaModel_->setObjectName(QStringLiteral("ollamaModelPicker"));
    ollamaModel_->setEditable(true);
    ollamaModel_->setInsertPolicy(QComboBox::NoInsert);
    ollamaRefresh_ = new QPushButton(ollamaGroup_);
    ollamaRefresh_->setObjectName(QStringLiteral("ollamaRefresh"));
    ollamaStatus_ = createNote(ollamaGroup_, "ollamaStatus");
    auto* ollama = new QGridLayout(ollamaGroup_);
    ollama->addWidget(endpointLabel_, 0, 0);
    ollama->addWidget(endpoint_, 0, 1, 1, 2);
    ollama->addWidget(ollamaModelLabel_, 1, 0);
    ollama->addWidget(ollamaModel_, 1, 1);
    ollama->addWidget(ollamaRefresh_, 1, 2);
    ollama->addWidget(ollamaStatus_, 2, 1, 1, 2);
    ollama->setColumnStretch(1, 1);

    // Prompt
    promptLabel_ = new QLabel(this);
    prompt_ = new QPlainTextEdit(this);
    prompt_->setObjectName(QStringLiteral("promptEdit"));
    prompt_->setMinimumHeight(140);
    promptReset_ = new QPushButton(this);
    promptReset_->setObjectName(QStringLiteral("promptReset"));
    auto* promptRow = new QHBoxLayout;
    promptRow->addWidget(promptLabel_, 1);
    promptRow->addWidget(promptReset_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addWidget(enabled_);
    layout->addLayout(providerRow);
    layout->addWidget(claudeGroup_);
    layout->addWidget(ollamaGroup_);
    layout->addLayout(promptRow);
    layout->addWidget(prompt_, 1);

    connect(enabled_, &QCheckBox::toggled, this, [](bool on) { Settings::shared().setConsolidationEnabled(on); });
    connect(provider_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0) return;
        controller_->setProvider(parseProvider(provider_->itemData(index).toString()));
        updateProviderGroups();
    });
    connect(keyField_, &QLineEdit::textChanged, this, [this] { updateKeyState(); });
    connect(keyField_, &QLineEdit::returnPressed, this, [this] { saveKey(); });
    connect(saveKey_, &QPushButton::clicked, this, [this] { saveKey(); });
    connect(removeKey_, &QPushButton::clicked, this, [this] { removeKey(); });
    connect(claudeModel_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) Settings::shared().setConsolidationClaudeModel(claudeModel_->itemData(index).toString());
    });
    connect(claudeRefresh_, &QPushButton::clicked, this, [this] { service_.fetchClaudeModels(); });
    connect(endpoint_, &QLineEdit::editingFinished, this, [this] {
        const QString text = endpoint_->text().trimmed();
        if (text == Settings::shared().consolidationOllamaEndpoint()) return;
        controller_->setOllamaEndpoint(text);
        service_.fetchOllamaModels();
    });
    connect(ollamaModel_, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        if (text.trimmed() != Settings::shared().consolidationOllamaModel()) controller_->setOllamaModel(text.trimmed());
    });
    connect(ollamaRefresh_, &QPushButton::clicked, this, [this] { service_.fetchOllamaModels(); });
    // The prompt is stored once typing pauses, and when the page goes away.
    promptSave_ = new QTimer(this);
    promptSave_->setSingleShot(true);
    promptSave_->setInterval(400);
    connect(promptSave_, &QTimer::timeout, this, [this] { savePrompt(); });
    connect(prompt_, &QPlainTextEdit::textChanged, this, [this] {
        promptEdited_ = true;
        promptSave_->start();
    });
    connect(promptReset_, &QPushButton::clicked, this, [this] {
        promptSave_->stop();
        promptEdited_ = false;
        controller_->resetPromptToDefault();
        const QSignalBlocker block(prompt_);
        prompt_->setPlainText(Settings::shared().consolidationPrompt());
    });

    connect(controller_, &ConsolidationSettingsController::apiKeyChanged, this, [this] {
        {
            const QSignalBlocker block(keyField_);
            keyField_->setText(controller_->apiKeyFieldText());
        }
        updateKeyState();
    });
    connect(&service_, &ConsolidationService::availableClaudeModelsChanged, this, [this] {
        fillClaudeModels();
        updateClaudeStatus();
    });
    connect(&service_, &ConsolidationService::isFetchingClaudeModelsChanged, this, [this] { updateClaudeStatus(); });
    connect(&service_, &ConsolidationService::claudeFetchErrorChanged, this, [this] { updateClaudeStatus(); });
    connect(&service_, &ConsolidationService::availableOllamaModelsChanged, this, [this] {
        fillOllamaModels();
        updateOllamaStatus();
    });
    connect(&service_, &ConsolidationService::isFetchingOllamaModelsChanged, this, [this] { updateOllamaStatus(); });
    connect(&service_, &ConsolidationService::ollamaFetchErrorChanged, this, [this] { updateOllamaStatus(); });

    // The service fills in a model of its own choosing after a refresh.
    connect(&Settings::shared(), &Settings::changed, this, [this](const QString& key) {
        if (key == QLatin1String(settings_keys::consolidationClaudeModel)) {
            if (claudeModel_->currentData().toString() != Settings::shared().consolidationClaudeModel()) fillClaudeModels();
        } else if (key == QLatin1String(settings_keys::consolidationOllamaModel)) {
            if (ollamaModel_->currentText().trimmed() != Settings::shared().consolidationOllamaModel()) fillOllamaModels();
        }
    });

    load();
    retranslate();
    loadKey();
}

ConsolidationSettingsPage::~ConsolidationSettingsPage() { savePrompt(); }

void ConsolidationSettingsPage::hideEvent(QHideEvent* event) {
    savePrompt();
    SettingsPage::hideEvent(event);
}

void ConsolidationSettingsPage::savePrompt() {
    promptSave_->stop();
    if (!promptEdited_) return;
    promptEdited_ = false;
    Settings::shared().setConsolidationPrompt(prompt_->toPlainText());
}

void ConsolidationSettingsPage::pageShown() { load(); }

void ConsolidationSettingsPage::load() {
    const Settings& settings = Settings::shared();
    savePrompt();
    {
        const QSignalBlocker a(enabled_), b(provider_), c(endpoint_), d(prompt_);
        enabled_->setChecked(settings.consolidationEnabled());
        provider_->setCurrentIndex(provider_->findData(providerRawValue(settings.consolidationProvider())));
        endpoint_->setText(settings.consolidationOllamaEndpoint());
        if (prompt_->toPlainText() != settings.consolidationPrompt()) prompt_->setPlainText(settings.consolidationPrompt());
    }
    fillClaudeModels();
    fillOllamaModels();
    updateProviderGroups();
}

void ConsolidationSettingsPage::updateProviderGroups() {
    const bool ollama = parseProvider(provider_->currentData().toString()) == ConsolidationProvider::Ollama;
    claudeGroup_->setVisible(!ollama);
    ollamaGroup_->setVisible(ollama);
}

void ConsolidationSettingsPage::fillClaudeModels() {
    const QSignalBlocker block(claudeModel_);
    const QString stored = Settings::shared().consolidationClaudeModel();
    claudeModel_->clear();
    for (const ClaudeModel& m : service_.claudeModelsShown()) claudeModel_->addItem(m.displayName, m.id);
    int index = claudeModel_->findData(stored);
    if (index < 0) {
        // A model chosen earlier that the list does not offer stays selectable.
        claudeModel_->addItem(modelDisplayName(QStringLiteral("claude/") + stored), stored);
        index = claudeModel_->count() - 1;
    }
    claudeModel_->setCurrentIndex(index);
}

void ConsolidationSettingsPage::fillOllamaModels() {
    const QSignalBlocker block(ollamaModel_);
    const QString stored = Settings::shared().consolidationOllamaModel();
    ollamaModel_->clear();
    ollamaModel_->addItems(service_.availableOllamaModels());
    const int index = ollamaModel_->findText(stored);
    if (index >= 0) {
        ollamaModel_->setCurrentIndex(index);
    } else {
        ollamaModel_->setCurrentIndex(-1);
        ollamaModel_->setEditText(stored);
    }
    retranslate();
}

void ConsolidationSettingsPage::updateClaudeStatus() {
    QString text;
    if (service_.isFetchingClaudeModels()) {
        //% "Loading the models of your account…"
        text = qtTrId("settings.consolidation.claude.fetching");
    } else if (const auto error = service_.claudeFetchError()) {
        text = localizedDiscoveryError(*error);
    } else if (!service_.availableClaudeModels().isEmpty()) {
        //% "%1 models available to your account."
        text = qtTrId("settings.consolidation.claude.fetched").arg(service_.availableClaudeModels().size());
    } else {
        //% "Built-in list. Save an API key to see the models of your account."
        text = qtTrId("settings.consolidation.claude.builtin");
    }
    claudeStatus_->setText(text);
    claudeRefresh_->setEnabled(!service_.isFetchingClaudeModels());
}

void ConsolidationSettingsPage::updateOllamaStatus() {
    QString text;
    if (service_.isFetchingOllamaModels()) {
        //% "Looking for installed models…"
        text = qtTrId("settings.consolidation.ollama.fetching");
    } else if (const auto error = service_.ollamaFetchError()) {
        text = localizedDiscoveryError(*error);
    } else if (!service_.availableOllamaModels().isEmpty()) {
        //% "%1 models installed on this server."
        text = qtTrId("settings.consolidation.ollama.fetched").arg(service_.availableOllamaModels().size());
    }
    ollamaStatus_->setText(text);
    ollamaRefresh_->setEnabled(!service_.isFetchingOllamaModels());
}

void ConsolidationSettingsPage::updateKeyState() {
    const QString text = keyField_->text();
    const bool saved = controller_->hasSavedAPIKey();
    saveKey_->setEnabled(!text.trimmed().isEmpty() && !(saved && text == controller_->apiKeyFieldText()));
    removeKey_->setEnabled(saved);
    QString storage;
    if (!keyError_.isEmpty()) {
        storage = keyError_;
    } else if (controller_->usesFileFallback()) {
        //% "No Secret Service is running, so the key is kept in %1, readable only by you."
        storage = qtTrId("settings.consolidation.key.file").arg(SecretStore::fallbackFilePath());
    } else {
        //% "The key is kept in your desktop's keyring (Secret Service)."
        storage = qtTrId("settings.consolidation.key.keyring");
    }
    keyStorage_->setText(storage);
}

QCoro::Task<> ConsolidationSettingsPage::loadKey() {
    QPointer<ConsolidationSettingsPage> self(this);
    QString error;
    try {
        co_await controller_->load();
    } catch (const Error& e) {
        error = e.description();
    }
    if (!self) co_return;
    keyError_ = error;
    updateKeyState();
}

QCoro::Task<> ConsolidationSettingsPage::saveKey() {
    QPointer<ConsolidationSettingsPage> self(this);
    const QString entered = keyField_->text();
    if (controller_->hasSavedAPIKey() && entered == controller_->apiKeyFieldText()) co_return;
    QString error;
    bool stored = false;
    try {
        stored = co_await controller_->saveAPIKey(entered);
    } catch (const Error& e) {
        error = e.description();
    }
    if (!self) co_return;
    keyError_ = error;
    updateKeyState();
    if (stored) service_.fetchClaudeModels();
}

QCoro::Task<> ConsolidationSettingsPage::removeKey() {
    QPointer<ConsolidationSettingsPage> self(this);
    QString error;
    try {
        co_await controller_->removeAPIKey();
    } catch (const Error& e) {
        error = e.description();
    }
    if (!self) co_return;
    keyError_ = error;
    updateKeyState();
}

void ConsolidationSettingsPage::retranslate() {
    //% "Consolidation"
    heading_->setText(qtTrId("settings.tab.consolidation"));
    //% "Consolidate new lectures into study notes"
    enabled_->setText(qtTrId("settings.consolidation.enabled"));
    //% "Provider:"
    providerLabel_->setText(qtTrId("settings.consolidation.provider"));
    //% "Claude (Anthropic)"
    claudeGroup_->setTitle(qtTrId("settings.consolidation.claude.title"));
    //% "API key:"
    keyLabel_->setText(qtTrId("settings.consolidation.key"));
    //% "Paste your Anthropic API key"
    keyField_->setPlaceholderText(qtTrId("settings.consolidation.key.placeholder"));
    //% "Save"
    saveKey_->setText(qtTrId("settings.consolidation.key.save"));
    //% "Remove"
    removeKey_->setText(qtTrId("settings.consolidation.key.remove"));
    //% "Model:"
    claudeModelLabel_->setText(qtTrId("settings.consolidation.model"));
    //% "Refresh"
    claudeRefresh_->setText(qtTrId("settings.consolidation.refresh"));
    //% "Ollama (on your own computer or network)"
    ollamaGroup_->setTitle(qtTrId("settings.consolidation.ollama.title"));
    //% "Server address:"
    endpointLabel_->setText(qtTrId("settings.consolidation.ollama.endpoint"));
    //% "Model:"
    ollamaModelLabel_->setText(qtTrId("settings.consolidation.model"));
    //% "Refresh"
    ollamaRefresh_->setText(qtTrId("settings.consolidation.refresh"));
    if (service_.availableOllamaModels().isEmpty())
        //% "(type manually or tap Refresh)"
        ollamaModel_->lineEdit()->setPlaceholderText(qtTrId("settings.consolidation.ollama.model.manual"));
    else
        //% "Select a model…"
        ollamaModel_->lineEdit()->setPlaceholderText(qtTrId("settings.consolidation.ollama.model.placeholder"));
    //% "Instructions given to the model:"
    promptLabel_->setText(qtTrId("settings.consolidation.prompt"));
    //% "Reset to Default"
    promptReset_->setText(qtTrId("settings.consolidation.prompt.reset"));
    updateClaudeStatus();
    updateOllamaStatus();
    updateKeyState();
}

}  // namespace lumenote
