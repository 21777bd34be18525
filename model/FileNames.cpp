#include "model/FileNames.h"

bool isForbiddenNameCharacter(QChar c)
{
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    return forbidden.contains(c);
}

namespace {

template <class Test>
QString replaceWhere(const QString& text, const QString& replacement, Test test)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (test(c)) out += replacement;
        else out += c;
    }
    return out;
}

}  // namespace

QString replaceForbiddenCharacters(const QString& text, const QString& replacement)
{
    return replaceWhere(text, replacement, isForbiddenNameCharacter);
}

bool isControlCharacter(QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; }

QString replaceControlCharacters(const QString& text, const QString& replacement)
{
    return replaceWhere(text, replacement, isControlCharacter);
}

std::optional<QString> safeStem(const QString& stem)
{
    const QString cleaned =
        replaceControlCharacters(replaceForbiddenCharacters(stem, QStringLiteral("-")), QStringLiteral("-"));
    if (cleaned.isEmpty() || cleaned == "." || cleaned == "..") return std::nullopt;
    return cleaned;
}
