#pragma once

#include <QString>

#include <memory>
#include <optional>

class QSettings;

// The user's preferences: three keys in the per-user settings store.
class Preferences {
public:
    static constexpr const char* outputDirKey = "bivara.outputDir";
    static constexpr const char* baseNameKey = "bivara.baseName";
    static constexpr const char* showAllLinksKey = "bivara.showAllLinks";

    // The user's own store.
    Preferences();
    // A store in one file, for tests and tools that must not touch the user's settings.
    explicit Preferences(const QString& iniFile);
    ~Preferences();

    std::optional<QString> string(const char* key) const;
    void setString(const char* key, const QString& value);
    std::optional<bool> boolean(const char* key) const;
    void setBoolean(const char* key, bool value);

private:
    std::unique_ptr<QSettings> settings_;
};
