#pragma once

// A scanner as the image-capture layer presents it, and the messages it sends its delegate.
//
// Every request returns at once; its outcome arrives later as a delegate message. Messages
// are delivered on the main thread from the event loop, never from inside the request that
// caused them, and in the order the device produced them. All members are used on the main
// thread.

#include "platform/capture/BandData.h"
#include "platform/capture/CaptureTypes.h"
#include "platform/capture/FunctionalUnit.h"

#include <QString>

#include <optional>
#include <vector>

class ScannerDevice;

class ScannerDeviceDelegate {
public:
    virtual ~ScannerDeviceDelegate() = default;

    virtual void didRemoveDevice(ScannerDevice& device) = 0;
    virtual void didOpenSession(ScannerDevice& device, const std::optional<CaptureError>& error) = 0;
    virtual void didCloseSession(ScannerDevice& device, const std::optional<CaptureError>& error) = 0;
    virtual void didReceiveButtonPress(ScannerDevice& device, const QString& button) = 0;
    virtual void didSelectFunctionalUnit(ScannerDevice& device, const std::optional<CaptureError>& error) = 0;
    virtual void didScanToBandData(ScannerDevice& device, const BandData& band) = 0;
    virtual void didScanToURL(ScannerDevice& device, const QString& path) = 0;
    virtual void didCompleteScan(ScannerDevice& device, const std::optional<CaptureError>& error) = 0;
};

class ScannerDevice {
public:
    virtual ~ScannerDevice() = default;

    ScannerDevice() = default;
    ScannerDevice(const ScannerDevice&) = delete;
    ScannerDevice& operator=(const ScannerDevice&) = delete;

    // Stable across sessions and plug-ins; empty when the device has none.
    virtual QString persistentIDString() const = 0;
    // Display name; empty when the device has none.
    virtual QString name() const = 0;

    void setDelegate(ScannerDeviceDelegate* delegate) { delegate_ = delegate; }
    ScannerDeviceDelegate* delegate() const { return delegate_; }

    // ---- session --------------------------------------------------------------------------
    virtual void requestOpenSession() = 0;
    virtual void requestCloseSession() = 0;

    // ---- functional units (known once the session is open) ---------------------------------
    virtual std::vector<int> availableFunctionalUnitTypes() const = 0;
    virtual FunctionalUnit& selectedFunctionalUnit() = 0;
    virtual void requestSelectFunctionalUnit(int type) = 0;

    // ---- scanning -------------------------------------------------------------------------
    // In memory: bands of whole rows of at most maxMemoryBandSize bytes. To a file: a PNG
    // named documentName plus ".png" in downloadsDirectory, reported before completion.
    TransferMode transferMode = TransferMode::file;
    int maxMemoryBandSize = 0x80000;
    QString downloadsDirectory;
    QString documentName;

    // Scans the selected unit's scan area with its parameters: bands or a file, then completion.
    virtual void requestScan() = 0;

private:
    ScannerDeviceDelegate* delegate_ = nullptr;
};
