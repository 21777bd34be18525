#include "platform/virtual/VirtualBrowser.h"

VirtualBrowser::VirtualBrowser(std::unique_ptr<DeviceBrowser> inner, std::shared_ptr<VirtualFlatbed> device)
    : inner_(std::move(inner)), device_(device ? std::move(device) : std::make_shared<VirtualFlatbed>())
{
    if (inner_) inner_->setDelegate(this);
    device_->onRemoved = [this] { removeDevice(); };
}

VirtualBrowser::~VirtualBrowser()
{
    device_->onRemoved = nullptr;
    if (inner_) inner_->setDelegate(nullptr);
}

void VirtualBrowser::start()
{
    if (browsing_) return;
    browsing_ = true;
    if (inner_) inner_->start();
    if (!inner_ || innerEnumerated_) announceLater();
}

void VirtualBrowser::stop()
{
    browsing_ = false;
    if (inner_) inner_->stop();
}

void VirtualBrowser::announceLater()
{
    QMetaObject::invokeMethod(&context_, [this] { addDevice(); }, Qt::QueuedConnection);
}

void VirtualBrowser::addDevice()
{
    if (!browsing_ || listed_) return;
    listed_ = true;
    if (auto* d = delegate()) d->didAddDevice(*this, device_, false);
    if (!inner_)
        if (auto* d = delegate()) d->didEnumerateLocalDevices(*this);
}

void VirtualBrowser::removeDevice()
{
    if (!listed_) return;
    listed_ = false;
    if (auto* d = delegate()) d->didRemoveDevice(*this, device_, false);
}

void VirtualBrowser::didAddDevice(DeviceBrowser&, const std::shared_ptr<ScannerDevice>& device, bool moreComing)
{
    if (auto* d = delegate()) d->didAddDevice(*this, device, moreComing);
}

void VirtualBrowser::didRemoveDevice(DeviceBrowser&, const std::shared_ptr<ScannerDevice>& device, bool moreGoing)
{
    if (auto* d = delegate()) d->didRemoveDevice(*this, device, moreGoing);
}

void VirtualBrowser::requestsSelectDevice(DeviceBrowser&, const std::shared_ptr<ScannerDevice>& device)
{
    if (auto* d = delegate()) d->requestsSelectDevice(*this, device);
}

void VirtualBrowser::didEnumerateLocalDevices(DeviceBrowser&)
{
    const bool first = !std::exchange(innerEnumerated_, true);
    if (first && browsing_) addDevice();
    if (first)
        if (auto* d = delegate()) d->didEnumerateLocalDevices(*this);
}
