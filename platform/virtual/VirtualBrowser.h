#pragma once

// Lists the virtual flatbed beside the devices of another browser (normally SANE's). The
// virtual device is announced after the other browser's first full look, so that a real
// scanner, when one is attached, is found first and becomes the active one.

#include "platform/capture/DeviceBrowser.h"
#include "platform/virtual/VirtualFlatbed.h"

#include <QObject>

#include <memory>

class VirtualBrowser final : public DeviceBrowser, private DeviceBrowserDelegate {
public:
    // Without `inner`, the virtual device is the only one, announced right after start().
    explicit VirtualBrowser(std::unique_ptr<DeviceBrowser> inner = nullptr,
                            std::shared_ptr<VirtualFlatbed> device = nullptr);
    ~VirtualBrowser() override;

    void start() override;
    void stop() override;

    const std::shared_ptr<VirtualFlatbed>& device() const { return device_; }
    DeviceBrowser* inner() const { return inner_.get(); }

    // Announces the virtual device as gone (its removal fault does this), or back again.
    void removeDevice();
    void addDevice();

private:
    void announceLater();

    void didAddDevice(DeviceBrowser&, const std::shared_ptr<ScannerDevice>& device, bool moreComing) override;
    void didRemoveDevice(DeviceBrowser&, const std::shared_ptr<ScannerDevice>& device, bool moreGoing) override;
    void requestsSelectDevice(DeviceBrowser&, const std::shared_ptr<ScannerDevice>& device) override;
    void didEnumerateLocalDevices(DeviceBrowser&) override;

    std::unique_ptr<DeviceBrowser> inner_;
    std::shared_ptr<VirtualFlatbed> device_;
    bool browsing_ = false;
    bool listed_ = false;
    bool innerEnumerated_ = false;
    QObject context_;
};
