#pragma once

// Finds scanners and announces them as they come and go. Messages are delivered on the main
// thread from the event loop, in order.

#include "platform/capture/ScannerDevice.h"

#include <memory>

class DeviceBrowser;

class DeviceBrowserDelegate {
public:
    virtual ~DeviceBrowserDelegate() = default;

    virtual void didAddDevice(DeviceBrowser& browser, const std::shared_ptr<ScannerDevice>& device, bool moreComing) = 0;
    virtual void didRemoveDevice(DeviceBrowser& browser, const std::shared_ptr<ScannerDevice>& device, bool moreGoing) = 0;
    // The service asks the application to take this device (its button was pressed).
    virtual void requestsSelectDevice(DeviceBrowser& browser, const std::shared_ptr<ScannerDevice>& device) = 0;
    // The first full look for devices has finished.
    virtual void didEnumerateLocalDevices(DeviceBrowser&) {}
};

class DeviceBrowser {
public:
    virtual ~DeviceBrowser() = default;

    DeviceBrowser() = default;
    DeviceBrowser(const DeviceBrowser&) = delete;
    DeviceBrowser& operator=(const DeviceBrowser&) = delete;

    void setDelegate(DeviceBrowserDelegate* delegate) { delegate_ = delegate; }
    DeviceBrowserDelegate* delegate() const { return delegate_; }

    virtual void start() = 0;
    virtual void stop() = 0;

private:
    DeviceBrowserDelegate* delegate_ = nullptr;
};
