#pragma once

// One open SANE device, on the SANE thread: its capabilities as a functional unit, the
// choice of source, the scan itself (blocking reads, bands of whole rows or a PNG file) and
// the polling of its buttons. Every member but requestCancel() runs on the SANE thread.

#include "platform/capture/BandData.h"
#include "platform/capture/FunctionalUnit.h"
#include "platform/sane/SaneOptions.h"

#include <QRectF>
#include <QString>

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <vector>

// What a session reports about its device.
struct SaneCapabilities {
    std::vector<int> unitTypes;  // one per source, in the backend's order; {flatbed} without sources
    FunctionalUnit unit;         // the selected source
};

// One scan request as the main thread set it up.
struct SaneScanJob {
    QRectF area;  // inches
    int resolution = 75;
    int pixelDataType = 2;
    int bitDepth = 8;
    TransferMode transferMode = TransferMode::memory;
    int maxBandSize = 0x80000;
    QString folder;
    QString name;
};

struct SaneScanOutcome {
    std::optional<QString> file;   // the PNG written, for a transfer to a file
    std::optional<QString> error;  // SANE's own text, or why the file could not be written
};

class SaneSession {
public:
    // The resolutions offered from a range, when they lie in it.
    static const std::vector<double> commonResolutions;

    explicit SaneSession(QString deviceName);
    ~SaneSession();
    SaneSession(const SaneSession&) = delete;
    SaneSession& operator=(const SaneSession&) = delete;

    // SANE's text when the device cannot be opened.
    std::optional<QString> open();
    void close();
    bool isOpen() const { return handle_ != nullptr; }

    SaneCapabilities capabilities();
    std::optional<QString> selectUnit(int type);
    // Sets a backend option by name from text ("true", "12", "Color").
    std::optional<QString> setOption(const QString& name, const QString& value);

    // Runs one scan to its end. Bands go to `onBand` as they fill.
    SaneScanOutcome scan(const SaneScanJob& job, const std::function<void(BandData)>& onBand);

    // Button options that read true now and did not at the last look.
    std::vector<QString> pressedButtons();
    bool hasButtons() const { return !options_.sensorNames().empty(); }

    // Safe from any thread: a running scan stops at its next read.
    void requestCancel() { cancel_ = true; }

    // Maps a source name to a functional unit type; nullopt for names we do not know.
    static std::optional<int> unitTypeOf(const QString& source);
    // Maps a mode name to a pixel data type; nullopt for names we do not know.
    static std::optional<int> pixelDataTypeOf(const QString& mode);

private:
    std::optional<QString> applyJob(const SaneScanJob& job);
    std::optional<QString> setGeometry(const QRectF& area);
    double lengthPerInch(const char* name) const;

    QString deviceName_;
    SANE_Handle handle_ = nullptr;
    SaneOptions options_;
    std::map<int, QString> sources_;  // unit type to the backend's source name
    std::map<QString, bool> buttonStates_;
    std::atomic<bool> cancel_{false};
};
