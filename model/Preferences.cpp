#include "model/Preferences.h"

#include <QSettings>

Preferences::Preferences() : settings_(std::make_unique<QSettings>("Bivara", "Bivara Scanner")) {}

Preferences::Preferences(const QString& iniFile)
    : settings_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
}

Preferences::~Preferences() = default;

std::optional<QString> Preferences::string(const char* key) const
{
    const QVariant v = settings_->value(key);
    if (!v.isValid() || v.typeId() != QMetaType::QString) return std::nullopt;
    return v.toString();
}

void Preferences::setString(const char* key, const QString& value)
{
    settings_->setValue(key, value);
    settings_->sync();
}

std::optional<bool> Preferences::boolean(const char* key) const
{
    const QVariant v = settings_->value(key);
    if (!v.isValid()) return std::nullopt;
    return v.toBool();
}

void Preferences::setBoolean(const char* key, bool value)
{
    settings_->setValue(key, value);
    settings_->sync();
}
