#include "app/LocalizationManager.h"

#include "core/Settings.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace lumenote {

namespace {

struct LanguageInfo {
    LocalizationManager::Language language;
    const char* code;
    const char* displayName;
};

const LanguageInfo kLanguages[] = {
    {LocalizationManager::Language::english, "en", "English"},
    {LocalizationManager::Language::spanish, "es", "Español"},
    {LocalizationManager::Language::french, "fr", "Français"},
    {LocalizationManager::Language::italian, "it", "Italiano"},
    {LocalizationManager::Language::german, "de", "Deutsch"},
};

const LanguageInfo& infoFor(LocalizationManager::Language language) {
    for (const auto& info : kLanguages) {
        if (info.language == language) return info;
    }
    return kLanguages[0];
}

}  // namespace

LocalizationManager& LocalizationManager::shared() {
    static auto* instance = new LocalizationManager(Settings::shared(), QStringLiteral(":/i18n"), qApp);
    return *instance;
}

LocalizationManager::LocalizationManager(Settings& settings, QString catalogueFolder, QObject* parent)
    : QObject(parent), settings_(settings), catalogueFolder_(std::move(catalogueFolder)) {
    current_ = languageForCode(settings_.appLanguage());
    loadBundle();
}

LocalizationManager::~LocalizationManager() {
    if (translator_ && QCoreApplication::instance()) QCoreApplication::removeTranslator(translator_.get());
}

const QList<LocalizationManager::Language>& LocalizationManager::languages() {
    static const QList<Language> all = [] {
        QList<Language> list;
        for (const auto& info : kLanguages) list.append(info.language);
        return list;
    }();
    return all;
}

QString LocalizationManager::code(Language language) { return QString::fromLatin1(infoFor(language).code); }

QString LocalizationManager::displayName(Language language) {
    return QString::fromUtf8(infoFor(language).displayName);
}

LocalizationManager::Language LocalizationManager::languageForCode(const QString& code) {
    for (const auto& info : kLanguages) {
        if (code == QLatin1String(info.code)) return info.language;
    }
    return Language::english;
}

void LocalizationManager::setCurrentLanguage(Language language) {
    const bool changed = language != current_;
    current_ = language;
    settings_.setAppLanguage(code(language));
    loadBundle();
    if (changed) emit currentLanguageChanged(language);
}

void LocalizationManager::loadBundle() {
    const QString path = catalogueFolder_ + QLatin1Char('/') + code(current_) + QStringLiteral(".qm");
    QString loadedPath;
    std::unique_ptr<QTranslator> translator;
    if (QFileInfo::exists(path)) {
        translator = std::make_unique<QTranslator>();
        if (translator->load(path)) {
            loadedPath = path;
        } else {
            translator.reset();
        }
    }
    if (loadedPath == bundlePath_ && (translator != nullptr) == (translator_ != nullptr)) return;

    if (translator_) QCoreApplication::removeTranslator(translator_.get());
    translator_ = std::move(translator);
    bundlePath_ = loadedPath;
    if (translator_) QCoreApplication::installTranslator(translator_.get());
    emit bundleChanged();
}

}  // namespace lumenote
