// The device side of the engine: discovery, the active scanner, its session and functional
// units, and connect().

#include "scanner/ICAScannerEngine.h"

#include <QCoroTimer>
#include <QTimer>

#include <algorithm>

ICAScannerEngine::ICAScannerEngine(std::unique_ptr<DeviceBrowser> browser, EngineTimings timings)
    : browser_(std::move(browser)), timings_(timings)
{
    browser_->setDelegate(this);
    startBrowser();
}

ICAScannerEngine::~ICAScannerEngine()
{
    // Messages still on their way must not reach a dead engine.
    browser_->setDelegate(nullptr);
    for (const auto& device : discovered_)
        if (device->delegate() == this) device->setDelegate(nullptr);
    if (scanner_ && scanner_->delegate() == this) scanner_->setDelegate(nullptr);
    browser_->stop();
}

void ICAScannerEngine::startBrowser()
{
    if (browserStarted_) return;
    browserStarted_ = true;
    browser_->start();
}

// ---- identity -------------------------------------------------------------------------------

QString ICAScannerEngine::idOf(const ScannerDevice& device, size_t position) const
{
    if (const QString id = device.persistentIDString(); !id.isEmpty()) return id;
    if (const QString name = device.name(); !name.isEmpty()) return name;
    return QString("scanner-%1").arg(position);
}

QString ICAScannerEngine::nameOf(const ScannerDevice& device, size_t position) const
{
    if (const QString name = device.name(); !name.isEmpty()) return name;
    return QString("Scanner %1").arg(position + 1);
}

std::vector<ScannerChoice> ICAScannerEngine::scannerChoices() const
{
    std::vector<ScannerChoice> choices;
    choices.reserve(discovered_.size());
    for (size_t i = 0; i < discovered_.size(); ++i)
        choices.push_back({idOf(*discovered_[i], i), nameOf(*discovered_[i], i)});
    return choices;
}

std::optional<QString> ICAScannerEngine::activeScannerID() const
{
    if (!scanner_) return std::nullopt;
    const auto it = std::find(discovered_.begin(), discovered_.end(), scanner_);
    if (it == discovered_.end()) return std::nullopt;
    return idOf(*scanner_, size_t(it - discovered_.begin()));
}

void ICAScannerEngine::notifyScannersChanged()
{
    if (onScannersChanged) onScannersChanged();
}

// ---- discovery ------------------------------------------------------------------------------

bool ICAScannerEngine::rememberScanner(const std::shared_ptr<ScannerDevice>& device)
{
    if (!device) return false;
    if (std::find(discovered_.begin(), discovered_.end(), device) == discovered_.end()) discovered_.push_back(device);
    if (!scanner_) adopt(device);
    notifyScannersChanged();
    return true;
}

void ICAScannerEngine::forgetScanner(const ScannerDevice& device)
{
    std::erase_if(discovered_, [&](const auto& d) { return d.get() == &device; });
    if (isActive(device)) {
        // A scan in progress will never hear from this device again.
        failPendingScan(ScanError::notConnected);
        if (scanner_->delegate() == this) scanner_->setDelegate(nullptr);
        scanner_.reset();
        sessionState_ = SessionState::closed;
        if (!discovered_.empty()) {
            adopt(discovered_.front());
        } else {
            // Nobody will answer the session request these callers wait for.
            for (auto& waiter : takeAll(openWaiters_)) waiter.fail(ScanFailure(ScanError::notConnected));
        }
    }
    notifyScannersChanged();
}

void ICAScannerEngine::adopt(const std::shared_ptr<ScannerDevice>& device)
{
    scanner_ = device;
    device->setDelegate(this);
    for (auto& waiter : takeAll(findWaiters_)) waiter.succeed({});
    // The find waiters may have moved on and changed the scanner; only open what is still ours.
    if (scanner_ == device && sessionState_ == SessionState::closed) {
        sessionState_ = SessionState::opening;
        device->requestOpenSession();
    }
}

void ICAScannerEngine::selectScanner(const QString& id)
{
    std::shared_ptr<ScannerDevice> chosen;
    for (size_t i = 0; i < discovered_.size() && !chosen; ++i)
        if (idOf(*discovered_[i], i) == id) chosen = discovered_[i];
    if (!chosen || chosen == scanner_) return;

    if (scanner_) {
        // The old session is closing under a scan that may still be running.
        failPendingScan(ScanError::notConnected);
        scanner_->requestCloseSession();
        if (scanner_->delegate() == this) scanner_->setDelegate(nullptr);
    }
    scanner_.reset();
    sessionState_ = SessionState::closed;
    adopt(chosen);
    notifyScannersChanged();
}

// ---- browser messages -----------------------------------------------------------------------

void ICAScannerEngine::didAddDevice(DeviceBrowser&, const std::shared_ptr<ScannerDevice>& device, bool)
{
    rememberScanner(device);
}

void ICAScannerEngine::didRemoveDevice(DeviceBrowser&, const std::shared_ptr<ScannerDevice>& device, bool)
{
    if (device) forgetScanner(*device);
}

void ICAScannerEngine::requestsSelectDevice(DeviceBrowser&, const std::shared_ptr<ScannerDevice>& device)
{
    if (rememberScanner(device) && onPreviewButtonPressed) onPreviewButtonPressed();
}

// ---- device messages ------------------------------------------------------------------------

void ICAScannerEngine::didRemoveDevice(ScannerDevice& device)
{
    forgetScanner(device);
}

void ICAScannerEngine::didOpenSession(ScannerDevice& device, const std::optional<CaptureError>& error)
{
    if (!isActive(device)) return;
    auto waiters = takeAll(openWaiters_);
    if (error) {
        sessionState_ = SessionState::closed;
        for (auto& waiter : waiters) waiter.fail(ScanFailure::service(error->description));
        return;
    }
    sessionState_ = SessionState::open;
    for (auto& waiter : waiters) waiter.succeed({});
    if (onScannerReady) onScannerReady();
}

void ICAScannerEngine::didCloseSession(ScannerDevice& device, const std::optional<CaptureError>&)
{
    if (!isActive(device)) return;
    sessionState_ = SessionState::closed;
    failPendingScan(ScanError::notConnected);
}

void ICAScannerEngine::didReceiveButtonPress(ScannerDevice& device, const QString&)
{
    if (isActive(device) && onPreviewButtonPressed) onPreviewButtonPressed();
}

void ICAScannerEngine::didSelectFunctionalUnit(ScannerDevice&, const std::optional<CaptureError>&)
{
    for (auto& waiter : takeAll(unitSelectWaiters_)) waiter.succeed({});
}

// ---- connect --------------------------------------------------------------------------------

QCoro::Task<> ICAScannerEngine::waitForScanner()
{
    if (scanner_) co_return;
    startBrowser();
    Waiter<Signal> waiter;
    findWaiters_.push_back(waiter);
    scheduleFindTimeout();
    co_await waiter;
}

void ICAScannerEngine::scheduleFindTimeout()
{
    if (findTimeoutScheduled_) return;
    findTimeoutScheduled_ = true;
    QTimer::singleShot(timings_.findTimeout, &timerContext_, [this] {
        findTimeoutScheduled_ = false;
        if (scanner_ || findWaiters_.empty()) return;
        for (auto& waiter : takeAll(findWaiters_)) waiter.fail(ScanFailure(ScanError::timeout));
    });
}

QCoro::Task<> ICAScannerEngine::openSession()
{
    if (sessionState_ == SessionState::open) co_return;
    Waiter<Signal> waiter;
    openWaiters_.push_back(waiter);
    if (scanner_ && sessionState_ == SessionState::closed) {
        sessionState_ = SessionState::opening;
        scanner_->requestOpenSession();
    } else if (!scanner_) {
        // No device will ever answer this request.
        for (auto& w : takeAll(openWaiters_)) w.fail(ScanFailure(ScanError::notConnected));
    }
    co_await waiter;
}

QCoro::Task<> ICAScannerEngine::waitUnitsReady()
{
    if (!scanner_) throw ScanFailure(ScanError::notConnected);
    for (int round = 0; round < 20; ++round) {
        if (!scanner_ || !scanner_->availableFunctionalUnitTypes().empty()) break;
        co_await QCoro::sleepFor(timings_.unitsReadyPoll);
    }
}

QCoro::Task<> ICAScannerEngine::selectFlatbedIfAvailable()
{
    if (!scanner_) co_return;
    const auto types = scanner_->availableFunctionalUnitTypes();
    if (scanner_->selectedFunctionalUnit().type == UnitType::flatbed ||
        std::find(types.begin(), types.end(), UnitType::flatbed) == types.end())
        co_return;

    Waiter<Signal> waiter;
    unitSelectWaiters_.push_back(waiter);
    QTimer::singleShot(timings_.unitSelectGuard, &timerContext_, [this] {
        for (auto& w : takeAll(unitSelectWaiters_)) w.succeed({});
    });
    scanner_->requestSelectFunctionalUnit(UnitType::flatbed);
    co_await waiter;
}

QCoro::Task<ScannerInfo> ICAScannerEngine::connect()
{
    co_await waitForScanner();
    if (!scanner_) throw ScanFailure(ScanError::notConnected);
    co_await openSession();
    co_await waitUnitsReady();
    co_await selectFlatbedIfAvailable();
    if (!scanner_) throw ScanFailure(ScanError::notConnected);

    const FunctionalUnit& unit = scanner_->selectedFunctionalUnit();
    ScannerInfo info;
    info.name = scanner_->name().isEmpty() ? QString("Scanner") : scanner_->name();
    info.nativeDPI = unit.nativeXResolution;
    info.supportedResolutions = unit.supportedResolutions;
    std::sort(info.supportedResolutions.begin(), info.supportedResolutions.end());
    info.supportedBitDepths = unit.supportedBitDepths;
    std::sort(info.supportedBitDepths.begin(), info.supportedBitDepths.end());
    info.bedSizeInches = unit.physicalSize;
    info.functionalUnitTypes = scanner_->availableFunctionalUnitTypes();
    co_return info;
}

void ICAScannerEngine::disconnect()
{
    failPendingScan(ScanError::notConnected);
    if (scanner_) scanner_->requestCloseSession();
    sessionState_ = SessionState::closed;
    browser_->stop();
    browserStarted_ = false;
}
