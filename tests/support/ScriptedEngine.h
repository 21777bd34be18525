#pragma once

// A scanner engine for tests that keeps the engine contract: callbacks on the main thread
// (from the event loop, never from inside the call that caused them), one scan at a time
// with ScanError::busy for a second request, and the early image through onImage.
// What each operation answers is scripted by the test.

#include "scanner/ScannerEngine.h"
#include "support/QtPrinters.h"

#include <QObject>

#include <chrono>

class EngineGate : public QObject {
    Q_OBJECT
signals:
    void opened();
};

class ScriptedEngine : public ScannerEngine {
public:
    using ms = std::chrono::milliseconds;

    // ---- discovery --------------------------------------------------------------------
    // Announces a scanner; the first one becomes active by itself.
    void announce(const ScannerChoice& choice);
    void remove(const QString& id);

    std::vector<ScannerChoice> scannerChoices() const override { return choices_; }
    std::optional<QString> activeScannerID() const override { return active_; }
    void selectScanner(const QString& id) override;

    // ---- script -----------------------------------------------------------------------
    // What connect() answers once a scanner is active; without an active scanner it fails
    // with timeout after connectTimeout.
    ScannerInfo info = defaultInfo();
    std::optional<ScanFailure> connectFailure;
    ms connectDelay{0};
    ms connectTimeout{50};

    // The overview: the image, whether it arrives early through onImage, and the time the
    // scanner then needs to return to rest. A failure replaces the image.
    QImage overviewImage;
    bool earlyImage = true;
    ms bandTime{0};
    ms returnTime{0};
    std::optional<ScanFailure> overviewFailure;

    // Region scans cut the rectangle out of bedImage (which covers the whole bed) at the
    // requested dpi and write it as a PNG named after the document.
    QImage bedImage;
    ms scanTime{0};
    std::optional<ScanFailure> scanFailure;
    // When set, the file written holds these bytes instead of the scan.
    std::optional<QByteArray> masterOverride;

    // While held, every scan waits at its end until release().
    void hold() { held_ = true; }
    void release();

    // ---- what happened ----------------------------------------------------------------
    int connectCalls = 0;
    int overviewCalls = 0;
    int scanCalls = 0;
    int disconnectCalls = 0;
    QRectF lastScanRect;
    QString lastScanFile;  // the file the last region scan wrote
    ScanSettings lastSettings;
    bool scanning() const { return scanning_; }
    // connect() calls that have not finished yet (a model must not go before they do).
    int connectsRunning() const { return connectsRunning_; }

    // ---- the engine -------------------------------------------------------------------
    QCoro::Task<ScannerInfo> connect() override;
    QCoro::Task<QImage> captureOverview(std::function<void(const QImage&)> onImage) override;
    QCoro::Task<QString> scanRegion(QRectF rect, ScanSettings settings, QString folder, QString name) override;
    void disconnect() override { ++disconnectCalls; }

    static ScannerInfo defaultInfo();

private:
    void notifyLater(const std::function<void()>* callback);
    QCoro::Task<> waitWhileHeld();

    std::vector<ScannerChoice> choices_;
    std::optional<QString> active_;
    bool scanning_ = false;
    bool held_ = false;
    int connectsRunning_ = 0;
    EngineGate gate_;
};

// Runs the event loop until `task` has finished (or a few seconds have passed) and returns
// its result; a failure is rethrown.
#include <QCoroTask>
template <class T>
T runToEnd(QCoro::Task<T>&& task)
{
    return QCoro::waitFor(std::move(task));
}

// Runs the event loop until `done()` holds, or `limit` has passed; true when it held.
bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5));
