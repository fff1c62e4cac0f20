#include "app/LogoManager.h"

#include "core/Settings.h"

#include <QCoreApplication>

namespace lumenote {

namespace {

struct VariantInfo {
    LogoManager::Variant variant;
    const char* raw;
};

const VariantInfo kVariants[] = {
    {LogoManager::Variant::automatic, "automatic"},
    {LogoManager::Variant::standard, "standard"},
    {LogoManager::Variant::autumn, "autumn"},
    {LogoManager::Variant::christmas, "christmas"},
};

}  // namespace

LogoManager& LogoManager::shared() {
    static auto* instance = new LogoManager(Settings::shared(), qApp);
    return *instance;
}

LogoManager::LogoManager(Settings& settings, QObject* parent)
    : QObject(parent), settings_(settings), selected_(variantForRawValue(settings.debugLogoVariant())) {}

QString LogoManager::rawValue(Variant variant) {
    for (const auto& info : kVariants) {
        if (info.variant == variant) return QString::fromLatin1(info.raw);
    }
    return QStringLiteral("automatic");
}

LogoManager::Variant LogoManager::variantForRawValue(const QString& value) {
    for (const auto& info : kVariants) {
        if (value == QLatin1String(info.raw)) return info.variant;
    }
    return Variant::automatic;
}

QString LogoManager::imageName(Variant variant, const QDate& today) {
    switch (variant) {
    case Variant::standard:
        return QStringLiteral("LumenoteLogo");
    case Variant::autumn:
        return QStringLiteral("LumenoteLogo-Autumn");
    case Variant::christmas:
        return QStringLiteral("LumenoteLogo-Christmas");
    case Variant::automatic:
        break;
    }
    const int month = today.month();
    if (month >= 9 && month <= 11) return QStringLiteral("LumenoteLogo-Autumn");
    if (month == 12) return QStringLiteral("LumenoteLogo-Christmas");
    return QStringLiteral("LumenoteLogo");
}

QString LogoManager::resourcePath(const QString& imageName) {
    return QStringLiteral(":/logo/%1.svg").arg(imageName);
}

void LogoManager::setSelectedVariant(Variant variant) {
    const bool changed = variant != selected_;
    selected_ = variant;
    settings_.setDebugLogoVariant(rawValue(variant));
    if (changed) emit selectedVariantChanged(variant);
}

}  // namespace lumenote
