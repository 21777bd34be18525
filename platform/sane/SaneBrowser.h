#pragma once

// Finds SANE devices: sane_get_devices on the SANE thread, at start and then every few
// seconds while browsing, so that a scanner plugged in or out is announced. A device's
// persistent id is its SANE name; its display name is its vendor and model.

#include "platform/capture/DeviceBrowser.h"
#include "platform/sane/SaneBackend.h"
#include "platform/sane/SaneScannerDevice.h"

#include <chrono>
#include <memory>
#include <vector>

class SaneBrowser final : public DeviceBrowser {
public:
    struct Found {
        QString name;
        QString displayName;
    };

    explicit SaneBrowser(std::chrono::milliseconds pollInterval = std::chrono::seconds(3),
                         std::shared_ptr<SaneBackend> backend = nullptr);
    ~SaneBrowser() override;

    void start() override;
    void stop() override;

    const std::shared_ptr<SaneBackend>& backend() const { return backend_; }
    // The device of this SANE name, if it is listed now.
    std::shared_ptr<SaneScannerDevice> device(const QString& saneName) const;

private:
    struct Poller;  // the SANE-thread half
    void take(const std::vector<Found>& found);

    std::shared_ptr<SaneBackend> backend_;
    std::chrono::milliseconds pollInterval_;
    std::shared_ptr<Poller> poller_;
    std::vector<std::shared_ptr<SaneScannerDevice>> devices_;
    bool browsing_ = false;
    bool enumerated_ = false;
    int generation_ = 0;  // lists from an earlier start are stale
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
