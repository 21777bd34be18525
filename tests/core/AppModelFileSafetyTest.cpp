// Scans into hostile or unlucky folders: a full disk, planted links, a saturated numbering,
// and a second model in the same folder.

#include "ScanFixture.h"
#include "model/StateFiles.h"
#include "support/Files.h"
#include "support/FullDisk.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

class FileSafetyTest : public ScanTest {
protected:
    // Every entry of a folder with its size, time and link target: any change shows.
    static QStringList snapshot(const QString& folder)
    {
        QStringList entries;
        for (const QFileInfo& i : QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                             QDir::NoDotAndDotDot, QDir::Name))
            entries << QStringLiteral("%1 %2 %3 %4").arg(i.fileName()).arg(i.size()).arg(i.lastModified().toMSecsSinceEpoch()).arg(i.symLinkTarget());
        return entries;
    }

    void scanTwoFronts(AppModel& m)
    {
        m.setRegions({print(QRectF(1, 1, 2, 3)), print(QRectF(5, 6, 2, 3))});
        runToEnd(m.scanSelected());
    }
};

}  // namespace

TEST_F(FileSafetyTest, AFullDiskSavesNothingAndSaysSo)
{
    FullDisk disk(outputFolder());
    if (!disk.mounted()) GTEST_SKIP() << "no tmpfs mount here (the file-level test covers a file-size limit)";
    AppModel& m = readyModel();
    runToEnd(m.preview());
    scanTwoFronts(m);
    ASSERT_EQ(m.history().size(), 2u);
    const QByteArray history = readFile(out(StateFiles::historyName));
    const QByteArray first = readFile(out("scan_0001.jpg"));
    ASSERT_TRUE(disk.fill());

    scanTwoFronts(m);
    EXPECT_TRUE(m.status().startsWith("⚠️ Saved 0 of 2 file(s) → " + outputFolder() + " — couldn't save "))
        << m.status().toStdString();
    EXPECT_TRUE(m.lastSaved().empty());
    EXPECT_EQ(readFile(out(StateFiles::historyName)), history);
    EXPECT_EQ(readFile(out("scan_0001.jpg")), first);
    EXPECT_FALSE(QFileInfo::exists(out("scan_0003.jpg")));
    EXPECT_TRUE(QDir(outputFolder()).entryList({".bivara-tmp-*"}, QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(FileSafetyTest, StateFilesThatCouldNotBeWrittenAreNamed)
{
    AppModel& m = readyModel();
    runToEnd(m.preview());
    // A folder in the place of a file: nothing can be renamed over it.
    for (const char* name : {StateFiles::historyName, StateFiles::prevBedName})
        ASSERT_TRUE(QDir(outputFolder()).mkpath(QString(name) + "/keep"));
    scanTwoFronts(m);
    EXPECT_EQ(m.status(), "⚠️ Saved 2 file(s) → " + outputFolder() + " — couldn't save .bivara-history.json, .bivara-prev.json");
}

TEST_F(FileSafetyTest, PlantedLinksAreReplacedNeverFollowed)
{
    const QDir outside(root.filePath("outside"));
    QDir().mkpath(outside.path());
    QDir().mkpath(outputFolder());
    const QImage picture(40, 30, QImage::Format_RGB32);
    ASSERT_TRUE(picture.save(outside.filePath("picture.png")));
    const std::vector<std::pair<QString, QByteArray>> planted = {
        {StateFiles::historyName, "precious: not a history"},
        {StateFiles::sessionName, "[]"},
        {StateFiles::prevImageName, readFile(outside.filePath("picture.png"))},
        {StateFiles::prevBedName, R"({"w":1,"h":1})"},
        {"x_b.jpg", "precious back"},
        {"scan_0001.jpg", "precious front"},
    };
    for (const auto& [name, bytes] : planted) {
        ASSERT_TRUE(writeFile(outside.filePath("target-" + name), bytes));
        ASSERT_TRUE(QFile::link(outside.filePath("target-" + name), out(name)));
    }

    AppModel& m = readyModel();
    EXPECT_TRUE(m.history().empty());
    EXPECT_TRUE(m.prevOverview().isNull()) << "not read through a link that leaves the folder";
    EXPECT_FALSE(m.prevBedSize().has_value());
    runToEnd(m.preview());
    m.setRegions({print(QRectF(1, 1, 2, 3)), print(QRectF(5, 6, 2, 3), BackTarget::history("x"))});
    runToEnd(m.scanSelected());

    EXPECT_EQ(m.status(), "✅ Saved 2 file(s) · 1 back → " + outputFolder());
    EXPECT_EQ(m.lastSaved(), (std::vector<QString>{out("scan_0002.jpg"), out("x_b.jpg")}));
    for (const auto& [name, bytes] : planted) {
        EXPECT_EQ(readFile(outside.filePath("target-" + name)), bytes) << name.toStdString();
        EXPECT_EQ(QFileInfo(out(name)).isSymLink(), name == "scan_0001.jpg") << name.toStdString();
    }
    for (const QString& name : QDir(outputFolder()).entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks))
        EXPECT_FALSE(readFile(out(name)).contains("precious")) << name.toStdString();
}

TEST_F(FileSafetyTest, ASaturatedNumberingNeverOverwritesAFront)
{
    AppModel& m = readyModel();
    ASSERT_TRUE(writeFile(out("scan_9223372036854775806.jpg"), "kept"));
    runToEnd(m.preview());
    scanTwoFronts(m);
    ASSERT_TRUE(m.status().startsWith("✅ Saved 2 file(s)")) << m.status().toStdString();
    const std::vector<QString> saved = m.lastSaved();
    std::vector<QByteArray> bytes;
    for (const QString& file : saved) bytes.push_back(readFile(file));

    for (const QColor colour : {Qt::green, Qt::black}) {
        engine->bedImage.fill(colour);
        scanTwoFronts(m);
        EXPECT_TRUE(m.status().startsWith("⚠️ Saved 0 of 2 file(s)")) << m.status().toStdString();
        for (std::size_t i = 0; i < saved.size(); ++i) EXPECT_EQ(readFile(saved[i]), bytes[i]);
    }
    EXPECT_EQ(readFile(out("scan_9223372036854775806.jpg")), "kept");
}

TEST_F(FileSafetyTest, ASecondModelInTheFolderChangesNothingThere)
{
    AppModel& first = readyModel();
    runToEnd(first.preview());
    scanTwoFronts(first);
    spinUntil([] { return false; }, debounce * 5);  // the session's debounce

    const QStringList before = snapshot(outputFolder());
    std::unique_ptr<AppModel> holder = std::move(model);
    AppModel& second = makeModel([](ScriptedEngine& e) { e.bedImage = e.overviewImage = paintedBed(); });
    EXPECT_EQ(second.status(), AppModel::folderInUseText);
    announceScanner("test:2", "Second");
    spinUntil([&] { return second.info().has_value(); });
    runToEnd(second.preview());
    scanTwoFronts(second);
    spinUntil([] { return false; }, debounce * 5);  // the session's debounce
    EXPECT_EQ(second.status(), AppModel::folderInUseText);
    EXPECT_EQ(engine->scanCalls, 0);
    EXPECT_EQ(snapshot(outputFolder()), before);

    scanTwoFronts(first);  // the first works on after the second has read the folder
    holder.reset();  // the first one goes: the folder is free, and its history is read again
    scanTwoFronts(second);
    EXPECT_TRUE(second.status().startsWith("✅ Saved 2 file(s)")) << second.status().toStdString();
    EXPECT_EQ(second.history().size(), 6u);
}
