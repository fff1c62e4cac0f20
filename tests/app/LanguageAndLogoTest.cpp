#include "app/LocalizationManager.h"
#include "app/LogoManager.h"
#include "core/Settings.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QSvgRenderer>

using namespace lumenote;
using Language = LocalizationManager::Language;
using Variant = LogoManager::Variant;

namespace {

class LanguageAndLogoTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings::shared().remove(settings_keys::appLanguage);
        Settings::shared().remove(settings_keys::debugLogoVariant);
    }
};

}  // namespace

TEST_F(LanguageAndLogoTest, StoredCodeChoosesLanguageAndCatalogue) {
    struct Case {
        const char* stored;  // nullptr: nothing stored
        Language language;
        const char* catalogue;
        const char* toolsTab;  // what the catalogue makes of one text id
    };
    const Case cases[] = {
        {nullptr, Language::english, ":/i18n/en.qm", "Tools"},
        {"en", Language::english, ":/i18n/en.qm", "Tools"},
        {"es", Language::spanish, ":/i18n/es.qm", "Herramientas"},
        {"fr", Language::french, ":/i18n/fr.qm", "Outils"},
        {"it", Language::italian, ":/i18n/it.qm", "Strumenti"},
        {"de", Language::german, ":/i18n/de.qm", "Werkzeuge"},
        {"pt", Language::english, ":/i18n/en.qm", "Tools"},
        {"DE", Language::english, ":/i18n/en.qm", "Tools"},
        {"", Language::english, ":/i18n/en.qm", "Tools"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(absent)");
        if (c.stored)
            Settings::shared().setRawValue(settings_keys::appLanguage, QString::fromLatin1(c.stored));
        else
            Settings::shared().remove(settings_keys::appLanguage);
        LocalizationManager manager(Settings::shared(), QStringLiteral(":/i18n"));
        EXPECT_EQ(manager.currentLanguage(), c.language);
        EXPECT_EQ(manager.bundlePath(), QLatin1String(c.catalogue));
        EXPECT_EQ(qtTrId("settings.tab.tools"), QString::fromUtf8(c.toolsTab));
        // An unknown code is not rewritten until the user picks a language.
        EXPECT_EQ(Settings::shared().contains(settings_keys::appLanguage), c.stored != nullptr);
        if (c.stored) {
            EXPECT_EQ(Settings::shared().rawValue(settings_keys::appLanguage).toString(), QLatin1String(c.stored));
        }
    }
}

TEST_F(LanguageAndLogoTest, ChangingLanguageStoresReloadsAndNotifiesOnlyOnChange) {
    LocalizationManager manager(Settings::shared(), QStringLiteral(":/i18n"));
    QSignalSpy changed(&manager, &LocalizationManager::currentLanguageChanged);
    manager.setCurrentLanguage(Language::italian);
    EXPECT_EQ(Settings::shared().appLanguage(), "it");
    EXPECT_EQ(manager.bundlePath(), ":/i18n/it.qm");
    EXPECT_EQ(qtTrId("settings.tab.general"), "Generali");
    EXPECT_EQ(changed.count(), 1);

    Settings::shared().remove(settings_keys::appLanguage);
    manager.setCurrentLanguage(Language::italian);  // the same: stored again, no notification
    EXPECT_EQ(Settings::shared().appLanguage(), "it");
    EXPECT_EQ(changed.count(), 1);

    manager.setCurrentLanguage(Language::english);
    EXPECT_EQ(qtTrId("settings.tab.general"), "General");
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(LanguageAndLogoTest, MissingCatalogueFallsBackWithoutError) {
    Settings::shared().setAppLanguage("fr");
    LocalizationManager manager(Settings::shared(), QStringLiteral(":/nowhere"));
    EXPECT_EQ(manager.currentLanguage(), Language::french);
    EXPECT_TRUE(manager.bundlePath().isEmpty());
    manager.setCurrentLanguage(Language::german);
    EXPECT_EQ(manager.currentLanguage(), Language::german);
    EXPECT_TRUE(manager.bundlePath().isEmpty());
}

TEST_F(LanguageAndLogoTest, LanguagesInPickerOrderWithNativeNames) {
    QStringList codes, names;
    for (const Language l : LocalizationManager::languages()) {
        codes << LocalizationManager::code(l);
        names << LocalizationManager::displayName(l);
    }
    EXPECT_EQ(codes, (QStringList{"en", "es", "fr", "it", "de"}));
    EXPECT_EQ(names, (QStringList{"English", "Español", "Français", "Italiano", "Deutsch"}));
}

TEST_F(LanguageAndLogoTest, SeasonalLogoOnTheEdgeDates) {
    const struct {
        QDate date;
        const char* image;
    } cases[] = {
        {{2025, 1, 1}, "LumenoteLogo"},           {{2025, 8, 31}, "LumenoteLogo"},
        {{2025, 9, 1}, "LumenoteLogo-Autumn"},    {{2025, 11, 30}, "LumenoteLogo-Autumn"},
        {{2025, 12, 1}, "LumenoteLogo-Christmas"}, {{2025, 12, 31}, "LumenoteLogo-Christmas"},
        {{2024, 2, 29}, "LumenoteLogo"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.date.toString(Qt::ISODate).toStdString());
        EXPECT_EQ(LogoManager::imageName(Variant::automatic, c.date), QLatin1String(c.image));
        // A fixed variant ignores the season.
        EXPECT_EQ(LogoManager::imageName(Variant::standard, c.date), "LumenoteLogo");
        EXPECT_EQ(LogoManager::imageName(Variant::autumn, c.date), "LumenoteLogo-Autumn");
        EXPECT_EQ(LogoManager::imageName(Variant::christmas, c.date), "LumenoteLogo-Christmas");
    }
}

TEST_F(LanguageAndLogoTest, VariantIsReadAndStoredByRawValue) {
    const struct {
        const char* stored;
        Variant variant;
    } cases[] = {{nullptr, Variant::automatic}, {"automatic", Variant::automatic}, {"standard", Variant::standard},
                 {"autumn", Variant::autumn},   {"christmas", Variant::christmas}, {"Christmas", Variant::automatic},
                 {"winter", Variant::automatic}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(absent)");
        if (c.stored) Settings::shared().setDebugLogoVariant(QString::fromLatin1(c.stored));
        LogoManager manager(Settings::shared());
        EXPECT_EQ(manager.selectedVariant(), c.variant);
    }
    LogoManager manager(Settings::shared());
    QSignalSpy changed(&manager, &LogoManager::selectedVariantChanged);
    manager.setSelectedVariant(Variant::christmas);
    manager.setSelectedVariant(Variant::christmas);
    EXPECT_EQ(Settings::shared().debugLogoVariant(), "christmas");
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(manager.imageName(), "LumenoteLogo-Christmas");
}

TEST_F(LanguageAndLogoTest, EveryLogoArtworkIsInTheResources) {
    for (const char* name : {"LumenoteLogo", "LumenoteLogo-Autumn", "LumenoteLogo-Christmas"}) {
        SCOPED_TRACE(name);
        QSvgRenderer renderer(LogoManager::resourcePath(QLatin1String(name)));
        EXPECT_TRUE(renderer.isValid());
        EXPECT_GT(renderer.defaultSize().width(), 0);
    }
}
