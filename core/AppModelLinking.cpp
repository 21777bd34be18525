#include "core/AppModel.h"

namespace {

BackTarget rememberedOrAuto(const ScanRegion& r)
{
    return r.frontBase ? BackTarget::history(*r.frontBase) : BackTarget::automatic();
}

}  // namespace

void AppModel::setPairing(bool on)
{
    if (on) {
        setDrawSide(DrawSide::back);
        ensureAllBacks();
    }
    setPairingMode(on);
}

void AppModel::ensureAllBacks()
{
    auto next = regions_;
    for (ScanRegion& r : next)
        if (!r.back) r.back = rememberedOrAuto(r);
    setRegions(next);
}

void AppModel::markAllBacks(bool backs)
{
    auto next = regions_;
    for (ScanRegion& r : next) {
        if (backs) r.back = rememberedOrAuto(r);
        else r.back.reset();
    }
    setRegions(next);
}

void AppModel::setBack(const QUuid& id, const std::optional<BackTarget>& target)
{
    auto next = regions_;
    const auto it = std::find_if(next.begin(), next.end(), [&](const ScanRegion& r) { return r.id == id; });
    if (it == next.end()) return;
    it->back = target;
    setRegions(next);
}

void AppModel::pair(const QUuid& back, const QUuid& front)
{
    if (back == front || !region(back) || !region(front)) return;
    auto next = regions_;
    for (ScanRegion& r : next)
        if (r.id == front) {
            r.back.reset();
            break;
        }
    for (ScanRegion& r : next)
        if (r.id == back) {
            r.back = BackTarget::region(front);
            break;
        }
    setRegions(next);
    selectRegion(back);
}

void AppModel::linkBack(const QUuid& back, const QString& toFront)
{
    if (!region(back)) return;
    const BackTarget target = BackTarget::history(toFront);
    auto next = regions_;
    bool done = false;
    for (ScanRegion& r : next) {
        if (r.id == back && !done) {
            r.back = target;
            done = true;
        } else if (r.back == target) {
            r.back = BackTarget::automatic();  // one remembered front has one linked back
        }
    }
    setRegions(next);
    selectRegion(back);
}

void AppModel::startLink(const QUuid& id, bool wantFront)
{
    selectRegion(id);
    setPendingLink(PendingLink{id, wantFront});
    setStatus(wantFront ? QStringLiteral("Click the front to link to — Esc to cancel")
                        : QStringLiteral("Click the back to link to — Esc to cancel"));
}

void AppModel::completePendingLink(const QUuid& targetID)
{
    if (!pendingLink_) return;
    const PendingLink link = *pendingLink_;
    setPendingLink(std::nullopt);
    if (targetID != link.sourceID && region(link.sourceID) && region(targetID)) {
        if (link.wantFront) pair(link.sourceID, targetID);
        else pair(targetID, link.sourceID);
        setStatus(QStringLiteral("Linked front ↔ back."));
    } else {
        setStatus(QStringLiteral("Link cancelled."));
    }
}

void AppModel::completePendingLinkToHistory(const QString& base)
{
    if (!pendingLink_) return;
    const QUuid source = pendingLink_->sourceID;
    setPendingLink(std::nullopt);
    if (!region(source)) {
        setStatus(QStringLiteral("Link cancelled."));
        return;
    }
    setBack(source, BackTarget::history(base));
    selectRegion(source);
    setStatus(QStringLiteral("Linked to ") + base + QStringLiteral("."));
}

void AppModel::cancelLink()
{
    if (!pendingLink_) return;
    setPendingLink(std::nullopt);
    setStatus(QStringLiteral("Link cancelled."));
}
