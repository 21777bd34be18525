#include "core/AppModel.h"

#include "model/StateFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

void AppModel::loadHistory() { setHistory(StateFiles::readHistory(outputDir_).value_or(std::vector<ScanRecord>{})); }

void AppModel::saveHistory() { StateFiles::writeHistory(outputDir_, history_); }

void AppModel::loadSession()
{
    if (auto regions = StateFiles::readSession(outputDir_)) {
        setRegions(*regions);
        setSelectedID(std::nullopt);
    }
}

void AppModel::saveSession() { StateFiles::writeSession(outputDir_, regions_); }

void AppModel::loadPrevScan()
{
    setPrevOverview(StateFiles::readPrevImage(outputDir_));
    setPrevBedSize(StateFiles::readPrevBedSize(outputDir_));
}

void AppModel::savePrevScan()
{
    if (!prevOverview_.isNull()) StateFiles::writePrevImage(outputDir_, prevOverview_);
    if (prevBedSize_) StateFiles::writePrevBedSize(outputDir_, *prevBedSize_);
}

void AppModel::migrateLegacyDotfiles() { StateFiles::migrateLegacyDotfiles(outputDir_); }

void AppModel::switchOutputDir(const QString& folder)
{
    saveSession();
    setOutputDir(folder);
    preferences_->setString(Preferences::outputDirKey, folder);
    migrateLegacyDotfiles();
    loadHistory();
    loadSession();
    loadPrevScan();
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
