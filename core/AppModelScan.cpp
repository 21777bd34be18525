#include "core/AppModel.h"

#include "analysis/ImageUtil.h"
#include "model/FileNames.h"
#include "platform/files/ScratchFolder.h"
#include "platform/threads/BackgroundPool.h"

#include <QCoroFuture>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSet>
#include <QtConcurrent>

#include <algorithm>
#include <cmath>

namespace {

// What one region's save needs, worked out on the main thread before the workers start.
struct CropJob {
    ScanRegion region;
    QPointF centerPx;
    QSizeF sizePx;
    QString file;
    QString stem;
};

// Loads the master off the main thread, only when it is the size of the scanned area, and
// removes its file (at high resolutions it is hundreds of megabytes).
QImage loadMaster(const QString& file, QSize expected)
{
    BackgroundPool::lowerThisThread();
    QImage master = ImageUtil::loadScan(file, expected);
    QFile::remove(file);
    return master;
}

// A front never replaces a file that is there already; a back replaces its own earlier file,
// as re-scanning a back is meant to.
bool cutAndSave(const QImage& master, const CropJob& job, int dpi)
{
    BackgroundPool::lowerThisThread();
    const QImage crop = ImageUtil::extractRotated(master, job.centerPx, job.sizePx, job.region.angle);
    if (crop.isNull()) return false;
    return ImageUtil::saveJPEG(crop, job.file, ImageUtil::defaultJPEGQuality, dpi,
                               job.region.isBack() ? WholeFile::Replace::allowed : WholeFile::Replace::never);
}

}  // namespace

QCoro::Task<> AppModel::scanSelected()
{
    QPointer<AppModel> self(this);
    setBusy(true);
    setScannerBusy(true);
    const std::vector<ScanRegion> listed = regions_;
    const auto finish = [this](const QString& text) {
        setStatus(text);
        setBusy(false);
        setScannerBusy(false);
    };
    if (listed.empty()) {
        finish(QStringLiteral("Draw or auto-detect at least one region."));
        co_return;
    }

    QRectF area = listed.front().aabbInches();
    for (const ScanRegion& r : listed) area = area.united(r.aabbInches());
    if (info_) area = area.intersected(QRectF(QPointF(0, 0), info_->bedSizeInches));
    if (!(area.width() > 0) || !(area.height() > 0)) {
        finish(QStringLiteral("Regions are off the bed."));
        co_return;
    }

    // Another process working in the folder would number the same files and rewrite the same
    // history: the scanner is not used, and nothing here is touched.
    if (!holdOutputFolder() && folderInUse_) {
        finish(folderInUseText);
        co_return;
    }

    const int dpi = dpi_;
    setStatus(QString::asprintf("Scanning %.1f×%.1fin once @%ddpi, cropping %d…", area.width(), area.height(), dpi,
                                int(listed.size())));
    const ScanSettings settings{dpi, colorMode_, colorMode_ == ColorMode::blackWhite ? 1 : 8};
    // The process's own scratch folder: two running copies of the program (the window and
    // bivara-batch, say) never share one master file.
    const QString tempFolder = ScratchFolder::path();
    const QString masterName = QStringLiteral("bivara-master");

    QString masterFile;
    try {
        masterFile = co_await engine_->scanRegion(area, settings, tempFolder, masterName);
    } catch (const std::exception& e) {
        if (self) finish(QStringLiteral("Scan failed: ") + failureDescription(e));
        co_return;
    }
    if (!self) co_return;

    // Reading, cropping and encoding run on the workers; the window stays live meanwhile.
    const QSize expected(int(std::lround(area.width() * dpi)), int(std::lround(area.height() * dpi)));
    QFuture<QImage> loading = QtConcurrent::run(&BackgroundPool::instance(), loadMaster, masterFile, expected);
    const QImage master = co_await loading;
    if (!self) co_return;
    if (master.isNull()) {
        finish(QStringLiteral("Couldn't load master scan."));
        co_return;
    }

    QDir().mkpath(outputDir_);
    const double scale = dpi;
    const QString base = sanitize(baseName_);
    const StemMap plan = plannedStems();
    const std::int64_t session = nextSession(history_);

    // Every region gets its stem before any file is written. A region dropped from the bed
    // during the scan has no planned stem; it is numbered after the plan, and no two regions
    // of one scan ever name the same file.
    std::vector<CropJob> jobs;
    QSet<QString> used;
    for (const QString& stem : plan) used.insert(stem);
    std::int64_t spare = nextIndex(base);
    for (const ScanRegion& r : listed) {
        QString stem = plan.value(r.id);
        if (stem.isEmpty() || !safeStem(stem)) {
            do stem = numberedStem(base, spare++);
            while (used.contains(stem));
            used.insert(stem);
        }
        const QPointF centerPx((r.center.x() - area.left()) * scale, (r.center.y() - area.top()) * scale);
        const QSizeF sizePx(r.size.width() * scale, r.size.height() * scale);
        jobs.push_back({r, centerPx, sizePx, QDir(outputDir_).filePath(stem + QStringLiteral(".jpg")), stem});
    }

    // The sharper overview is drawn while the crops are cut and written.
    std::optional<QFuture<QImage>> compositing;
    if (info_ && !overview_.isNull())
        compositing = QtConcurrent::run(&BackgroundPool::instance(), [master, overview = overview_, area, bed = info_->bedSizeInches] {
            BackgroundPool::lowerThisThread();
            return ImageUtil::composite(master, overview, area, bed);
        });
    std::vector<QFuture<bool>> saving;
    saving.reserve(jobs.size());
    for (const CropJob& job : jobs) saving.push_back(QtConcurrent::run(&BackgroundPool::instance(), cutAndSave, master, job, dpi));

    if (compositing) {
        const QImage sharper = co_await *compositing;
        if (!self) co_return;
        if (!sharper.isNull()) setOverview(sharper);
    }
    std::vector<bool> written;
    for (QFuture<bool>& f : saving) {
        const bool ok = co_await f;
        written.push_back(ok);
    }
    if (!self) co_return;

    // The results apply in list order, as if each region had been saved in turn.
    std::vector<QString> saved;
    std::vector<ScanRecord> records;
    auto regions = regions_;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (!written[i]) continue;
        const CropJob& job = jobs[i];
        saved.push_back(job.file);
        if (job.region.isBack()) continue;
        ScanRecord record;
        record.base = job.stem;
        record.center = job.region.center;
        record.size = job.region.size;
        record.angle = job.region.angle;
        record.date = timestampNow();
        record.session = session;
        records.push_back(record);
        for (ScanRegion& r : regions)
            if (r.id == job.region.id) r.frontBase = job.stem;
    }
    if (regions != regions_) setRegions(regions);

    QStringList unsaved;  // state files that could not be written
    if (!records.empty()) {
        auto history = history_;
        for (const ScanRecord& record : records) {
            std::erase_if(history, [&](const ScanRecord& h) { return h.base == record.base; });
            history.push_back(record);
        }
        setHistory(history);
        unsaved += saveHistory();
        setPrevOverview(overview_);
        setPrevBedSize(info_ ? std::optional<QSizeF>(info_->bedSizeInches) : std::nullopt);
        unsaved += savePrevScan();
    }
    unsaved += saveSession();
    setLastSaved(saved);

    const auto backs = std::count_if(listed.begin(), listed.end(), [](const ScanRegion& r) { return r.isBack(); });
    const QString backPart = backs ? QStringLiteral(" · %1 back").arg(backs) : QString();
    const QString folder = QDir::toNativeSeparators(outputDir_);
    // Fewer files than regions is not a success, and must not read like one.
    const QString warning = QStringLiteral("⚠️");
    QString done = saved.size() == listed.size()
                       ? QStringLiteral("✅ Saved %1 file(s)").arg(saved.size())
                       : warning + QStringLiteral(" Saved %1 of %2 file(s)").arg(saved.size()).arg(listed.size());
    done += backPart + QStringLiteral(" → ") + folder;
    // Fronts whose history was not written will not pair with their backs: that is said too.
    if (!unsaved.isEmpty()) {
        if (done.startsWith(QStringLiteral("✅"))) done.replace(0, QStringLiteral("✅").size(), warning);
        done += QStringLiteral(" — couldn't save ") + unsaved.join(QStringLiteral(", "));
    }
    finish(done);
}

void AppModel::chooseOutput()
{
    if (!chooseFolder) return;
    const auto chosen = chooseFolder(outputDir_);
    if (!chosen || chosen->isEmpty()) return;
    switchOutputDir(*chosen);
}

std::vector<QString> AppModel::recentHistory(const std::vector<QString>& excluding, int limit) const
{
    QSet<QString> skipped;
    for (const QString& file : excluding) skipped.insert(QFileInfo(file).completeBaseName());

    std::vector<const ScanRecord*> newestFirst;
    for (const ScanRecord& r : history_) newestFirst.push_back(&r);
    std::stable_sort(newestFirst.begin(), newestFirst.end(),
                     [](const ScanRecord* a, const ScanRecord* b) { return a->date > b->date; });

    std::vector<QString> files;
    for (const ScanRecord* r : newestFirst) {
        if (int(files.size()) >= limit) break;
        if (skipped.contains(r->base)) continue;
        const auto stem = safeStem(r->base);  // a base from the file never leads outside the folder
        if (!stem) continue;
        const QString file = QDir(outputDir_).filePath(*stem + QStringLiteral(".jpg"));
        if (QFileInfo::exists(file)) files.push_back(file);
    }
    return files;
}
