#include "platform/virtual/VirtualFlatbed.h"

#include "platform/threads/BackgroundPool.h"
#include "platform/files/PngRowWriter.h"

#include <QTimer>
#include <QDir>
#include <QCoreApplication>
#include <QThreadPool>

#include <cmath>

using std::chrono::milliseconds;

VirtualPace VirtualPace::fromEnvironment()
{
    if (qEnvironmentVariable("BIVARA_VIRTUAL_SPEED") == "instant") return instant();
    return {};
}

struct VirtualFlatbed::Job {
    VirtualBed bed;
    QRectF area;
    int resolution = 75;
    int pixelDataType = PixelDataType::rgb;
    int bitDepth = 8;
    TransferMode transferMode = TransferMode::memory;
    int maxBandSize = 0x80000;
    QString path;
    bool overview = false;  // the fallback overview's file does not turn the prints over
    VirtualFaults faults;
    VirtualPace pace;
};

VirtualFlatbed::VirtualFlatbed(VirtualBed bed, VirtualPace pace) : bed_(std::move(bed)), pace_(pace)
{
    unit_.type = UnitType::flatbed;
    unit_.nativeXResolution = 1200;
    unit_.supportedResolutions = {75, 100, 150, 200, 300, 600, 1200};
    unit_.supportedBitDepths = {1, 8, 16};
    unit_.physicalSize = QSizeF(VirtualBed::widthInches, VirtualBed::heightInches);
    unit_.scanArea = QRectF(QPointF(0, 0), unit_.physicalSize);
    unit_.resolution = 75;
}

VirtualFlatbed::~VirtualFlatbed() = default;

void VirtualFlatbed::later(std::function<void(VirtualFlatbed&)> message)
{
    QMetaObject::invokeMethod(&context_, [this, message = std::move(message)] { message(*this); }, Qt::QueuedConnection);
}

std::vector<int> VirtualFlatbed::availableFunctionalUnitTypes() const
{
    if (!open_) return {};
    return {UnitType::flatbed};
}

void VirtualFlatbed::requestOpenSession()
{
    later([](VirtualFlatbed& d) {
        if (d.faults.failOpen) {
            if (auto* delegate = d.delegate()) delegate->didOpenSession(d, CaptureError{openFaultText});
            return;
        }
        d.open_ = true;
        if (auto* delegate = d.delegate()) delegate->didOpenSession(d, std::nullopt);
    });
}

void VirtualFlatbed::requestCloseSession()
{
    ++generation_;  // a scan in progress stops where it is
    later([](VirtualFlatbed& d) {
        d.open_ = false;
        if (auto* delegate = d.delegate()) delegate->didCloseSession(d, std::nullopt);
    });
}

void VirtualFlatbed::requestSelectFunctionalUnit(int type)
{
    later([type](VirtualFlatbed& d) {
        std::optional<CaptureError> error;
        if (type != UnitType::flatbed) error = CaptureError{"The virtual scanner has only a flatbed"};
        if (auto* delegate = d.delegate()) delegate->didSelectFunctionalUnit(d, error);
    });
}

void VirtualFlatbed::pressButton()
{
    later([](VirtualFlatbed& d) {
        if (auto* delegate = d.delegate()) delegate->didReceiveButtonPress(d, "scan");
    });
}

void VirtualFlatbed::requestScan()
{
    auto job = std::make_shared<Job>();
    job->bed = bed_;
    job->area = unit_.scanArea.intersected(QRectF(QPointF(0, 0), unit_.physicalSize));
    job->resolution = unit_.resolution > 0 ? unit_.resolution : 75;
    job->pixelDataType = unit_.pixelDataType;
    job->bitDepth = unit_.bitDepth;
    job->transferMode = transferMode;
    job->maxBandSize = maxMemoryBandSize;
    job->path = QDir(downloadsDirectory).filePath(documentName + ".png");
    job->overview = documentName == "bivara-overview";
    job->faults = faults;
    job->pace = pace_;
    faults.removeMidScan = false;  // happens once
    ++scansStarted_;
    if (!open_) {
        later([](VirtualFlatbed& d) {
            if (auto* delegate = d.delegate()) delegate->didCompleteScan(d, CaptureError{"The virtual scanner's session is not open"});
        });
        return;
    }
    start(++generation_, std::move(job));
}

std::shared_ptr<VirtualFlatbed> VirtualFlatbed::current(const std::weak_ptr<VirtualFlatbed>& weak, int generation)
{
    auto self = weak.lock();
    if (!self || self->generation_ != generation) return nullptr;
    return self;
}

namespace {

// The image as rows of the asked-for kind, written as PNG. Off the main thread.
std::optional<QString> writePng(const QImage& rgb, const QString& path, int pixelDataType, int bitDepth, int dpi)
{
    PngRowWriter writer;
    const int w = rgb.width(), h = rgb.height();
    if (pixelDataType == PixelDataType::blackWhite || bitDepth == 1) {
        const QImage gray = rgb.convertToFormat(QImage::Format_Grayscale8);
        if (!writer.open(path, w, h, 1, 1, dpi)) return writer.error();
        std::vector<unsigned char> row(size_t((w + 7) / 8));
        for (int y = 0; y < h; ++y) {
            std::fill(row.begin(), row.end(), 0);
            const uchar* src = gray.constScanLine(y);
            for (int x = 0; x < w; ++x)
                if (src[x] < 128) row[size_t(x / 8)] |= uchar(0x80 >> (x % 8));  // 1 is black
            if (!writer.writeRow(row.data())) break;
        }
    } else if (pixelDataType == PixelDataType::gray) {
        const QImage gray = rgb.convertToFormat(bitDepth == 16 ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8);
        if (!writer.open(path, w, h, 1, bitDepth == 16 ? 16 : 8, dpi)) return writer.error();
        for (int y = 0; y < h; ++y)
            if (!writer.writeRow(gray.constScanLine(y))) break;
    } else if (bitDepth == 16) {
        if (!writer.open(path, w, h, 3, 16, dpi)) return writer.error();
        std::vector<quint16> row(size_t(w) * 3);
        for (int y = 0; y < h; ++y) {
            const uchar* src = rgb.constScanLine(y);
            for (size_t i = 0; i < row.size(); ++i) row[i] = quint16(src[i] * 257);
            if (!writer.writeRow(reinterpret_cast<const unsigned char*>(row.data()))) break;
        }
    } else {
        if (!writer.open(path, w, h, 3, 8, dpi)) return writer.error();
        for (int y = 0; y < h; ++y)
            if (!writer.writeRow(rgb.constScanLine(y))) break;
    }
    if (!writer.finish()) return writer.error();
    return std::nullopt;
}

}  // namespace

std::optional<CaptureError> VirtualFlatbed::faultAtEnd(const Job& job)
{
    if (!job.faults.errorAtCompletion) return std::nullopt;
    return CaptureError{faultText};
}

void VirtualFlatbed::after(milliseconds delay, int generation, std::function<void(VirtualFlatbed&)> step)
{
    QTimer::singleShot(delay, &context_, [this, generation, step = std::move(step)] {
        if (generation_ == generation) step(*this);
    });
}

template <class T>
void VirtualFlatbed::offThread(int generation, std::function<T()> work, std::function<void(VirtualFlatbed&, T)> then)
{
    // The result comes back through the application object, which outlives every device;
    // the device may be gone by then.
    BackgroundPool::instance().start([weak = weak_from_this(), generation, work = std::move(work),
                                          then = std::move(then)]() mutable {
        BackgroundPool::lowerThisThread();
        T value = work();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [weak, generation, then = std::move(then), value = std::move(value)]() mutable {
                if (auto self = current(weak, generation)) then(*self, std::move(value));
            },
            Qt::QueuedConnection);
    });
}

void VirtualFlatbed::complete(const std::optional<CaptureError>& error)
{
    if (auto* delegate = this->delegate()) delegate->didCompleteScan(*this, error);
}

void VirtualFlatbed::removeNow()
{
    ++generation_;
    open_ = false;
    if (onRemoved) onRemoved();
}

void VirtualFlatbed::start(int generation, std::shared_ptr<const Job> job)
{
    if (job->faults.noImage) {
        after(job->transferMode == TransferMode::memory ? job->pace.bands : job->pace.file, generation,
              [job](VirtualFlatbed& d) {
                  if (job->faults.removeMidScan) return d.removeNow();
                  d.complete(faultAtEnd(*job));
              });
        return;
    }
    offThread<QImage>(
        generation, [job] { return job->bed.render(job->area, job->resolution); },
        [generation, job](VirtualFlatbed& d, QImage image) {
            if (job->transferMode == TransferMode::memory) d.sendBands(generation, job, std::move(image), 0);
            else d.writeFile(generation, job, std::move(image));
        });
}

void VirtualFlatbed::sendBands(int generation, std::shared_ptr<const Job> job, QImage image, int band)
{
    const int bpl = int(image.bytesPerLine());
    const int bandRows = std::max(1, job->maxBandSize / std::max(1, bpl));
    const int bands = (image.height() + bandRows - 1) / bandRows;
    if (band >= bands) {
        after(job->pace.rest, generation, [job](VirtualFlatbed& d) { d.complete(faultAtEnd(*job)); });
        return;
    }
    if (job->faults.removeMidScan && band == bands / 2) return removeNow();

    BandData data;
    data.fullImageWidth = image.width();
    data.fullImageHeight = image.height();
    data.bytesPerRow = bpl;
    data.bitsPerPixel = 24;
    data.numComponents = 3;
    data.dataStartRow = band * bandRows;
    data.dataNumRows = std::min(bandRows, image.height() - data.dataStartRow);
    data.hasData = true;
    data.dataBuffer = QByteArray(reinterpret_cast<const char*>(image.constScanLine(data.dataStartRow)),
                                 qsizetype(data.dataNumRows) * bpl);
    if (auto* delegate = this->delegate()) delegate->didScanToBandData(*this, data);
    if (generation_ != generation) return;  // the band's receiver ended the session

    const milliseconds gap = job->pace.bands / std::max(1, bands);
    after(gap, generation, [generation, job, image = std::move(image), band](VirtualFlatbed& d) mutable {
        d.sendBands(generation, job, std::move(image), band + 1);
    });
}

void VirtualFlatbed::writeFile(int generation, std::shared_ptr<const Job> job, QImage image)
{
    after(job->pace.file / 2, generation, [generation, job, image = std::move(image)](VirtualFlatbed& d) {
        if (job->faults.removeMidScan) return d.removeNow();
        d.offThread<std::optional<QString>>(
            generation,
            [job, image] { return writePng(image, job->path, job->pixelDataType, job->bitDepth, job->resolution); },
            [generation, job](VirtualFlatbed& d, std::optional<QString> failed) {
                d.after(job->pace.file / 2, generation, [job, failed](VirtualFlatbed& d) {
                    if (failed) return d.complete(CaptureError{*failed});
                    if (auto* delegate = d.delegate()) delegate->didScanToURL(d, job->path);
                    if (auto fault = faultAtEnd(*job)) return d.complete(fault);
                    if (!job->overview) d.bed_.turnOver();
                    d.complete(std::nullopt);
                });
            });
    });
}
