#include "consolidation/ConsolidationSettings.h"

#include "consolidation/ConsolidationProtocol.h"
#include "consolidation/SecretStore.h"
#include "core/Settings.h"

#include <algorithm>

namespace lumenote {

QString apiKeyMask(const QString& key) {
    const qsizetype length = std::min<qsizetype>(consolidation::characterCount(key), 32);
    return QString(length, QChar(0x2022));
}

ConsolidationSettingsController::ConsolidationSettingsController(SecretStore& secrets, Settings& settings, QObject* parent)
    : QObject(parent), secrets_(secrets), settings_(settings) {}

ConsolidationSettingsController::ConsolidationSettingsController(QObject* parent)
    : ConsolidationSettingsController(SecretStore::shared(), Settings::shared(), parent) {}

QCoro::Task<> ConsolidationSettingsController::load() {
    usesFileFallback_ = co_await secrets_.usesFileFallback();
    const std::optional<QString> key = co_await secrets_.read(kClaudeAPIKeyAccount);
    setMask(key ? apiKeyMask(*key) : QString());
    emit apiKeyChanged();
}

QCoro::Task<bool> ConsolidationSettingsController::saveAPIKey(QString entered) {
    const QString key = entered.trimmed();
    if (key.isEmpty()) co_return false;
    co_await secrets_.remove(kClaudeAPIKeyAccount);
    co_await secrets_.write(kClaudeAPIKeyAccount, key);
    usesFileFallback_ = co_await secrets_.usesFileFallback();
    setMask(apiKeyMask(key));
    emit apiKeyChanged();
    co_return true;
}

QCoro::Task<> ConsolidationSettingsController::removeAPIKey() {
    co_await secrets_.remove(kClaudeAPIKeyAccount);
    setMask(QString());
    emit apiKeyChanged();
}

void ConsolidationSettingsController::resetPromptToDefault() { settings_.setConsolidationPrompt(kDefaultConsolidationPrompt); }

void ConsolidationSettingsController::setProvider(ConsolidationProvider provider) { settings_.setConsolidationProvider(provider); }

void ConsolidationSettingsController::setOllamaEndpoint(const QString& endpoint) { settings_.setConsolidationOllamaEndpoint(endpoint); }

void ConsolidationSettingsController::setOllamaModel(const QString& model) { settings_.setConsolidationOllamaModel(model); }

void ConsolidationSettingsController::setMask(const QString& mask) { mask_ = mask; }

}  // namespace lumenote
