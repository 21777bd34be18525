#include "core/AppModel.h"

#include <QPointer>

namespace {

// Shared between one preview and its early-image callback.
struct PreviewFlags {
    bool released = false;   // busy was already cleared by this preview
    bool delivered = false;  // the overview was shown before the scanner finished
};

const QString kReturning = QStringLiteral("Preview ready — scanner returning…");
const QString kLoaded = QStringLiteral("Preview loaded.");

}  // namespace

QCoro::Task<> AppModel::preview()
{
    if (busy_ || scannerBusy_) {
        setStatus(QStringLiteral("Scanner is already busy."));
        co_return;
    }
    QPointer<AppModel> self(this);
    setBusy(true);
    setScannerBusy(true);
    auto flags = std::make_shared<PreviewFlags>();
    try {
        if (!info_) {
            setStatus(QStringLiteral("Connecting… (first link can take a while)"));
            const ScannerInfo connected = co_await engine_->connect();
            if (!self) co_return;
            setInfo(connected);
        }
        setStatus(QStringLiteral("Scanning preview…"));
        // Named, not a temporary: g++ 12 destroys temporaries inside a co_await expression
        // twice, so every argument of an awaited call is a local first.
        std::function<void(const QImage&)> onImage = [self, flags](const QImage& early) {
            flags->delivered = true;
            flags->released = true;
            if (!self) return;
            self->setOverview(early);
            self->setBusy(false);
            self->setStatus(kReturning);
        };
        const QImage image = co_await engine_->captureOverview(onImage);
        if (!self) co_return;
        setOverview(image);
        setScannerBusy(false);
        if (!flags->delivered) {
            setBusy(false);
            flags->released = true;
            setStatus(kLoaded);
        }
        // Any other text was set meanwhile by another operation (Auto-detect) and stays.
        if (status_ == kReturning || status_ == kLoaded) setStatus(QStringLiteral("Preview ready."));
    } catch (const std::exception& e) {
        if (!self) co_return;
        setScannerBusy(false);
        if (!flags->released) setBusy(false);
        setStatus(QStringLiteral("Preview failed: ") + failureDescription(e));
    }
}

QCoro::Task<> AppModel::warmUp()
{
    if (info_ || busy_ || scannerBusy_) co_return;
    QPointer<AppModel> self(this);
    setStatus(QStringLiteral("Searching for scanner…"));
    try {
        const ScannerInfo connected = co_await engine_->connect();
        if (!self) co_return;
        if (!info_) setInfo(connected);
        if (idleAtRest()) setStatus(connected.name + QStringLiteral(" ready — press its button or Preview"));
    } catch (const std::exception&) {
        if (!self) co_return;
        if (!info_ && idleAtRest()) setStatus(QStringLiteral("Scanner not found — press Preview to retry"));
    }
}

QCoro::Task<> AppModel::relink(std::optional<QSizeF> previousBed)
{
    QPointer<AppModel> self(this);
    try {
        const ScannerInfo connected = co_await engine_->connect();
        if (!self) co_return;
        if (!info_) setInfo(connected);
        if (previousBed && (previousBed->width() != connected.bedSizeInches.width() ||
                            previousBed->height() != connected.bedSizeInches.height()))
            setOverview(QImage());  // the old picture does not fit the new bed
        if (idleAtRest()) setStatus(connected.name + QStringLiteral(" ready — press its button or Preview"));
    } catch (const std::exception&) {
        if (!self) co_return;
        if (!info_ && idleAtRest()) setStatus(QStringLiteral("Scanner link failed — press Preview to retry"));
    }
}
