#include "model/RecordJson.h"
#include "model/StateFiles.h"
#include "support/Files.h"
#include "support/Make.h"
#include "support/ModelFixture.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {

using FolderTest = ModelFixture;

ScanRecord record(const QString& base) { return makeRecord(base, 0, {}, {6, 4}, 1); }

}  // namespace

TEST_F(FolderTest, SwitchingSavesTheOldSessionAndReadsTheNewFolderState)
{
    AppModel& m = makeModel();
    m.setHistory({record("scan_0001")});
    m.setPrevOverview(QImage(10, 10, QImage::Format_RGB32));
    m.setPrevBedSize(QSizeF(8.5, 11.7));
    m.addRegion(QRectF(1, 1, 2, 2));

    // A cancelled chooser keeps the folder.
    m.chooseFolder = [](const QString&) { return std::optional<QString>(); };
    m.chooseOutput();
    EXPECT_EQ(m.outputDir(), outputFolder());

    const QString fresh = root.filePath("fresh");
    QDir().mkpath(fresh);
    m.switchOutputDir(fresh);
    EXPECT_EQ(StateFiles::readSession(outputFolder())->size(), 1u) << "the old folder got the session";
    EXPECT_EQ(m.outputDir(), fresh);
    EXPECT_EQ(prefs->string(Preferences::outputDirKey), fresh);
    EXPECT_TRUE(m.history().empty());
    EXPECT_EQ(m.regions().size(), 1u) << "no session file there: the regions stay";
    EXPECT_TRUE(m.prevOverview().isNull());
    EXPECT_FALSE(m.prevBedSize());

    // A folder with a (legacy) session: its regions replace ours and the selection goes.
    m.selectRegion(m.regions()[0].id);
    const QString other = root.filePath("other");
    QDir().mkpath(other);
    const ScanRegion saved = makeRegion({}, {}, {}, "Photo 9");
    ASSERT_TRUE(writeFile(QDir(other).filePath(".harlune-session.json"), *encodeRegions({saved, saved})));
    m.switchOutputDir(other);
    ASSERT_EQ(m.regions().size(), 2u);
    EXPECT_EQ(m.regions()[0].name, "Photo 9");
    EXPECT_FALSE(m.selectedID());
}

TEST_F(FolderTest, RestoreUsesTheStoredFolderOnlyWhileItExists)
{
    Preferences p(root.filePath("restore.ini"));
    const QString def = QDir(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)).filePath("Bivara Scanner");
    EXPECT_EQ(AppModel::restoreOutputDir(p), def);
    const QString stored = root.filePath("kept");
    QDir().mkpath(stored);
    p.setString(Preferences::outputDirKey, stored);
    EXPECT_EQ(AppModel::restoreOutputDir(p), stored);
    QDir(stored).removeRecursively();
    EXPECT_EQ(AppModel::restoreOutputDir(p), def) << "a deleted folder is ignored";
    ASSERT_TRUE(writeFile(root.filePath("a-file")));
    p.setString(Preferences::outputDirKey, root.filePath("a-file"));
    EXPECT_EQ(AppModel::restoreOutputDir(p), def) << "a file is not a folder";
}

TEST_F(FolderTest, AnUnwritableFolderFailsSilentlyAndKeepsTheState)
{
    // A plain file where the output folder should be: nothing can be created or written.
    ASSERT_TRUE(writeFile(outputFolder()));
    AppModel& m = makeModel();
    m.addRegion(QRectF(0, 0, 1, 1));
    m.saveSession();
    m.setHistory({record("scan_0001")});
    m.saveHistory();
    EXPECT_EQ(m.regions().size(), 1u);
    EXPECT_EQ(m.history().size(), 1u);
}
