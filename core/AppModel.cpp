#include "core/AppModel.h"

#include "platform/files/ScratchFolder.h"
#include "platform/sane/SystemBrowser.h"
#include "scanner/ICAScannerEngine.h"

#include <QDir>
#include <QLockFile>
#include <QPointer>

#include <cstdlib>

const std::vector<int> AppModel::resolutionPresets{100, 150, 300, 600, 1200, 2400, 4800, 6400};

AppModel::AppModel(std::unique_ptr<ScannerEngine> engine, AppModelOptions options, QObject* parent)
    : QObject(parent),
      engine_(std::move(engine)),
      preferences_(options.preferences ? std::move(options.preferences) : std::make_shared<Preferences>())
{
    outputDir_ = options.outputDir.value_or(restoreOutputDir(*preferences_));

    // The engine's callbacks hold the model weakly.
    QPointer<AppModel> self(this);
    engine_->onPreviewButtonPressed = [self] {
        if (!self) return;
        self->setStatus(QStringLiteral("Scanner button pressed — starting preview…"));
        self->preview();
    };
    engine_->onScannerReady = [self] {
        if (self && self->idleAtRest()) self->setStatus(QStringLiteral("Scanner ready — press its button or Preview"));
    };
    engine_->onScannersChanged = [self] {
        if (self) self->scannersDidChange();
    };

    ScratchFolder::removeAbandoned(QDir::tempPath());  // what killed runs left behind
    QDir().mkpath(outputDir_);
    openOutputFolder();
    if (const auto stored = preferences_->string(Preferences::baseNameKey); stored && !stored->isEmpty())
        baseName_ = *stored;

    startDebouncedSaves(options.saveDebounce);
}

AppModel::AppModel(AppModelOptions options, QObject* parent)
    : AppModel(std::make_unique<ICAScannerEngine>(makeSystemBrowser()), std::move(options), parent)
{
}

AppModel::~AppModel()
{
    // The engine may still call back while it goes; nothing of ours should answer.
    engine_->onPreviewButtonPressed = nullptr;
    engine_->onScannerReady = nullptr;
    engine_->onScannersChanged = nullptr;
}

void AppModel::startDebouncedSaves(std::chrono::milliseconds quiet)
{
    // Connected after the start-up reads, so the values present now are never written back.
    for (QTimer* timer : {&sessionSaveTimer_, &baseNameSaveTimer_}) {
        timer->setSingleShot(true);
        timer->setInterval(quiet);
    }
    QObject::connect(&sessionSaveTimer_, &QTimer::timeout, this, &AppModel::saveSession);
    QObject::connect(&baseNameSaveTimer_, &QTimer::timeout, this, &AppModel::saveBaseName);
    QObject::connect(this, &AppModel::changed, this, [this](Property p) {
        if (p == Property::regions) sessionSaveTimer_.start();
        if (p == Property::baseName) baseNameSaveTimer_.start();
    });
}

void AppModel::flushPendingSaves()
{
    // A timer that is not running has nothing left to save.
    if (sessionSaveTimer_.isActive()) {
        sessionSaveTimer_.stop();
        saveSession();
    }
    if (baseNameSaveTimer_.isActive()) {
        baseNameSaveTimer_.stop();
        saveBaseName();
    }
}

void AppModel::saveBaseName() { preferences_->setString(Preferences::baseNameKey, baseName_); }

// ---- published state ------------------------------------------------------------------

void AppModel::setStatus(const QString& v) { publish(status_, v, Property::status); }
void AppModel::setInfo(const std::optional<ScannerInfo>& v)
{
    publish(info_, v, Property::info);
    clampDPIToOptions();
}
void AppModel::setScanners(const std::vector<ScannerChoice>& v) { publish(scanners_, v, Property::scanners); }
void AppModel::setActiveScannerID(const std::optional<QString>& v) { publish(activeScannerID_, v, Property::activeScannerID); }
void AppModel::setOverview(const QImage& v) { publish(overview_, v, Property::overview); }
void AppModel::setBusy(bool v) { publish(busy_, v, Property::busy); }
void AppModel::setScannerBusy(bool v) { publish(scannerBusy_, v, Property::scannerBusy); }
void AppModel::setRegions(const std::vector<ScanRegion>& v) { publish(regions_, v, Property::regions); }
void AppModel::setSelectedID(const std::optional<QUuid>& v) { publish(selectedID_, v, Property::selectedID); }
void AppModel::setPendingLink(const std::optional<PendingLink>& v) { publish(pendingLink_, v, Property::pendingLink); }
void AppModel::setDrawSide(DrawSide v) { publish(drawSide_, v, Property::drawSide); }
void AppModel::setDpi(int v) { publish(dpi_, v, Property::dpi); }
void AppModel::setColorMode(ColorMode v) { publish(colorMode_, v, Property::colorMode); }
void AppModel::setBaseName(const QString& v) { publish(baseName_, v, Property::baseName); }
void AppModel::setOutputDir(const QString& v) { publish(outputDir_, v, Property::outputDir); }
void AppModel::setLastSaved(const std::vector<QString>& v) { publish(lastSaved_, v, Property::lastSaved); }
void AppModel::setBackSuffix(const QString& v) { publish(backSuffix_, v, Property::backSuffix); }
void AppModel::setHistory(const std::vector<ScanRecord>& v) { publish(history_, v, Property::history); }
void AppModel::setPairingMode(bool v) { publish(pairingMode_, v, Property::pairingMode); }
void AppModel::setPrevOverview(const QImage& v) { publish(prevOverview_, v, Property::prevOverview); }
void AppModel::setPrevBedSize(const std::optional<QSizeF>& v) { publish(prevBedSize_, v, Property::prevBedSize); }

// ---- scanner choice and resolutions -----------------------------------------------------

bool AppModel::idleAtRest() const { return !busy_ && !scannerBusy_ && overview_.isNull(); }

std::vector<int> AppModel::resolutionOptions() const
{
    if (!info_ || info_->supportedResolutions.empty()) return resolutionPresets;
    const auto& supported = info_->supportedResolutions;
    std::vector<int> filtered;
    for (int preset : resolutionPresets)
        if (std::find(supported.begin(), supported.end(), preset) != supported.end()) filtered.push_back(preset);
    if (filtered.size() >= 4) return filtered;
    if (supported.size() > 16) return filtered.empty() ? resolutionPresets : filtered;
    return supported;
}

void AppModel::clampDPIToOptions()
{
    const std::vector<int> options = resolutionOptions();
    if (options.empty()) return;
    if (std::find(options.begin(), options.end(), dpi_) != options.end()) return;
    int best = options.front();
    for (int option : options)  // strict <: on a tie the earlier option stays
        if (std::llabs(static_cast<long long>(option) - dpi_) < std::llabs(static_cast<long long>(best) - dpi_))
            best = option;
    setDpi(best);
}

void AppModel::scannersDidChange()
{
    setScanners(engine_->scannerChoices());
    const std::optional<QString> active = engine_->activeScannerID();
    if (active == activeScannerID_) return;
    setActiveScannerID(active);

    std::optional<QSizeF> previousBed;
    if (info_) previousBed = info_->bedSizeInches;
    setInfo(std::nullopt);

    if (!active) {
        if (idleAtRest()) setStatus(QStringLiteral("Scanner disconnected — waiting for one to appear"));
        return;
    }
    relink(previousBed);  // runs on by itself; the task is not awaited
}

void AppModel::switchScanner(const QString& id)
{
    if (busy_ || scannerBusy_) {
        setStatus(QStringLiteral("Finish the current scan before switching scanners."));
        return;
    }
    if (activeScannerID_ == id) return;
    engine_->selectScanner(id);
}
