#pragma once

// The one seam between the application model and the scanner hardware.
//
// Every member is used on the main thread and every callback arrives there. The three
// long-running jobs are coroutines (QCoro tasks) that suspend while the scanner works; they
// fail by throwing ScanFailure, which carries the text the user is shown. Only one scan
// (overview or region) runs at a time: a second request fails with ScanError::busy.

#include "model/ScanSettings.h"

#include <QCoroTask>
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <exception>
#include <functional>
#include <optional>
#include <vector>

// One discovered scanner, as offered in the scanner menu.
struct ScannerChoice {
    QString id;  // stable device identifier, passed back to selectScanner()
    QString name;

    friend bool operator==(const ScannerChoice&, const ScannerChoice&) = default;
};

// What an opened scanner reports about its selected functional unit.
struct ScannerInfo {
    QString name;  // "Scanner" when the device has none
    int nativeDPI = 0;
    std::vector<int> supportedResolutions;  // ascending
    std::vector<int> supportedBitDepths;    // ascending
    QSizeF bedSizeInches;
    std::vector<int> functionalUnitTypes;   // 0 is the flatbed

    friend bool operator==(const ScannerInfo&, const ScannerInfo&) = default;
};

// The engine's own failure kinds.
enum class ScanError { notConnected, noImage, timeout, busy };

// "Scanner not connected", "Scanner returned no image", "Timed out waiting for the scanner",
// "Scanner is already scanning".
QString description(ScanError error);

// How an engine operation fails: one of our own kinds, or a service error passing through
// with the service's own text.
class ScanFailure : public std::exception {
public:
    explicit ScanFailure(ScanError error);
    static ScanFailure service(const QString& description);

    std::optional<ScanError> error() const { return error_; }
    const QString& description() const { return description_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    ScanFailure(std::optional<ScanError> error, QString description);

    std::optional<ScanError> error_;
    QString description_;
    QByteArray utf8_;
};

// The text a flow shows for a failed engine operation: a ScanFailure's description, or any
// other exception's own message.
QString failureDescription(const std::exception& e);

class ScannerEngine {
public:
    virtual ~ScannerEngine() = default;

    ScannerEngine() = default;
    ScannerEngine(const ScannerEngine&) = delete;
    ScannerEngine& operator=(const ScannerEngine&) = delete;

    // The scanner's own button was pressed, or the service hands us a device it just found.
    std::function<void()> onPreviewButtonPressed;
    // A device session has opened.
    std::function<void()> onScannerReady;
    // The list of discovered scanners, or the active scanner, changed.
    std::function<void()> onScannersChanged;

    // One per discovered scanner, in order of discovery.
    virtual std::vector<ScannerChoice> scannerChoices() const = 0;
    virtual std::optional<QString> activeScannerID() const = 0;

    // Makes a discovered scanner the active one; unknown or already active ids change
    // nothing. Returns at once; the effect is reported through onScannersChanged.
    virtual void selectScanner(const QString& id) = 0;

    // Waits for a scanner, opens its session, prefers the flatbed and reports its unit.
    // Fails with timeout, notConnected, or the service's error.
    virtual QCoro::Task<ScannerInfo> connect() = 0;

    // A low-resolution overview of the whole bed. `onImage` is called at most once, with the
    // complete image as soon as its rows are in memory, before the scanner has finished.
    // Fails with notConnected, busy, noImage, timeout or the service's error.
    virtual QCoro::Task<QImage> captureOverview(std::function<void(const QImage&)> onImage) = 0;

    // Scans `rect` (bed inches, axis-aligned) to a file named `name` in `folder` and returns
    // the path of the file written. Fails with notConnected, busy, noImage or the service's error.
    virtual QCoro::Task<QString> scanRegion(QRectF rect, ScanSettings settings, QString folder, QString name) = 0;

    // Closes the session and stops looking for devices.
    virtual void disconnect() = 0;
};
