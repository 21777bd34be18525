#pragma once

// A SANE device as a scanner of the capture layer. The object lives on the main thread and
// keeps the capabilities last read; every request becomes a job on the SANE thread, whose
// results come back as delegate messages on the main thread, in order. While the session is
// open and idle, the device's button options are polled; a press is a button message.

#include "platform/capture/ScannerDevice.h"
#include "platform/sane/SaneBackend.h"
#include "platform/sane/SaneSession.h"

#include <chrono>
#include <memory>

class SaneScannerDevice final : public ScannerDevice, public std::enable_shared_from_this<SaneScannerDevice> {
public:
    SaneScannerDevice(std::shared_ptr<SaneBackend> backend, QString saneName, QString displayName,
                      std::chrono::milliseconds buttonPoll = std::chrono::milliseconds(300));
    ~SaneScannerDevice() override;

    QString persistentIDString() const override { return saneName_; }
    QString name() const override { return displayName_; }

    void requestOpenSession() override;
    void requestCloseSession() override;

    std::vector<int> availableFunctionalUnitTypes() const override { return unitTypes_; }
    FunctionalUnit& selectedFunctionalUnit() override { return unit_; }
    void requestSelectFunctionalUnit(int type) override;

    void requestScan() override;

    // Sets one of the backend's own options by name (as scanimage would take it), for
    // settings the capture layer has no word for. The outcome is not reported.
    void setBackendOption(const QString& option, const QString& value);

    // The device has gone from the bus or the network: its session ends without a message.
    void markRemoved();

private:
    struct Worker;  // the SANE-thread half

    void apply(const SaneCapabilities& caps);

    std::shared_ptr<SaneBackend> backend_;
    QString saneName_;
    QString displayName_;
    std::shared_ptr<Worker> worker_;
    std::chrono::milliseconds buttonPoll_;
    std::vector<int> unitTypes_;
    FunctionalUnit unit_;
};
