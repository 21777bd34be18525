#pragma once

// The option descriptors of one open SANE handle, looked up by name, with setting that
// honours SANE_INFO_RELOAD_OPTIONS: after a set that asks for it, every descriptor is fetched
// again before anything else is read or set. Used on the SANE thread only.

#include <QString>
#include <QStringList>

#include <sane/sane.h>

#include <optional>
#include <unordered_map>
#include <vector>

class SaneOptions {
public:
    explicit SaneOptions(SANE_Handle handle = nullptr);

    void reload();

    // Null when the option does not exist.
    const SANE_Option_Descriptor* find(const char* name) const;
    bool isActive(const char* name) const;
    bool isSettable(const char* name) const;

    // The values a numeric option accepts: a word list as given, or for a range the `common`
    // values inside it plus its minimum and maximum. Empty when it is not numeric or unconstrained.
    std::vector<double> numericChoices(const char* name, const std::vector<double>& common) const;
    // The largest value a numeric option accepts; nullopt when unknown.
    std::optional<double> maximum(const char* name) const;
    QStringList stringChoices(const char* name) const;

    std::optional<double> number(const char* name) const;
    std::optional<QString> string(const char* name) const;
    std::optional<bool> boolean(const char* name) const;

    // Sets the option and reloads the descriptors when the backend says so. Numeric values
    // are clamped into a range or moved to the nearest listed word; `roundUp` picks the next
    // fixed-point step rather than the nearest, so that a length is never cut short.
    // The SANE status text on failure.
    std::optional<QString> setNumber(const char* name, double value, bool roundUp = false);
    std::optional<QString> setString(const char* name, const QString& value);
    std::optional<QString> setBoolean(const char* name, bool value);
    // Sets from text as a user would type it: numbers, booleans ("true"/"false") or strings.
    std::optional<QString> setFromText(const char* name, const QString& text);

    // The boolean options that report a hardware control (a button on the scanner).
    std::vector<QString> sensorNames() const;

private:
    std::optional<QString> control(int index, void* value);

    SANE_Handle handle_;
    std::vector<const SANE_Option_Descriptor*> descriptors_;
    std::unordered_map<std::string, int> index_;
};
