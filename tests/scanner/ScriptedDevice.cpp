#include "ScriptedDevice.h"

ScriptedDevice::ScriptedDevice(QString id_, QString name_) : id(std::move(id_)), deviceName(std::move(name_)) {}

FunctionalUnit ScriptedDevice::flatbed()
{
    FunctionalUnit u;
    u.type = 0;
    u.nativeXResolution = 1200;
    u.supportedResolutions = {1200, 75, 300, 150, 600};
    u.supportedBitDepths = {16, 8, 1};
    u.physicalSize = QSizeF(8.5, 11.7);
    return u;
}

FunctionalUnit ScriptedDevice::feeder()
{
    FunctionalUnit u;
    u.type = 3;
    u.nativeXResolution = 600;
    u.supportedResolutions = {150, 300, 600};
    u.supportedBitDepths = {8};
    u.physicalSize = QSizeF(8.5, 14);
    return u;
}

void ScriptedDevice::later(std::function<void(ScannerDeviceDelegate&)> message)
{
    QMetaObject::invokeMethod(
        &context_,
        [this, message = std::move(message)] {
            if (auto* d = delegate()) message(*d);
        },
        Qt::QueuedConnection);
}

void ScriptedDevice::requestOpenSession()
{
    ++openRequests;
    if (answersOpen) answerOpen(openError);
}

void ScriptedDevice::answerOpen(std::optional<CaptureError> error)
{
    later([this, error](ScannerDeviceDelegate& d) { d.didOpenSession(*this, error); });
}

void ScriptedDevice::requestCloseSession()
{
    ++closeRequests;
}

void ScriptedDevice::sendClosed()
{
    later([this](ScannerDeviceDelegate& d) { d.didCloseSession(*this, std::nullopt); });
}

void ScriptedDevice::requestSelectFunctionalUnit(int type)
{
    selectRequests.push_back(type);
    if (!answersSelect) return;
    later([this, type](ScannerDeviceDelegate& d) {
        if (type == 0) unit = flatbed();
        d.didSelectFunctionalUnit(*this, std::nullopt);
    });
}

void ScriptedDevice::requestScan()
{
    ++scanRequests;
    lastScanUnit = unit;
    lastTransferMode = transferMode;
    if (onScan) onScan(*this);
}

void ScriptedDevice::sendBand(BandData band)
{
    later([this, band](ScannerDeviceDelegate& d) { d.didScanToBandData(*this, band); });
}

void ScriptedDevice::sendFile(QString path)
{
    later([this, path](ScannerDeviceDelegate& d) { d.didScanToURL(*this, path); });
}

void ScriptedDevice::sendComplete(std::optional<CaptureError> error)
{
    later([this, error](ScannerDeviceDelegate& d) { d.didCompleteScan(*this, error); });
}

void ScriptedDevice::sendButton()
{
    later([this](ScannerDeviceDelegate& d) { d.didReceiveButtonPress(*this, "scan"); });
}

void ScriptedBrowser::add(const std::shared_ptr<ScannerDevice>& device)
{
    QMetaObject::invokeMethod(
        &context_, [this, device] { if (auto* d = delegate()) d->didAddDevice(*this, device, false); },
        Qt::QueuedConnection);
}

void ScriptedBrowser::remove(const std::shared_ptr<ScannerDevice>& device)
{
    QMetaObject::invokeMethod(
        &context_, [this, device] { if (auto* d = delegate()) d->didRemoveDevice(*this, device, false); },
        Qt::QueuedConnection);
}

void ScriptedBrowser::requestSelect(const std::shared_ptr<ScannerDevice>& device)
{
    QMetaObject::invokeMethod(
        &context_, [this, device] { if (auto* d = delegate()) d->requestsSelectDevice(*this, device); },
        Qt::QueuedConnection);
}

BandData rgbBand(int width, int height, int start, int rows, int padding)
{
    BandData b;
    b.fullImageWidth = width;
    b.fullImageHeight = height;
    b.bytesPerRow = width * 3 + padding;
    b.bitsPerPixel = 24;
    b.numComponents = 3;
    b.dataStartRow = start;
    b.dataNumRows = rows;
    b.hasData = true;
    b.dataBuffer = QByteArray(qsizetype(rows) * b.bytesPerRow, '\0');
    for (int r = 0; r < rows; ++r)
        for (int x = 0; x < width; ++x) {
            char* px = b.dataBuffer.data() + qsizetype(r) * b.bytesPerRow + x * 3;
            px[0] = char(x % 256);
            px[1] = char((start + r) % 256);
            px[2] = 7;
        }
    return b;
}
