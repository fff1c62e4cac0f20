#pragma once

// The decisions of the consolidation settings screen, kept apart from any
// widget so that the settings dialog and `lumenote-cli settings` share them:
// the API key field (mask, save, remove), the prompt reset and the pickers.

#include "core/ConsolidationMode.h"

#include <QObject>
#include <QString>

#include <QCoroTask>

namespace lumenote {

class SecretStore;
class Settings;

// One "•" per character of the key, at most 32.
QString apiKeyMask(const QString& key);

inline const QString kOllamaModelPlaceholder = QStringLiteral("Select a model…");
inline const QString kOllamaManualModelHint = QStringLiteral("(type manually or tap Refresh)");

class ConsolidationSettingsController : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString apiKeyFieldText READ apiKeyFieldText NOTIFY apiKeyChanged)
    Q_PROPERTY(bool hasSavedAPIKey READ hasSavedAPIKey NOTIFY apiKeyChanged)
    Q_PROPERTY(bool usesFileFallback READ usesFileFallback NOTIFY apiKeyChanged)

public:
    explicit ConsolidationSettingsController(SecretStore& secrets, Settings& settings, QObject* parent = nullptr);
    // The shared secret store and settings.
    explicit ConsolidationSettingsController(QObject* parent = nullptr);

    // Reads the stored key (to show its mask) and where keys are kept. Throws
    // SecretStoreError when the store cannot be read.
    QCoro::Task<> load();

    // Trims white space and line breaks. A non-empty result replaces the stored
    // key (delete, then add) and the field shows its mask; an empty one stores
    // nothing. Returns whether a key was stored. Throws SecretStoreError.
    QCoro::Task<bool> saveAPIKey(QString entered);
    // Deletes the stored key. Throws SecretStoreError.
    QCoro::Task<> removeAPIKey();

    // The mask while a key is saved, else empty (the field then takes input).
    QString apiKeyFieldText() const { return mask_; }
    bool hasSavedAPIKey() const { return !mask_.isEmpty(); }
    // Keys live in the owner-only file because no Secret Service is running.
    bool usesFileFallback() const { return usesFileFallback_; }

    // "Reset to Default": the built-in prompt goes back into the setting.
    void resetPromptToDefault();
    void setProvider(ConsolidationProvider provider);
    void setOllamaEndpoint(const QString& endpoint);
    void setOllamaModel(const QString& model);

signals:
    void apiKeyChanged();

private:
    void setMask(const QString& mask);

    SecretStore& secrets_;
    Settings& settings_;
    QString mask_;
    bool usesFileFallback_ = false;
};

}  // namespace lumenote
