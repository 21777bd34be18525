// The scanning side of the engine: the in-memory overview with its file fallback, the scan
// of a rectangle to a PNG file, and the scan messages.

#include "scanner/ICAScannerEngine.h"

#include "analysis/ImageUtil.h"
#include "platform/files/ScratchFolder.h"

#include <QDir>
#include <QFile>

#include <algorithm>

int ICAScannerEngine::supportedResolution(int dpi, const FunctionalUnit& unit)
{
    const std::set<int> set(unit.supportedResolutions.begin(), unit.supportedResolutions.end());
    if (set.empty() || set.count(dpi)) return dpi;
    const auto upperIt = set.lower_bound(dpi);
    const std::optional<int> upper = upperIt != set.end() ? std::optional<int>(*upperIt) : std::nullopt;
    const std::optional<int> lower = upperIt != set.begin() ? std::optional<int>(*std::prev(upperIt)) : std::nullopt;
    if (!lower) return upper.value_or(dpi);
    if (!upper) return *lower;
    return *upper - dpi < dpi - *lower ? *upper : *lower;
}

ICAScannerEngine::PixelFormat ICAScannerEngine::pixelFormat(const ScanSettings& settings, const FunctionalUnit& unit)
{
    const int deep = settings.bitDepth == 16 ? 16 : 8;
    PixelFormat format{PixelDataType::rgb, deep};
    if (settings.colorMode == ColorMode::gray) format = {PixelDataType::gray, deep};
    if (settings.colorMode == ColorMode::blackWhite) format = {PixelDataType::blackWhite, 1};

    const auto& depths = unit.supportedBitDepths;
    const auto offers = [&](int depth) { return std::find(depths.begin(), depths.end(), depth) != depths.end(); };
    if (!depths.empty()) {
        if (format.bitDepth == 16 && !offers(16)) format.bitDepth = 8;
        if (format.bitDepth == 1 && !offers(1)) format = {PixelDataType::gray, 8};
    }
    return format;
}

// ---- overview -------------------------------------------------------------------------------

QCoro::Task<QImage> ICAScannerEngine::captureOverview(std::function<void(const QImage&)> onImage)
{
    try {
        co_return co_await memoryBasedOverview(std::move(onImage));
    } catch (const ScanFailure& failure) {
        if (failure.error() != ScanError::noImage) throw;
    }
    co_return co_await fileBasedOverview();
}

QCoro::Task<QImage> ICAScannerEngine::memoryBasedOverview(std::function<void(const QImage&)> onImage)
{
    if (!scanner_) throw ScanFailure(ScanError::notConnected);
    if (isScanning()) throw ScanFailure(ScanError::busy);

    FunctionalUnit& unit = scanner_->selectedFunctionalUnit();
    unit.scanArea = QRectF(QPointF(0, 0), unit.physicalSize);
    unit.resolution = supportedResolution(overviewTargetDPI_, unit);
    unit.pixelDataType = PixelDataType::rgb;
    unit.bitDepth = 8;

    scanner_->transferMode = TransferMode::memory;
    scanner_->maxMemoryBandSize = overviewBandSize;
    scanner_->downloadsDirectory = ScratchFolder::path();
    scanner_->documentName = overviewName;

    Waiter<QImage> waiter;
    previewCont_ = waiter;
    previewImageHandler_ = std::move(onImage);
    previewImage_ = QImage();
    previewAssembler_.reset();
    lastScanURL_.reset();
    scanner_->requestScan();
    co_return co_await waiter;
}

QCoro::Task<QImage> ICAScannerEngine::fileBasedOverview()
{
    if (!scanner_) throw ScanFailure(ScanError::notConnected);
    const FunctionalUnit& unit = scanner_->selectedFunctionalUnit();
    const QRectF area(QPointF(0, 0), unit.physicalSize);
    const int resolution = supportedResolution(overviewTargetDPI_, unit);
    const QString file =
        co_await scanToFile(area, resolution, PixelDataType::rgb, 8, ScratchFolder::path(), overviewName);
    const QImage image = ImageUtil::loadCGImage(file);
    QFile::remove(file);
    if (image.isNull()) throw ScanFailure(ScanError::noImage);
    co_return image;
}

// ---- region ---------------------------------------------------------------------------------

QCoro::Task<QString> ICAScannerEngine::scanRegion(QRectF rect, ScanSettings settings, QString folder, QString name)
{
    if (!scanner_) throw ScanFailure(ScanError::notConnected);
    const FunctionalUnit& unit = scanner_->selectedFunctionalUnit();
    const PixelFormat format = pixelFormat(settings, unit);
    const QRectF area = rect.normalized();
    co_return co_await scanToFile(area, supportedResolution(settings.dpi, unit), format.pixelDataType,
                                  format.bitDepth, std::move(folder), std::move(name));
}

QCoro::Task<QString> ICAScannerEngine::scanToFile(QRectF area, int resolution, int pixelDataType, int bitDepth,
                                                  QString folder, QString name)
{
    if (!scanner_) throw ScanFailure(ScanError::notConnected);
    if (isScanning()) throw ScanFailure(ScanError::busy);

    FunctionalUnit& unit = scanner_->selectedFunctionalUnit();
    unit.scanArea = area;
    unit.resolution = resolution;
    unit.pixelDataType = pixelDataType;
    unit.bitDepth = bitDepth;

    scanner_->transferMode = TransferMode::file;
    scanner_->downloadsDirectory = folder;
    scanner_->documentName = name;

    Waiter<QString> waiter;
    scanCont_ = waiter;
    lastScanURL_.reset();
    scanner_->requestScan();
    co_return co_await waiter;
}

// ---- scan messages --------------------------------------------------------------------------

void ICAScannerEngine::didScanToBandData(ScannerDevice& device, const BandData& band)
{
    if (!isActive(device) || !previewCont_ || !previewImage_.isNull()) return;
    if (!previewAssembler_) {
        previewAssembler_ = PreviewBandAssembler::create(band);
        if (!previewAssembler_) return;
    }
    if (!previewAssembler_->add(band) || !previewAssembler_->isComplete()) return;

    QImage image = previewAssembler_->makeImage();
    if (image.isNull()) return;
    previewImage_ = image;
    if (auto handler = std::exchange(previewImageHandler_, nullptr)) handler(image);
}

void ICAScannerEngine::didScanToURL(ScannerDevice& device, const QString& path)
{
    if (isActive(device)) lastScanURL_ = path;
}

void ICAScannerEngine::didCompleteScan(ScannerDevice& device, const std::optional<CaptureError>& error)
{
    if (!isActive(device)) return;

    // Back to idle before anyone is resumed: a resumed caller may start the next scan at once.
    if (previewCont_) {
        Waiter<QImage> waiter = *std::exchange(previewCont_, std::nullopt);
        const QImage image = std::exchange(previewImage_, QImage());
        const std::optional<QString> file = std::exchange(lastScanURL_, std::nullopt);
        previewImageHandler_ = nullptr;
        previewAssembler_.reset();

        if (error) return waiter.fail(ScanFailure::service(error->description));
        if (!image.isNull()) return waiter.succeed(image);
        if (file) {
            const QImage loaded = ImageUtil::loadCGImage(*file);
            if (!loaded.isNull()) {
                QFile::remove(*file);
                return waiter.succeed(loaded);
            }
        }
        return waiter.fail(ScanFailure(ScanError::noImage));
    }
    if (scanCont_) {
        Waiter<QString> waiter = *std::exchange(scanCont_, std::nullopt);
        if (error) return waiter.fail(ScanFailure::service(error->description));
        if (lastScanURL_) return waiter.succeed(*lastScanURL_);
        return waiter.fail(ScanFailure(ScanError::noImage));
    }
}

void ICAScannerEngine::failPendingScan(ScanError error)
{
    if (previewCont_) {
        Waiter<QImage> waiter = *std::exchange(previewCont_, std::nullopt);
        previewImageHandler_ = nullptr;
        previewImage_ = QImage();
        previewAssembler_.reset();
        lastScanURL_.reset();
        waiter.fail(ScanFailure(error));
    }
    if (scanCont_) {
        Waiter<QString> waiter = *std::exchange(scanCont_, std::nullopt);
        waiter.fail(ScanFailure(error));
    }
}
