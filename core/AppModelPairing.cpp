#include "core/AppModel.h"

#include "model/StableInsertionSort.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

struct Candidate {
    QString base;
    QPointF center;
};

struct CandidatePair {
    QUuid back;
    std::size_t entry;
    double distance;
};

}  // namespace

AppModel::StemMap AppModel::backBases(const StemMap& activeFrontStems) const
{
    StemMap result;
    std::vector<QUuid> automatic;
    for (const ScanRegion& r : regions_) {
        if (!r.back) continue;
        switch (r.back->kind) {
        case BackTarget::Kind::Region:
            if (activeFrontStems.contains(r.back->regionID)) result.insert(r.id, activeFrontStems.value(r.back->regionID));
            break;
        case BackTarget::Kind::History: result.insert(r.id, r.back->base); break;
        case BackTarget::Kind::Auto: automatic.push_back(r.id); break;
        }
    }
    if (automatic.empty()) return result;

    QSet<QString> claimed;
    for (const QString& base : result) claimed.insert(base);

    // The pool: unclaimed fronts of the latest batch, then unclaimed fronts on the bed (in
    // list order, so that ties between equal distances resolve the same way every time).
    std::vector<Candidate> pool;
    for (const ScanRecord& r : previousScanRecords())
        if (!claimed.contains(r.base)) pool.push_back({r.base, r.center});
    for (const ScanRegion& r : regions_) {
        if (!activeFrontStems.contains(r.id)) continue;
        const QString stem = activeFrontStems.value(r.id);
        if (!claimed.contains(stem)) pool.push_back({stem, r.center});
    }
    if (pool.empty()) return result;

    std::vector<CandidatePair> pairs;
    for (const QUuid& id : automatic) {
        const auto back = region(id);
        if (!back) continue;
        for (std::size_t i = 0; i < pool.size(); ++i) {
            const double d = std::hypot(back->center.x() - pool[i].center.x(), back->center.y() - pool[i].center.y());
            // A position that is not a number sorts last rather than breaking the order.
            pairs.push_back({id, i, std::isnan(d) ? std::numeric_limits<double>::infinity() : d});
        }
    }
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const CandidatePair& a, const CandidatePair& b) { return a.distance < b.distance; });

    QSet<QUuid> pairedBacks;
    std::vector<bool> used(pool.size(), false);
    for (const CandidatePair& p : pairs) {
        if (pairedBacks.contains(p.back) || used[p.entry]) continue;
        result.insert(p.back, pool[p.entry].base);
        pairedBacks.insert(p.back);
        used[p.entry] = true;
    }
    return result;
}

std::vector<ScanRecord> AppModel::previousScanRecords() const
{
    const auto latest = latestSession(history_);
    std::vector<ScanRecord> out;
    if (!latest) return out;
    for (const ScanRecord& r : history_)
        if (r.session == *latest) out.push_back(r);
    return out;
}

QHash<QString, int> AppModel::previousColorIndexByBase() const
{
    std::vector<ScanRecord> records = previousScanRecords();
    // Reading order: rows more than an inch apart top to bottom, within a row left to right.
    stableInsertionSort(records, [](const ScanRecord& a, const ScanRecord& b) {
        const double dy = a.center.y() - b.center.y();
        if (std::abs(dy) > 1.0) return dy < 0;
        return a.center.x() < b.center.x();
    });
    QHash<QString, int> index;
    for (std::size_t i = 0; i < records.size(); ++i) index.insert(records[i].base, static_cast<int>(i));
    return index;
}

bool AppModel::canPair() const { return !previousScanRecords().empty() && !overview_.isNull() && info_.has_value(); }
