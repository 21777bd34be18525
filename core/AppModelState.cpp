#include "core/AppModel.h"

#include "model/StateFiles.h"
#include "platform/files/LockFile.h"
#include "platform/files/WholeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

namespace {

QStringList unless(bool written, const char* name)
{
    return written ? QStringList() : QStringList(QString::fromLatin1(name));
}

}  // namespace

bool AppModel::takeFolderLock()
{
    const QString file = StateFiles::path(outputDir_, StateFiles::lockName);
    if (folderLock_ && folderLock_->fileName() == file && folderLock_->isLocked()) return true;
    auto lock = LockFile::make(file);
    const bool taken = LockFile::take(*lock);
    folderInUse_ = lock->error() == QLockFile::LockFailedError;
    if (taken) folderLock_ = std::move(lock);
    return taken;
}

bool AppModel::holdOutputFolder()
{
    const bool held = folderLock_ && folderLock_->isLocked();
    if (!takeFolderLock()) return false;
    if (!held) {
        // Another process may have worked here since the folder was read.
        loadHistory();
        loadPrevScan();
    }
    return true;
}

void AppModel::openOutputFolder()
{
    folderLock_.reset();
    if (takeFolderLock()) {
        WholeFile::removeLeftovers(outputDir_);
        StateFiles::migrateLegacyDotfiles(outputDir_);
    } else if (folderInUse_) {
        setStatus(folderInUseText);
    }
    loadHistory();
    loadSession();
    loadPrevScan();
}

void AppModel::loadHistory() { setHistory(StateFiles::readHistory(outputDir_).value_or(std::vector<ScanRecord>{})); }

QStringList AppModel::saveHistory()
{
    return unless(holdOutputFolder() && StateFiles::writeHistory(outputDir_, history_), StateFiles::historyName);
}

void AppModel::loadSession()
{
    if (auto regions = StateFiles::readSession(outputDir_)) {
        setRegions(*regions);
        setSelectedID(std::nullopt);
    }
}

QStringList AppModel::saveSession()
{
    return unless(holdOutputFolder() && StateFiles::writeSession(outputDir_, regions_), StateFiles::sessionName);
}

void AppModel::loadPrevScan()
{
    setPrevOverview(StateFiles::readPrevImage(outputDir_));
    setPrevBedSize(StateFiles::readPrevBedSize(outputDir_));
}

QStringList AppModel::savePrevScan()
{
    QStringList failed;
    const bool held = holdOutputFolder();
    if (!prevOverview_.isNull())
        failed += unless(held && StateFiles::writePrevImage(outputDir_, prevOverview_), StateFiles::prevImageName);
    if (prevBedSize_)
        failed += unless(held && StateFiles::writePrevBedSize(outputDir_, *prevBedSize_), StateFiles::prevBedName);
    return failed;
}

void AppModel::migrateLegacyDotfiles()
{
    if (holdOutputFolder()) StateFiles::migrateLegacyDotfiles(outputDir_);
}

void AppModel::switchOutputDir(const QString& folder)
{
    saveSession();
    setOutputDir(folder);
    preferences_->setString(Preferences::outputDirKey, folder);
    openOutputFolder();
}

QString AppModel::restoreOutputDir(const Preferences& preferences)
{
    if (const auto stored = preferences.string(Preferences::outputDirKey); stored && !stored->isEmpty()) {
        if (QFileInfo(*stored).isDir()) return *stored;
    }
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty()) pictures = QDir::home().filePath("Pictures");
    return QDir(pictures).filePath("Bivara Scanner");
}
