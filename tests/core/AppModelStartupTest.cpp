#include "model/RecordJson.h"
#include "model/StateFiles.h"
#include "support/Files.h"
#include "support/Make.h"
#include "support/ModelFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>

namespace {

using StartupTest = ModelFixture;

}  // namespace

TEST_F(StartupTest, TheFolderStateIsReadAfterLegacyFilesAreMigratedAndNothingIsWrittenBack)
{
    QDir().mkpath(outputFolder());
    const QDir out(outputFolder());
    const auto record = [](const char* base) { return makeRecord(base, 0, {}, {6, 4}, 1); };
    ASSERT_TRUE(writeFile(out.filePath(".harlune-history.json"), *encodeRecords({record("scan_0001"), record("scan_0002")})));
    ASSERT_TRUE(writeFile(out.filePath(".harlune-session.json"), *encodeRegions({makeRegion({}, {4, 6}, {}, "Photo 1")})));
    QImage prev(40, 55, QImage::Format_RGB32);
    prev.fill(Qt::gray);
    ASSERT_TRUE(StateFiles::writePrevImage(outputFolder(), prev));
    ASSERT_TRUE(StateFiles::writePrevBedSize(outputFolder(), QSizeF(8.5, 11.7)));
    const QDateTime written = QFileInfo(out.filePath(".harlune-session.json")).lastModified();

    AppModel& m = makeModel();
    EXPECT_EQ(m.history().size(), 2u);
    ASSERT_EQ(m.regions().size(), 1u);
    EXPECT_EQ(m.regions()[0].name, "Photo 1");
    EXPECT_FALSE(m.selectedID());
    EXPECT_EQ(m.prevOverview().size(), QSize(40, 55));
    EXPECT_EQ(m.prevBedSize(), QSizeF(8.5, 11.7));
    const QString session = StateFiles::path(outputFolder(), StateFiles::sessionName);
    spinUntil([] { return false; }, debounce * 5);
    EXPECT_EQ(QFileInfo(session).lastModified(), written) << "loading writes nothing back";
    EXPECT_EQ(out.entryList(QDir::Hidden | QDir::Files, QDir::Name),
              QStringList({StateFiles::historyName, StateFiles::prevBedName, StateFiles::prevImageName,
                           StateFiles::sessionName, StateFiles::lockName}));
}

TEST_F(StartupTest, CorruptOrEmptyStateFallsBackSilentlyToTheDefaults)
{
    QDir().mkpath(outputFolder());
    ASSERT_TRUE(writeFile(StateFiles::path(outputFolder(), StateFiles::historyName), "[{]"));
    ASSERT_TRUE(writeFile(StateFiles::path(outputFolder(), StateFiles::sessionName), "not json"));
    prefs->setString(Preferences::baseNameKey, "");
    AppModel& m = makeModel();
    EXPECT_TRUE(m.history().empty());
    EXPECT_TRUE(m.regions().empty());
    EXPECT_EQ(m.baseName(), "scan") << "an empty stored base name is ignored";
    EXPECT_EQ(m.status(), "Searching for scanner…");
    EXPECT_EQ(std::tuple(m.dpi(), m.backSuffix(), m.drawSide()), std::tuple(600, QString("_b"), DrawSide::front));
    EXPECT_TRUE(m.idleAtRest());
}

TEST_F(StartupTest, ChangesAreSavedOnceAfterAQuietSpellAndSignalled)
{
    AppModel& m = makeModel();
    QSignalSpy spy(&m, &AppModel::changed);
    const QString session = StateFiles::path(outputFolder(), StateFiles::sessionName);
    m.addRegion(QRectF(0, 0, 1, 1));
    m.addRegion(QRectF(1, 1, 1, 1));
    for (const char* name : {"t", "tr", "trip"}) m.setBaseName(name);
    EXPECT_FALSE(QFileInfo::exists(session)) << "nothing is written before the quiet spell";
    EXPECT_FALSE(prefs->string(Preferences::baseNameKey));
    ASSERT_TRUE(spinUntil([&] { return QFileInfo::exists(session) && prefs->string(Preferences::baseNameKey); }));
    EXPECT_EQ(StateFiles::readSession(outputFolder())->size(), 2u);
    EXPECT_EQ(prefs->string(Preferences::baseNameKey), "trip");
    ASSERT_GE(spy.size(), 3);
    EXPECT_EQ(spy[0][0].value<AppModel::Property>(), AppModel::Property::regions);
    EXPECT_EQ(spy[2][0].value<AppModel::Property>(), AppModel::Property::baseName);
}
