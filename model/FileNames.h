#pragma once

#include <QString>

#include <optional>

// The nine characters that may not appear in a file name we write:  / \ : * ? " < > |
bool isForbiddenNameCharacter(QChar c);

// Each forbidden character replaced by `replacement` (which may be empty).
QString replaceForbiddenCharacters(const QString& text, const QString& replacement);

// Control characters (U+0000 to U+001F and U+007F) never reach a file name either: a NUL cuts
// the name short where the system reads it, a line break splits every line that prints it.
bool isControlCharacter(QChar c);
QString replaceControlCharacters(const QString& text, const QString& replacement);

// A stem that came from a file (a record's base, a history target, a front base) as it may
// become a file name inside the output folder: forbidden and control characters become "-",
// and a stem
// that is empty, "." or ".." never names a file (nullopt).
std::optional<QString> safeStem(const QString& stem);
