#include "platform/sane/SaneSession.h"

#include "platform/sane/SaneFrameReader.h"

#include <QDir>

#include <algorithm>
#include <cmath>

const std::vector<double> SaneSession::commonResolutions = {50,  75,  100, 150,  200,  300,
                                                            400, 600, 1200, 2400, 4800, 6400};

namespace {

constexpr double mmPerInch = 25.4;

QString statusText(SANE_Status status)
{
    return QString::fromUtf8(sane_strstatus(status));
}

}  // namespace

SaneSession::SaneSession(QString deviceName) : deviceName_(std::move(deviceName)) {}

SaneSession::~SaneSession()
{
    close();
}

std::optional<QString> SaneSession::open()
{
    if (handle_) return std::nullopt;
    SANE_Handle handle = nullptr;
    const SANE_Status status = sane_open(deviceName_.toUtf8().constData(), &handle);
    if (status != SANE_STATUS_GOOD) return statusText(status);
    handle_ = handle;
    options_ = SaneOptions(handle_);
    buttonStates_.clear();
    return std::nullopt;
}

void SaneSession::close()
{
    if (!handle_) return;
    sane_close(std::exchange(handle_, nullptr));
    options_ = SaneOptions();
}

std::optional<int> SaneSession::unitTypeOf(const QString& source)
{
    const QString s = source.toLower();
    if (s.contains("negative")) return UnitType::negativeTransparency;
    if (s.contains("transparen") || s.contains("tpu") || s.contains("slide") || s.contains("film") ||
        s.contains("positive"))
        return UnitType::positiveTransparency;
    if (s.contains("adf") || s.contains("feeder") || s.contains("duplex") || s.contains("sheet"))
        return UnitType::documentFeeder;
    if (s.contains("flatbed") || s.contains("platen") || s.contains("normal") || s.contains("glass"))
        return UnitType::flatbed;
    return std::nullopt;
}

std::optional<int> SaneSession::pixelDataTypeOf(const QString& mode)
{
    const QString m = mode.toLower();
    if (m.contains("color") || m.contains("colour") || m.contains("rgb")) return PixelDataType::rgb;
    if (m.contains("gray") || m.contains("grey")) return PixelDataType::gray;
    if (m.contains("lineart") || m.contains("binary") || m.contains("halftone") || m.contains("black"))
        return PixelDataType::blackWhite;
    return std::nullopt;
}

double SaneSession::lengthPerInch(const char* name) const
{
    const auto* d = options_.find(name);
    if (d && d->unit == SANE_UNIT_PIXEL) {
        // Pixel geometry counts at the device's finest resolution.
        const auto dpi = options_.maximum(SANE_NAME_SCAN_RESOLUTION);
        return dpi && *dpi > 0 ? *dpi : 300;
    }
    return mmPerInch;
}

SaneCapabilities SaneSession::capabilities()
{
    SaneCapabilities caps;
    FunctionalUnit& unit = caps.unit;

    // Units, one per source the backend offers.
    sources_.clear();
    for (const QString& source : options_.stringChoices(SANE_NAME_SCAN_SOURCE)) {
        const auto type = unitTypeOf(source);
        if (!type || sources_.count(*type)) continue;
        sources_[*type] = source;
        caps.unitTypes.push_back(*type);
    }
    if (caps.unitTypes.empty()) caps.unitTypes.push_back(UnitType::flatbed);
    unit.type = caps.unitTypes.front();
    if (const auto current = options_.string(SANE_NAME_SCAN_SOURCE))
        if (const auto type = unitTypeOf(*current)) unit.type = *type;

    for (double r : options_.numericChoices(SANE_NAME_SCAN_RESOLUTION, commonResolutions))
        if (r >= 1) unit.supportedResolutions.push_back(int(std::lround(r)));
    unit.supportedResolutions.erase(std::unique(unit.supportedResolutions.begin(), unit.supportedResolutions.end()),
                                    unit.supportedResolutions.end());
    unit.nativeXResolution = unit.supportedResolutions.empty() ? 0 : unit.supportedResolutions.back();

    for (double d : options_.numericChoices(SANE_NAME_BIT_DEPTH, {1, 8, 16}))
        unit.supportedBitDepths.push_back(int(std::lround(d)));
    if (unit.supportedBitDepths.empty()) {
        const QStringList modes = options_.stringChoices(SANE_NAME_SCAN_MODE);
        if (std::any_of(modes.begin(), modes.end(), [](const QString& m) { return pixelDataTypeOf(m) == 0; }))
            unit.supportedBitDepths.push_back(1);
        unit.supportedBitDepths.push_back(8);
    }

    const double w = options_.maximum(SANE_NAME_SCAN_BR_X).value_or(0) / lengthPerInch(SANE_NAME_SCAN_BR_X);
    const double h = options_.maximum(SANE_NAME_SCAN_BR_Y).value_or(0) / lengthPerInch(SANE_NAME_SCAN_BR_Y);
    unit.physicalSize = QSizeF(w, h);
    return caps;
}

std::optional<QString> SaneSession::selectUnit(int type)
{
    if (!handle_) return statusText(SANE_STATUS_INVAL);
    capabilities();  // refreshes the source names
    const auto it = sources_.find(type);
    if (it == sources_.end()) return statusText(SANE_STATUS_UNSUPPORTED);
    if (!options_.isSettable(SANE_NAME_SCAN_SOURCE)) return statusText(SANE_STATUS_UNSUPPORTED);
    return options_.setString(SANE_NAME_SCAN_SOURCE, it->second);
}

std::optional<QString> SaneSession::setOption(const QString& name, const QString& value)
{
    if (!handle_) return statusText(SANE_STATUS_INVAL);
    return options_.setFromText(name.toUtf8().constData(), value);
}

std::optional<QString> SaneSession::setGeometry(const QRectF& area)
{
    const double x = lengthPerInch(SANE_NAME_SCAN_TL_X), y = lengthPerInch(SANE_NAME_SCAN_TL_Y);
    struct Edge {
        const char* name;
        double value;
        bool roundUp;
    };
    // Top-left first, rounded down; bottom-right rounded up, so that the area is never short.
    const Edge edges[] = {{SANE_NAME_SCAN_TL_X, area.left() * x, false},
                          {SANE_NAME_SCAN_TL_Y, area.top() * y, false},
                          {SANE_NAME_SCAN_BR_X, area.right() * x, true},
                          {SANE_NAME_SCAN_BR_Y, area.bottom() * y, true}};
    for (const Edge& e : edges) {
        if (!options_.isSettable(e.name)) continue;
        if (auto error = options_.setNumber(e.name, e.value, e.roundUp)) return error;
    }
    return std::nullopt;
}

std::optional<QString> SaneSession::applyJob(const SaneScanJob& job)
{
    // Mode first: it may change (and reload) every other option.
    const QStringList modes = options_.stringChoices(SANE_NAME_SCAN_MODE);
    int wanted = job.pixelDataType;
    int depth = job.bitDepth;
    auto modeFor = [&](int type) -> std::optional<QString> {
        for (const QString& m : modes)
            if (pixelDataTypeOf(m) == type) return m;
        return std::nullopt;
    };
    std::optional<QString> mode = modeFor(wanted);
    if (!mode && wanted == PixelDataType::blackWhite) {
        // No line-art mode: gray at one bit is the same picture.
        mode = modeFor(PixelDataType::gray);
        depth = 1;
    }
    if (mode && options_.isSettable(SANE_NAME_SCAN_MODE))
        if (auto error = options_.setString(SANE_NAME_SCAN_MODE, *mode)) return error;
    if (options_.isSettable(SANE_NAME_BIT_DEPTH))
        if (auto error = options_.setNumber(SANE_NAME_BIT_DEPTH, depth)) return error;
    if (options_.isSettable(SANE_NAME_SCAN_RESOLUTION)) {
        if (auto error = options_.setNumber(SANE_NAME_SCAN_RESOLUTION, job.resolution)) return error;
    } else {
        for (const char* axis : {SANE_NAME_SCAN_X_RESOLUTION, SANE_NAME_SCAN_Y_RESOLUTION})
            if (options_.isSettable(axis))
                if (auto error = options_.setNumber(axis, job.resolution)) return error;
    }
    return setGeometry(job.area);
}

SaneScanOutcome SaneSession::scan(const SaneScanJob& job, const std::function<void(BandData)>& onBand)
{
    cancel_ = false;
    if (!handle_) return {std::nullopt, statusText(SANE_STATUS_INVAL)};
    if (auto error = applyJob(job)) return {std::nullopt, error};

    SaneFrameReader reader(handle_, cancel_);
    SaneScanOutcome outcome;
    if (job.transferMode == TransferMode::memory) {
        outcome.error = reader.readToBands(job.maxBandSize, onBand);
    } else {
        const QString path = QDir(job.folder).filePath(job.name + ".png");
        outcome.error = reader.readToPng(path, job.resolution);
        if (!outcome.error) outcome.file = path;
    }
    sane_cancel(handle_);
    return outcome;
}

std::vector<QString> SaneSession::pressedButtons()
{
    std::vector<QString> pressed;
    if (!handle_) return pressed;
    for (const QString& name : options_.sensorNames()) {
        const bool down = options_.boolean(name.toUtf8().constData()).value_or(false);
        bool& was = buttonStates_[name];
        if (down && !was) pressed.push_back(name);
        was = down;
    }
    return pressed;
}
