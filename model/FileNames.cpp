#include "model/FileNames.h"

bool isForbiddenNameCharacter(QChar c)
{
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    return forbidden.contains(c);
}

QString replaceForbiddenCharacters(const QString& text, const QString& replacement)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (isForbiddenNameCharacter(c)) out += replacement;
        else out += c;
    }
    return out;
}

std::optional<QString> safeStem(const QString& stem)
{
    const QString cleaned = replaceForbiddenCharacters(stem, QStringLiteral("-"));
    if (cleaned.isEmpty() || cleaned == "." || cleaned == "..") return std::nullopt;
    return cleaned;
}
