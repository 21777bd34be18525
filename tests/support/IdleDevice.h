#pragma once

// A scanner that is listed but never answers: opening, selecting and scanning do nothing.
// Enough for code that only looks at a device's identity or feeds its unit by hand.

#include "platform/capture/ScannerDevice.h"

#include <QString>

#include <utility>
#include <vector>

class IdleDevice final : public ScannerDevice {
public:
    IdleDevice(QString id, QString name) : id_(std::move(id)), name_(std::move(name)) {}

    QString persistentIDString() const override { return id_; }
    QString name() const override { return name_; }
    void requestOpenSession() override {}
    void requestCloseSession() override {}
    std::vector<int> availableFunctionalUnitTypes() const override { return {0}; }
    FunctionalUnit& selectedFunctionalUnit() override { return unit; }
    void requestSelectFunctionalUnit(int) override {}
    void requestScan() override {}

    FunctionalUnit unit;

private:
    QString id_;
    QString name_;
};
