#include "core/AppModel.h"

#include <cmath>

std::optional<ScanRegion> AppModel::region(const QUuid& id) const
{
    for (const ScanRegion& r : regions_)
        if (r.id == id) return r;
    return std::nullopt;
}

std::optional<ScanRegion> AppModel::selectedRegion() const
{
    if (!selectedID_) return std::nullopt;
    return region(*selectedID_);
}

void AppModel::selectRegion(const std::optional<QUuid>& id)
{
    setSelectedID(id);
    if (releaseKeyboardFocus) releaseKeyboardFocus();
}

void AppModel::addRegion(const QRectF& rect)
{
    ScanRegion r;
    // Numbered by the count before it: regions are never renumbered, so names may repeat.
    r.name = QStringLiteral("Region %1").arg(regions_.size() + 1);
    r.center = rect.center();
    r.size = QSizeF(std::abs(rect.width()), std::abs(rect.height()));
    r.angle = 0;
    if (drawSide_ == DrawSide::back) r.back = BackTarget::automatic();
    auto next = regions_;
    next.push_back(std::move(r));
    setRegions(next);
}

void AppModel::removeRegion(const QUuid& id)
{
    auto next = regions_;
    std::erase_if(next, [&](const ScanRegion& r) { return r.id == id; });
    setRegions(next);
    if (selectedID_ == id) setSelectedID(std::nullopt);
}

void AppModel::flipRegion(const QUuid& id)
{
    auto next = regions_;
    auto it = std::find_if(next.begin(), next.end(), [&](const ScanRegion& r) { return r.id == id; });
    if (it == next.end()) return;
    if (it->isBack()) it->back.reset();
    else it->back = it->frontBase ? BackTarget::history(*it->frontBase) : BackTarget::automatic();
    setRegions(next);
}

void AppModel::flipSpace()
{
    if (selectedID_ && region(*selectedID_)) {
        flipRegion(*selectedID_);
        return;
    }
    setDrawSide(drawSide_ == DrawSide::front ? DrawSide::back : DrawSide::front);
}
