#pragma once

// The scanner engine over the image-capture layer (platform/capture): discovery through a
// device browser, the session of the active scanner, its functional units, the in-memory
// overview and the scan of a rectangle to a PNG file.
//
// Everything runs on the main thread. The engine is the delegate of its browser and of the
// active scanner; their messages become state changes, resumed waiters and the interface's
// three callbacks. The device side lives in ICAScannerEngineDevice.cpp, the scanning side in
// ICAScannerEngineScan.cpp.

#include "platform/capture/DeviceBrowser.h"
#include "scanner/ICAScannerEngineWaiters.h"
#include "scanner/PreviewBandAssembler.h"
#include "scanner/ScannerEngine.h"

#include <QObject>

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <vector>

// How long the engine waits for things that may never happen.
struct EngineTimings {
    // connect() without any scanner fails with timeout after this.
    std::chrono::milliseconds findTimeout{20000};
    // A flatbed selection that is never answered is given up after this.
    std::chrono::milliseconds unitSelectGuard{10000};
    // The pause between the 20 looks for functional units.
    std::chrono::milliseconds unitsReadyPoll{1000};
};

class ICAScannerEngine final : public ScannerEngine, private DeviceBrowserDelegate, private ScannerDeviceDelegate {
public:
    enum class SessionState { closed, opening, open };

    static constexpr int overviewBandSize = 0x80000;
    static constexpr const char* overviewName = "bivara-overview";

    // Starts the browser at once.
    explicit ICAScannerEngine(std::unique_ptr<DeviceBrowser> browser, EngineTimings timings = {});
    ~ICAScannerEngine() override;

    // ---- ScannerEngine --------------------------------------------------------------------
    std::vector<ScannerChoice> scannerChoices() const override;
    std::optional<QString> activeScannerID() const override;
    void selectScanner(const QString& id) override;
    QCoro::Task<ScannerInfo> connect() override;
    QCoro::Task<QImage> captureOverview(std::function<void(const QImage&)> onImage) override;
    QCoro::Task<QString> scanRegion(QRectF rect, ScanSettings settings, QString folder, QString name) override;
    void disconnect() override;

    // ---- for tests and diagnostics -------------------------------------------------------
    SessionState sessionState() const { return sessionState_; }
    bool isScanning() const { return previewCont_.has_value() || scanCont_.has_value(); }

    // The unit's resolution nearest `dpi`; a tie goes to the lower one. `dpi` itself when the
    // unit lists none or lists it.
    static int supportedResolution(int dpi, const FunctionalUnit& unit);

    // The pixel data type and bit depth a region scan asks for, given what the unit offers.
    struct PixelFormat {
        int pixelDataType;
        int bitDepth;
        friend bool operator==(const PixelFormat&, const PixelFormat&) = default;
    };
    static PixelFormat pixelFormat(const ScanSettings& settings, const FunctionalUnit& unit);

private:
    // ---- device side ----------------------------------------------------------------------
    QString idOf(const ScannerDevice& device, size_t position) const;
    QString nameOf(const ScannerDevice& device, size_t position) const;
    bool isActive(const ScannerDevice& device) const { return scanner_ && scanner_.get() == &device; }
    void notifyScannersChanged();

    bool rememberScanner(const std::shared_ptr<ScannerDevice>& device);
    void forgetScanner(const ScannerDevice& device);
    void adopt(const std::shared_ptr<ScannerDevice>& device);
    void startBrowser();

    QCoro::Task<> waitForScanner();
    void scheduleFindTimeout();
    QCoro::Task<> openSession();
    QCoro::Task<> waitUnitsReady();
    QCoro::Task<> selectFlatbedIfAvailable();

    // ---- scanning side --------------------------------------------------------------------
    QCoro::Task<QImage> memoryBasedOverview(std::function<void(const QImage&)> onImage);
    QCoro::Task<QImage> fileBasedOverview();
    QCoro::Task<QString> scanToFile(QRectF area, int resolution, int pixelDataType, int bitDepth, QString folder,
                                    QString name);
    // The pending scan, if any, fails with `error` and the scanning side returns to idle.
    void failPendingScan(ScanError error);

    // ---- DeviceBrowserDelegate ------------------------------------------------------------
    void didAddDevice(DeviceBrowser&, const std::shared_ptr<ScannerDevice>& device, bool moreComing) override;
    void didRemoveDevice(DeviceBrowser&, const std::shared_ptr<ScannerDevice>& device, bool moreGoing) override;
    void requestsSelectDevice(DeviceBrowser&, const std::shared_ptr<ScannerDevice>& device) override;

    // ---- ScannerDeviceDelegate ------------------------------------------------------------
    void didRemoveDevice(ScannerDevice& device) override;
    void didOpenSession(ScannerDevice& device, const std::optional<CaptureError>& error) override;
    void didCloseSession(ScannerDevice& device, const std::optional<CaptureError>& error) override;
    void didReceiveButtonPress(ScannerDevice& device, const QString& button) override;
    void didSelectFunctionalUnit(ScannerDevice& device, const std::optional<CaptureError>& error) override;
    void didScanToBandData(ScannerDevice& device, const BandData& band) override;
    void didScanToURL(ScannerDevice& device, const QString& path) override;
    void didCompleteScan(ScannerDevice& device, const std::optional<CaptureError>& error) override;

    // ---- device-side fields ---------------------------------------------------------------
    std::unique_ptr<DeviceBrowser> browser_;
    EngineTimings timings_;
    std::shared_ptr<ScannerDevice> scanner_;
    std::vector<std::shared_ptr<ScannerDevice>> discovered_;
    bool browserStarted_ = false;
    SessionState sessionState_ = SessionState::closed;
    std::vector<Waiter<Signal>> openWaiters_;
    std::vector<Waiter<Signal>> findWaiters_;
    bool findTimeoutScheduled_ = false;
    std::vector<Waiter<Signal>> unitSelectWaiters_;

    // ---- scanning-side fields -------------------------------------------------------------
    std::optional<Waiter<QImage>> previewCont_;
    std::function<void(const QImage&)> previewImageHandler_;
    QImage previewImage_;
    std::unique_ptr<PreviewBandAssembler> previewAssembler_;
    std::optional<Waiter<QString>> scanCont_;
    std::optional<QString> lastScanURL_;
    int overviewTargetDPI_ = 75;

    // Timers are parented here, so a pending one dies with the engine.
    QObject timerContext_;
};
