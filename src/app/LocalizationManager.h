#pragma once

// The interface language, chosen in the settings independently of the
// system's: the stored code picks one of five catalogues (:/i18n/<code>.qm),
// which is installed as the application's translator. Installing it sends
// every widget a LanguageChange event, so an open window retranslates at once.

#include <QList>
#include <QObject>
#include <QString>
#include <QTranslator>

#include <memory>

namespace lumenote {

class Settings;

class LocalizationManager : public QObject {
    Q_OBJECT
public:
    enum class Language { english, spanish, french, italian, german };
    Q_ENUM(Language)

    // The process-wide instance, over Settings::shared().
    static LocalizationManager& shared();
    // An instance over other settings, with catalogues under another resource
    // folder (tests).
    LocalizationManager(Settings& settings, QString catalogueFolder, QObject* parent = nullptr);
    ~LocalizationManager() override;

    static const QList<Language>& languages();
    static QString code(Language language);
    static QString displayName(Language language);
    // The language of a stored code; a code that names none of the five is English.
    static Language languageForCode(const QString& code);

    Language currentLanguage() const { return current_; }
    // Stores the code and reloads the catalogue; notifies only when the
    // language differs.
    void setCurrentLanguage(Language language);

    // The catalogue in use: its resource path, or empty when none could be
    // loaded (the texts built into the program are shown then).
    QString bundlePath() const { return bundlePath_; }

signals:
    void currentLanguageChanged(lumenote::LocalizationManager::Language language);
    void bundleChanged();

private:
    void loadBundle();

    Settings& settings_;
    QString catalogueFolder_;
    Language current_ = Language::english;
    QString bundlePath_;
    std::unique_ptr<QTranslator> translator_;
};

}  // namespace lumenote
