#pragma once

// Which artwork of the logo the welcome screen shows: a fixed variant, or by
// default the season's (autumn from September to November, Christmas in
// December). The artworks are :/logo/<image name>.svg.

#include <QDate>
#include <QObject>
#include <QString>

#include <optional>

namespace lumenote {

class Settings;

class LogoManager : public QObject {
    Q_OBJECT
public:
    enum class Variant { automatic, standard, autumn, christmas };
    Q_ENUM(Variant)

    static LogoManager& shared();
    explicit LogoManager(Settings& settings, QObject* parent = nullptr);

    static QString rawValue(Variant variant);
    // The variant of a stored value; anything else is automatic.
    static Variant variantForRawValue(const QString& value);
    // The image name for a variant on a date ("LumenoteLogo", "LumenoteLogo-Autumn", "LumenoteLogo-Christmas").
    static QString imageName(Variant variant, const QDate& today);
    static QString resourcePath(const QString& imageName);

    Variant selectedVariant() const { return selected_; }
    void setSelectedVariant(Variant variant);
    // The image to show now; the season is read at every call.
    QString imageName() const { return imageName(selected_, QDate::currentDate()); }

signals:
    void selectedVariantChanged(lumenote::LogoManager::Variant variant);

private:
    Settings& settings_;
    Variant selected_ = Variant::automatic;
};

}  // namespace lumenote
