// The command-line tools, run as a user would run them.

#include "support/BedPainter.h"
#include "support/Files.h"
#include "support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QLockFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace {

struct ToolRun {
    int status = -1;
    QString out;
    QString err;
};

class ToolsTest : public ::testing::Test {
protected:
    QTemporaryDir root;

    // Only the virtual flatbed: SANE is given a configuration without backends.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString sane = root.filePath("sane");
        QDir().mkpath(sane);
        QFile(QDir(sane).filePath("dll.conf")).open(QIODevice::WriteOnly);
        env.insert("SANE_CONFIG_DIR", sane);
        env.insert("BIVARA_VIRTUAL_SCANNER", "1");
        env.insert("BIVARA_VIRTUAL_SPEED", "instant");
        env.remove("BIVARA_VIRTUAL_BED");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        // A temporary folder of the test's own, where the runs' scratch folders can be seen.
        QDir().mkpath(root.filePath("tmp"));
        env.insert("TMPDIR", root.filePath("tmp"));
        return env;
    }

    ToolRun run(const char* program, const QStringList& args) const
    {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(QString::fromUtf8(program), args);
        EXPECT_TRUE(p.waitForFinished(120000)) << program;
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    static QStringList savedFiles(const ToolRun& r)
    {
        QStringList files;
        for (const QString& line : r.out.split('\n'))
            if (line.endsWith(".jpg")) files << QFileInfo(line).completeBaseName();
        return files;
    }
};

}  // namespace

TEST_F(ToolsTest, BatchScansFrontsThenTheirBacksAcrossRestarts)
{
    const QString out = root.filePath("out");
    const ToolRun fronts = run(BIVARA_BATCH, {"--out", out, "--dpi", "100"});
    ASSERT_EQ(fronts.status, 0) << fronts.out.toStdString() << fronts.err.toStdString();
    EXPECT_TRUE(fronts.out.contains("Scanning preview…"));
    EXPECT_TRUE(fronts.out.contains("✅ Saved"));
    QStringList expected = savedFiles(fronts);
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(expected.first(), "scan_0001");

    // A new process pairs each back with the front that lay there, from the folder's history.
    const ToolRun backs = run(BIVARA_BATCH, {"--out", out, "--dpi", "100", "--whole-backs", "--suffix", "-back"});
    ASSERT_EQ(backs.status, 0) << backs.out.toStdString() << backs.err.toStdString();
    for (QString& s : expected) s += "-back";
    QStringList backStems = savedFiles(backs);
    backStems.sort();
    expected.sort();
    EXPECT_EQ(backStems, expected);
}

TEST_F(ToolsTest, BatchRefusesBadArgumentsAndReportsFailures)
{
    EXPECT_EQ(run(BIVARA_BATCH, {}).status, 2);
    EXPECT_EQ(run(BIVARA_BATCH, {"--help"}).status, 0);
    EXPECT_EQ(run(BIVARA_BATCH, {"--out", root.filePath("o"), "--color", "sepia"}).status, 2);
    EXPECT_EQ(run(BIVARA_BATCH, {"--out", root.filePath("o"), "--backs", "--whole-backs"}).status, 2);
    const ToolRun missing = run(BIVARA_BATCH, {"--out", root.filePath("o"), "--scanner", "nothing:here"});
    EXPECT_EQ(missing.status, 1);
}

TEST_F(ToolsTest, DetectPrintsOneObjectPerImageFlagsUnreadableOnesAndRunsTheCoreAloneForComparison)
{
    // A white border a few levels off the lid: the core keeps only the picture.
    BedPainter::Scene scene;
    BedPainter::Print print = BedPainter::print({4.2, 5.0}, {5.0, 3.5}, 0.03, QColor(70, 90, 60), QColor(150, 140, 100));
    print.border = 0.25;
    print.borderColor = QColor(240, 239, 236);
    scene.prints.push_back(print);
    const QString bed = root.filePath("bed.png"), broken = root.filePath("broken.png");
    ASSERT_TRUE(BedPainter::paint(scene).save(bed));
    ASSERT_TRUE(writeFile(broken, "not an image"));

    const ToolRun r = run(BIVARA_DETECT, {bed, broken});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("broken.png"));
    const QJsonArray results = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(results.size(), 2);
    const QJsonObject first = results[0].toObject();
    EXPECT_EQ(first["image"].toString(), bed);
    EXPECT_TRUE(first["ms"].isDouble());
    const QJsonArray regions = first["regions"].toArray();
    ASSERT_EQ(regions.size(), 1);
    EXPECT_NEAR(regions[0].toObject()["center"].toArray()[0].toDouble(), 4.2, 0.05);
    EXPECT_NEAR(regions[0].toObject()["size"].toArray()[0].toDouble(), 5.08, 0.06);
    EXPECT_EQ(regions[0].toObject()["name"].toString(), "Photo");

    const ToolRun core = run(BIVARA_DETECT, {"--core", bed});
    EXPECT_EQ(core.status, 0) << qPrintable(core.err);
    const QJsonArray coreRegions = QJsonDocument::fromJson(core.out.toUtf8()).array()[0].toObject()["regions"].toArray();
    ASSERT_EQ(coreRegions.size(), 1);
    EXPECT_LT(coreRegions[0].toObject()["size"].toArray()[0].toDouble(), 4.8);
    EXPECT_EQ(run(BIVARA_DETECT, {"--bed", "wide", bed}).status, 2);
    EXPECT_EQ(run(BIVARA_DETECT, {"--version"}).status, 0);
}

namespace {

QStringList listing(const QString& folder, const QStringList& patterns = {})
{
    QStringList entries;
    for (const QFileInfo& i : QDir(folder).entryInfoList(patterns, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                                         QDir::Name))
        entries << i.fileName() + " " + QString::number(i.size()) + " " +
                       QString::number(i.lastModified().toMSecsSinceEpoch());
    return entries;
}

bool eventually(const std::function<bool()>& done)
{
    for (int i = 0; i < 3000 && !done(); ++i) QThread::msleep(10);
    return done();
}

}  // namespace

TEST_F(ToolsTest, OneProcessAtATimeWorksInAFolderAndAKilledOneLeavesNothingInTheWay)
{
    const QString out = root.filePath("out");
    const QString lock = QDir(out).filePath(".bivara.lock");
    const QString inUse = "Another Bivara Scanner is using this folder.";
    QDir().mkpath(out);
    QFile(QDir(out).filePath("scan_0001.jpg")).open(QIODevice::WriteOnly);

    // This test process holds the folder: a run refuses before the scanner is used, and
    // changes nothing there.
    {
        QLockFile held(lock);
        ASSERT_TRUE(held.tryLock(0));
        const QStringList before = listing(out);
        const ToolRun refused = run(BIVARA_BATCH, {"--out", out});
        EXPECT_EQ(refused.status, 1);
        EXPECT_TRUE(refused.out.contains(inUse)) << refused.out.toStdString();
        EXPECT_FALSE(refused.out.contains("Scanning preview…"));
        EXPECT_EQ(listing(out), before);
    }

    QProcessEnvironment paced = environment();
    paced.remove("BIVARA_VIRTUAL_SPEED");

    // A run killed mid-scan leaves its lock and scratch folder; the next run takes over both.
    QProcess killed;
    killed.setProcessEnvironment(paced);
    killed.start(QString::fromUtf8(BIVARA_BATCH), {"--out", out, "--dpi", "100"});
    ASSERT_TRUE(eventually([&] {
        return QFileInfo::exists(lock) && !listing(root.filePath("tmp"), {"bivara-scratch-*"}).isEmpty();
    }));
    ::kill(pid_t(killed.processId()), SIGKILL);
    killed.waitForFinished();
    ASSERT_TRUE(QFileInfo::exists(lock));
    const ToolRun next = run(BIVARA_BATCH, {"--out", out, "--dpi", "100"});
    EXPECT_EQ(next.status, 0) << next.out.toStdString();
    EXPECT_EQ(listing(root.filePath("tmp"), {"bivara-*"}), QStringList()) << "no scratch is left behind";
}
