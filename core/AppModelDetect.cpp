#include "core/AppModel.h"

#include "analysis/AutoDetect.h"
#include "analysis/BackTextDetect.h"
#include "platform/threads/BackgroundPool.h"

#include <QCoroFuture>
#include <QPointer>
#include <QtConcurrent>

namespace {

std::vector<ScanRegion> detectOn(const QImage& image, QSizeF bed, DrawSide side)
{
    BackgroundPool::lowerThisThread();
    return side == DrawSide::back ? AutoDetect::detectBackText(image, bed) : AutoDetect::detect(image, bed);
}

}  // namespace

QCoro::Task<> AppModel::autoDetect()
{
    if (overview_.isNull() || !info_) {
        setStatus(QStringLiteral("Press Preview first."));
        co_return;
    }
    const DrawSide side = drawSide_;
    const bool backs = side == DrawSide::back;
    setBusy(true);
    setStatus(backs ? QStringLiteral("Reading the writing on the backs…") : QStringLiteral("Detecting photos…"));

    // The detectors work on their own copies, off the main thread.
    QPointer<AppModel> self(this);
    const QImage image = overview_;
    const QSizeF bed = info_->bedSizeInches;
    QFuture<std::vector<ScanRegion>> detecting = QtConcurrent::run(&BackgroundPool::instance(), detectOn, image, bed, side);
    std::vector<ScanRegion> found = co_await detecting;
    if (!self) co_return;

    const QString word = backs ? QStringLiteral("Note") : QStringLiteral("Photo");
    for (std::size_t i = 0; i < found.size(); ++i) {
        found[i].name = word + QStringLiteral(" %1").arg(i + 1);
        if (drawSide_ == DrawSide::back) found[i].back = BackTarget::automatic();
    }
    setRegions(found);
    setSelectedID(found.empty() ? std::nullopt : std::optional<QUuid>(found.back().id));
    if (releaseKeyboardFocus) releaseKeyboardFocus();

    const auto n = found.size();
    if (backs)
        setStatus(n ? QStringLiteral("Found %1 handwritten note(s).").arg(n)
                    : QStringLiteral("No writing found — draw the note area manually."));
    else
        setStatus(n ? QStringLiteral("Detected %1 photo(s).").arg(n)
                    : QStringLiteral("No photos detected — try Preview again or draw manually."));
    setBusy(false);
}
