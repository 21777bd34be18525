#include "core/AppModel.h"

#include "model/FileNames.h"

#include <QSet>

#include <limits>

QString AppModel::sanitize(const QString& name)
{
    QString s = replaceForbiddenCharacters(name, QStringLiteral("-"));
    // Spaces and tabs only: line breaks are not trimmed.
    qsizetype first = 0;
    qsizetype last = s.size();
    while (first < last && (s[first] == u' ' || s[first] == u'\t')) ++first;
    while (last > first && (s[last - 1] == u' ' || s[last - 1] == u'\t')) --last;
    // Control characters go after the trim, so the tabs at the ends are trimmed as before.
    s = replaceControlCharacters(s.mid(first, last - first), QStringLiteral("-"));
    return s.isEmpty() ? QStringLiteral("scan") : s;
}

QString AppModel::suffixOrDefault() const
{
    const QString s = replaceControlCharacters(replaceForbiddenCharacters(backSuffix_, QString()), QString());
    return s.isEmpty() ? QStringLiteral("_b") : s;
}

QString AppModel::numberedStem(const QString& base, std::int64_t index)
{
    return base + QStringLiteral("_") + QStringLiteral("%1").arg(index, 4, 10, QLatin1Char('0'));
}

std::int64_t AppModel::nextIndex(const QString& base) const
{
    const auto largest = folderIndex_.largestIndex(outputDir_, sanitize(base) + QStringLiteral("_"));
    return largest ? *largest + 1 : 1;  // largestIndex leaves out the one value with no successor
}

AppModel::StemMap AppModel::plannedStems() const
{
    const QString base = sanitize(baseName_);
    const QString suffix = suffixOrDefault();
    std::int64_t n = nextIndex(base);
    // At the largest 64-bit index the numbering cannot go on; the repeats it would give are
    // told apart below like any other repeated stem.
    const auto take = [&n] { return n == std::numeric_limits<std::int64_t>::max() ? n : n++; };

    StemMap stems;
    StemMap fronts;
    for (const ScanRegion& r : regions_) {
        if (r.isBack()) continue;
        stems.insert(r.id, numberedStem(base, take()));
        fronts.insert(r.id, stems.value(r.id));
    }
    const StemMap paired = backBases(fronts);
    for (const ScanRegion& r : regions_) {
        if (!r.isBack()) continue;
        // A front base that came from a file names a file only when it is a safe stem.
        const auto front = paired.contains(r.id) ? safeStem(paired.value(r.id)) : std::nullopt;
        if (front) stems.insert(r.id, *front + suffix);
        else stems.insert(r.id, numberedStem(base, take()));
    }

    // Two regions must never name one file: in list order the first keeps its stem and each
    // repeat takes the first free "-2", "-3", … that no region plans for itself.
    QSet<QString> natural;
    for (const QString& stem : stems) natural.insert(stem);
    QSet<QString> taken;
    QSet<QUuid> seen;
    for (const ScanRegion& r : regions_) {
        if (seen.contains(r.id)) continue;  // a repeated id has one stem, planned once
        seen.insert(r.id);
        const auto it = stems.find(r.id);
        if (taken.contains(*it)) {
            for (int k = 2;; ++k) {
                const QString candidate = *it + QStringLiteral("-%1").arg(k);
                if (!taken.contains(candidate) && !natural.contains(candidate)) {
                    *it = candidate;
                    break;
                }
            }
        }
        taken.insert(*it);
    }
    return stems;
}

AppModel::StemMap AppModel::backFrontStems() const
{
    const StemMap stems = plannedStems();
    StemMap fronts;
    for (const ScanRegion& r : regions_)
        if (!r.isBack() && stems.contains(r.id)) fronts.insert(r.id, stems.value(r.id));
    return backBases(fronts);
}
