#include "support/ScriptedEngine.h"

#include "analysis/ImageUtil.h"

#include <QCoreApplication>
#include <QCoroSignal>
#include <QCoroTimer>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <cmath>

ScannerInfo ScriptedEngine::defaultInfo()
{
    ScannerInfo i;
    i.name = "Test Flatbed";
    i.nativeDPI = 1200;
    i.supportedResolutions = {75, 100, 150, 200, 300, 600, 1200};
    i.supportedBitDepths = {1, 8, 16};
    i.bedSizeInches = QSizeF(8.5, 11.7);
    i.functionalUnitTypes = {0};
    return i;
}

void ScriptedEngine::notifyLater(const std::function<void()>* callback)
{
    // Delivered from the event loop on the main thread, as a device's messages are.
    QTimer::singleShot(0, &gate_, [callback] {
        if (*callback) (*callback)();
    });
}

void ScriptedEngine::announce(const ScannerChoice& choice)
{
    for (const auto& c : choices_)
        if (c.id == choice.id) return;
    choices_.push_back(choice);
    if (!active_) active_ = choice.id;
    notifyLater(&onScannersChanged);
}

void ScriptedEngine::remove(const QString& id)
{
    std::erase_if(choices_, [&](const ScannerChoice& c) { return c.id == id; });
    if (active_ == id) active_ = choices_.empty() ? std::nullopt : std::optional<QString>(choices_.front().id);
    notifyLater(&onScannersChanged);
}

void ScriptedEngine::selectScanner(const QString& id)
{
    const bool known = std::any_of(choices_.begin(), choices_.end(), [&](const auto& c) { return c.id == id; });
    if (!known || active_ == id) return;
    active_ = id;
    notifyLater(&onScannersChanged);
    notifyLater(&onScannerReady);
}

void ScriptedEngine::release()
{
    held_ = false;
    emit gate_.opened();
}

QCoro::Task<> ScriptedEngine::waitWhileHeld()
{
    while (held_) co_await qCoro(&gate_, &EngineGate::opened);
}

QCoro::Task<ScannerInfo> ScriptedEngine::connect()
{
    ++connectCalls;
    ++connectsRunning_;
    struct Running {
        int& count;
        ~Running() { --count; }
    } running{connectsRunning_};
    if (!active_) {
        co_await QCoro::sleepFor(connectTimeout);
        if (!active_) throw ScanFailure(ScanError::timeout);
    }
    co_await QCoro::sleepFor(connectDelay);
    if (connectFailure) throw *connectFailure;
    if (!active_) throw ScanFailure(ScanError::notConnected);
    co_return ScannerInfo(info);  // a copy: QCoro moves from any lvalue handed to co_return
}

QCoro::Task<QImage> ScriptedEngine::captureOverview(std::function<void(const QImage&)> onImage)
{
    ++overviewCalls;
    if (scanning_) throw ScanFailure(ScanError::busy);
    if (!active_) throw ScanFailure(ScanError::notConnected);
    scanning_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{scanning_};

    co_await QCoro::sleepFor(bandTime);
    if (overviewFailure) throw *overviewFailure;
    if (overviewImage.isNull()) throw ScanFailure(ScanError::noImage);
    const QImage image = overviewImage;
    if (earlyImage && onImage) onImage(image);
    co_await QCoro::sleepFor(returnTime);
    co_await waitWhileHeld();
    co_return image;
}

QCoro::Task<QString> ScriptedEngine::scanRegion(QRectF rect, ScanSettings settings, QString folder, QString name)
{
    ++scanCalls;
    if (scanning_) throw ScanFailure(ScanError::busy);
    if (!active_) throw ScanFailure(ScanError::notConnected);
    scanning_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{scanning_};
    lastScanRect = rect;
    lastSettings = settings;

    co_await QCoro::sleepFor(scanTime);
    co_await waitWhileHeld();
    if (scanFailure) throw *scanFailure;
    if (bedImage.isNull()) throw ScanFailure(ScanError::noImage);

    const double sx = bedImage.width() / info.bedSizeInches.width();
    const double sy = bedImage.height() / info.bedSizeInches.height();
    const QRect source(std::lround(rect.x() * sx), std::lround(rect.y() * sy), std::lround(rect.width() * sx),
                       std::lround(rect.height() * sy));
    const QSize out(std::lround(rect.width() * settings.dpi), std::lround(rect.height() * settings.dpi));
    const QImage scan = bedImage.copy(source).scaled(out, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QString file = QDir(folder).filePath(name + ".png");
    lastScanFile = file;
    if (masterOverride) {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write(*masterOverride) < 0) throw ScanFailure::service("The scanner could not write its file");
        co_return file;
    }
    if (!ImageUtil::savePNG(scan, file)) throw ScanFailure::service("The scanner could not write its file");
    co_return file;
}

bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    QElapsedTimer clock;
    clock.start();
    QTimer tick;  // wakes the wait below even when nothing else happens
    tick.start(5);
    while (!done()) {
        if (clock.elapsed() > limit.count()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}
