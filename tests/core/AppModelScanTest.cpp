#include "analysis/ImageUtil.h"
#include "model/StateFiles.h"
#include "ScanFixture.h"
#include "support/Make.h"

#include <QDir>
#include <QFileInfo>

namespace {

QColor centerColor(const QString& file)
{
    const QImage image = ImageUtil::loadCGImage(file);
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

}  // namespace

TEST_F(ScanTest, FrontsAreSavedStraightAndRememberedAndBacksFollowThem)
{
    AppModel& m = readyModel();
    runToEnd(m.preview());
    m.setRegions({print(QRectF(1, 1, 2, 3)), print(QRectF(5, 6, 2, 3))});
    std::vector<QString> statuses;
    QObject::connect(&m, &AppModel::changed, &m, [&](AppModel::Property p) {
        if (p == AppModel::Property::status) statuses.push_back(m.status());
    });
    runToEnd(m.scanSelected());

    EXPECT_EQ(statuses.front(), "Scanning 6.0×8.0in once @100dpi, cropping 2…");
    EXPECT_EQ(m.status(), "✅ Saved 2 file(s) → " + outputFolder());
    EXPECT_FALSE(m.busy() || m.scannerBusy());
    EXPECT_EQ(engine->lastScanRect, QRectF(1, 1, 6, 8));
    EXPECT_EQ(engine->lastSettings, (ScanSettings{100, ColorMode::color, 8}));
    EXPECT_EQ(m.lastSaved(), (std::vector<QString>{out("scan_0001.jpg"), out("scan_0002.jpg")}));
    EXPECT_EQ(ImageUtil::loadCGImage(out("scan_0001.jpg")).size(), QSize(200, 300));
    const QColor red = centerColor(out("scan_0001.jpg"));
    EXPECT_GT(red.red(), 170);
    EXPECT_LT(red.blue(), 70);
    EXPECT_GT(centerColor(out("scan_0002.jpg")).blue(), 170);

    ASSERT_EQ(m.history().size(), 2u);
    EXPECT_EQ(m.history()[0].base, "scan_0001");
    EXPECT_EQ(m.history()[0].session, 1);
    EXPECT_EQ(m.regions()[1].frontBase, "scan_0002");
    EXPECT_EQ(StateFiles::readHistory(outputFolder())->size(), 2u);
    EXPECT_EQ(StateFiles::readPrevBedSize(outputFolder()), QSizeF(8.5, 11.7));
    EXPECT_FALSE(StateFiles::readPrevImage(outputFolder()).isNull());
    EXPECT_EQ(StateFiles::readSession(outputFolder())->at(0).frontBase, "scan_0001");
    EXPECT_TRUE(engine->lastScanFile.endsWith("/bivara-master.png"));
    EXPECT_FALSE(QFileInfo::exists(engine->lastScanFile)) << "the master is removed once read";

    // Two backs of one front: neither overwrites the other, and the history is left alone.
    const auto history = m.history();
    const qint64 prev = m.prevOverview().cacheKey();
    m.setRegions({print(QRectF(1.1, 1, 2, 3), BackTarget::history("scan_0001")),
                  print(QRectF(5, 6, 2, 3), BackTarget::history("scan_0001"))});
    runToEnd(m.scanSelected());
    EXPECT_EQ(m.lastSaved(), (std::vector<QString>{out("scan_0001_b.jpg"), out("scan_0001_b-2.jpg")}));
    EXPECT_EQ(m.status(), "✅ Saved 2 file(s) · 2 back → " + outputFolder());
    EXPECT_EQ(m.history(), history);
    EXPECT_EQ(m.prevOverview().cacheKey(), prev);
}

TEST_F(ScanTest, RefusalsAndFailuresSayWhyAndWriteNothingTheyShouldNot)
{
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::vector<ScanRegion> regions;
        QString status;
        int scans;
        std::vector<QString> saved;
    };
    const ScanRegion front = print(QRectF(1, 1, 2, 3));
    const Case cases[] = {
        {"nothing to scan", {}, {}, "Draw or auto-detect at least one region.", 0, {}},
        {"off the bed", {}, {print(QRectF(20, 30, 2, 2))}, "Regions are off the bed.", 0, {}},
        {"engine failure", [this] { engine->scanFailure = ScanFailure::service("Error during device I/O"); },
         {front}, "Scan failed: Error during device I/O", 1, {}},
        {"unreadable master", [this] { engine->masterOverride = "this is not an image"; }, {front},
         "Couldn't load master scan.", 1, {}},
        {"a back that cannot be written", [this] { QDir().mkpath(out("scan_0009_b.jpg")); },
         {front, print(QRectF(5, 6, 2, 3), BackTarget::history("scan_0009"))},
         "⚠️ Saved 1 of 2 file(s) · 1 back → ", 1, {"scan_0001.jpg"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AppModel& m = readyModel();
        if (c.arrange) c.arrange();
        m.setRegions(c.regions);
        runToEnd(m.scanSelected());
        EXPECT_TRUE(m.status().startsWith(c.status)) << m.status().toStdString();
        EXPECT_FALSE(m.busy() || m.scannerBusy());
        EXPECT_EQ(engine->scanCalls, c.scans);
        std::vector<QString> saved;
        for (const QString& name : c.saved) saved.push_back(out(name));
        EXPECT_EQ(m.lastSaved(), saved);
        EXPECT_EQ(m.history().size(), c.saved.size());
        EXPECT_EQ(QDir(outputFolder()).entryList({"*.jpg"}, QDir::Files).size(), qsizetype(c.saved.size()));
        model.reset();
        QDir(outputFolder()).removeRecursively();
    }
}

TEST_F(ScanTest, TheScanAreaIsClippedToTheBedAndARescanKeepsOneRecordPerBase)
{
    AppModel& m = readyModel();
    m.setRegions({print(QRectF(-1, 10, 3, 3))});
    runToEnd(m.scanSelected());
    EXPECT_EQ(engine->lastScanRect, QRectF(0, 10, 2, 1.7));
    ASSERT_EQ(m.lastSaved().size(), 1u);
    EXPECT_EQ(ImageUtil::loadCGImage(m.lastSaved()[0]).size(), QSize(300, 300)) << "the crop keeps its full size";

    // Rescanning keeps one record per base and numbers new batches.
    QFile::remove(out("scan_0001.jpg"));
    runToEnd(m.scanSelected());
    ASSERT_EQ(m.history().size(), 1u) << "the newest record of a base replaces the older";
    EXPECT_EQ(m.history()[0].session, 2);
    runToEnd(m.scanSelected());
    EXPECT_EQ(m.lastSaved(), (std::vector<QString>{out("scan_0002.jpg")}));
    EXPECT_EQ(engine->lastScanRect, QRectF(0, 10, 2, 1.7)) << "the same region, the same area";
    EXPECT_EQ(m.history().size(), 2u);
}

TEST_F(ScanTest, RecentHistoryListsTheNewestExistingFiles)
{
    AppModel& m = readyModel();
    QDir().mkpath(outputFolder());
    std::vector<ScanRecord> history;
    for (int i = 1; i <= 30; ++i) {
        history.push_back(makeRecord(AppModel::numberedStem("scan", i), 1000 + i));
        ImageUtil::saveJPEG(QImage(4, 4, QImage::Format_RGB32), out(history.back().base + ".jpg"), 0.9, 72);
    }
    history.push_back(makeRecord("..", 5000));
    m.setHistory(history);

    auto recent = m.recentHistory({});
    ASSERT_EQ(recent.size(), 24u);
    EXPECT_EQ(recent.front(), out("scan_0030.jpg"));
    EXPECT_EQ(recent.back(), out("scan_0007.jpg"));
    QFile::remove(out("scan_0029.jpg"));
    recent = m.recentHistory({out("scan_0030.jpg"), "/elsewhere/scan_0028.png"}, 3);
    EXPECT_EQ(recent, (std::vector<QString>{out("scan_0027.jpg"), out("scan_0026.jpg"), out("scan_0025.jpg")}));
}
