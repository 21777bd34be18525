#include "platform/sane/SaneBrowser.h"

#include <QTimer>

#include <sane/sane.h>

struct SaneBrowser::Poller {
    std::unique_ptr<QTimer> timer;  // on the SANE thread
};

namespace {

std::vector<SaneBrowser::Found> listDevices()
{
    std::vector<SaneBrowser::Found> found;
    const SANE_Device** list = nullptr;
    if (sane_get_devices(&list, SANE_FALSE) != SANE_STATUS_GOOD || !list) return found;
    for (const SANE_Device** d = list; *d; ++d) {
        if (!(*d)->name || !*(*d)->name) continue;
        const QString vendor = QString::fromUtf8((*d)->vendor ? (*d)->vendor : "").trimmed();
        const QString model = QString::fromUtf8((*d)->model ? (*d)->model : "").trimmed();
        found.push_back({QString::fromUtf8((*d)->name), (vendor + ' ' + model).trimmed()});
    }
    return found;
}

}  // namespace

SaneBrowser::SaneBrowser(std::chrono::milliseconds pollInterval, std::shared_ptr<SaneBackend> backend)
    : backend_(backend ? std::move(backend) : std::make_shared<SaneBackend>()),
      pollInterval_(pollInterval),
      poller_(std::make_shared<Poller>())
{
}

SaneBrowser::~SaneBrowser()
{
    *alive_ = false;
    backend_->runDroppable([p = std::move(poller_)] { p->timer.reset(); });
}

void SaneBrowser::start()
{
    if (browsing_) return;
    browsing_ = true;
    const int generation = ++generation_;
    // The poll may outlive this browser and its backend (quitting does not wait for it), so
    // it holds only the SANE thread's state, and its result is dropped once this is gone.
    SaneBackend::State* thread = backend_->state();
    auto report = [thread, generation, this, alive = std::weak_ptr<bool>(alive_)] {
        std::vector<Found> found;
        thread->droppable([&] { found = listDevices(); });
        thread->post([found = std::move(found), generation, this, alive] {
            if (alive.lock() && generation == generation_ && browsing_) take(found);
        });
    };
    backend_->runDroppable([p = poller_, report, interval = pollInterval_] {
        report();
        p->timer = std::make_unique<QTimer>();
        p->timer->setInterval(interval);
        QObject::connect(p->timer.get(), &QTimer::timeout, p->timer.get(), report);
        p->timer->start();
    });
}

void SaneBrowser::stop()
{
    if (!browsing_) return;
    browsing_ = false;
    backend_->runDroppable([p = poller_] { p->timer.reset(); });
}

std::shared_ptr<SaneScannerDevice> SaneBrowser::device(const QString& saneName) const
{
    for (const auto& d : devices_)
        if (d->persistentIDString() == saneName) return d;
    return nullptr;
}

void SaneBrowser::take(const std::vector<Found>& found)
{
    auto listed = [&](const QString& name) {
        return std::any_of(found.begin(), found.end(), [&](const Found& f) { return f.name == name; });
    };

    std::vector<std::shared_ptr<SaneScannerDevice>> gone;
    std::erase_if(devices_, [&](const auto& d) {
        if (listed(d->persistentIDString())) return false;
        gone.push_back(d);
        return true;
    });
    std::vector<std::shared_ptr<SaneScannerDevice>> added;
    for (const Found& f : found) {
        if (device(f.name)) continue;
        devices_.push_back(std::make_shared<SaneScannerDevice>(backend_, f.name, f.displayName));
        added.push_back(devices_.back());
    }

    for (size_t i = 0; i < gone.size(); ++i) {
        gone[i]->markRemoved();
        if (auto* d = delegate()) d->didRemoveDevice(*this, gone[i], i + 1 < gone.size());
    }
    for (size_t i = 0; i < added.size(); ++i)
        if (auto* d = delegate()) d->didAddDevice(*this, added[i], i + 1 < added.size());
    if (!std::exchange(enumerated_, true))
        if (auto* d = delegate()) d->didEnumerateLocalDevices(*this);
}
