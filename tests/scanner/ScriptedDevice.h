#pragma once

// A scanner and a browser of the capture layer whose every answer the test decides. Messages
// go out from the event loop, in order, as a real device's do; requests are counted.

#include "platform/capture/DeviceBrowser.h"

#include <QObject>

#include <functional>
#include <memory>

class ScriptedDevice final : public ScannerDevice {
public:
    ScriptedDevice(QString id, QString name);

    QString persistentIDString() const override { return id; }
    QString name() const override { return deviceName; }

    void requestOpenSession() override;
    void requestCloseSession() override;
    std::vector<int> availableFunctionalUnitTypes() const override { return unitTypes; }
    FunctionalUnit& selectedFunctionalUnit() override { return unit; }
    void requestSelectFunctionalUnit(int type) override;
    void requestScan() override;

    // ---- script ---------------------------------------------------------------------------
    QString id;
    QString deviceName;
    std::vector<int> unitTypes = {0};
    FunctionalUnit unit = flatbed();
    // When false, session requests wait for answerOpen().
    bool answersOpen = true;
    std::optional<CaptureError> openError;
    // When false, unit selection is never answered.
    bool answersSelect = true;
    // Run on requestScan; by default nothing happens until the test sends messages.
    std::function<void(ScriptedDevice&)> onScan;

    // ---- sending (from the event loop) ----------------------------------------------------
    void later(std::function<void(ScannerDeviceDelegate&)> message);
    void answerOpen(std::optional<CaptureError> error = std::nullopt);
    void sendBand(BandData band);
    void sendFile(QString path);
    void sendComplete(std::optional<CaptureError> error = std::nullopt);
    void sendButton();
    void sendClosed();

    // ---- what happened --------------------------------------------------------------------
    int openRequests = 0;
    int closeRequests = 0;
    int scanRequests = 0;
    std::vector<int> selectRequests;
    FunctionalUnit lastScanUnit;
    TransferMode lastTransferMode = TransferMode::file;

    static FunctionalUnit flatbed();
    static FunctionalUnit feeder();

private:
    QObject context_;
};

class ScriptedBrowser final : public DeviceBrowser {
public:
    void start() override { ++starts; }
    void stop() override { ++stops; }

    void add(const std::shared_ptr<ScannerDevice>& device);
    void remove(const std::shared_ptr<ScannerDevice>& device);
    void requestSelect(const std::shared_ptr<ScannerDevice>& device);

    int starts = 0;
    int stops = 0;

private:
    QObject context_;
};

// Bands of an RGB test image: rows [start, start + rows) of a width × height picture whose
// pixel (x, y) has the colour (x, y, 7) modulo 256.
BandData rgbBand(int width, int height, int start, int rows, int padding = 0);
