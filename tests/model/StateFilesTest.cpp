#include "model/FileNames.h"
#include "model/RecordJson.h"
#include "model/StateFiles.h"
#include "analysis/ImageUtil.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "platform/files/PngRowWriter.h"
#include "support/Files.h"
#include "support/FullDisk.h"
#include "support/Make.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

ScanRecord record(const QString& base, std::int64_t session) { return makeRecord(base, 800000000.5, {1, 2}, {6, 4}, session); }
void writeAll(const QString& file, const QByteArray& bytes) { ASSERT_TRUE(writeFile(file, bytes)); }

class StateFilesTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString folder() const { return dir.path(); }
    QString file(const char* name) const { return StateFiles::path(folder(), name); }
};

}  // namespace

TEST_F(StateFilesTest, MissingFilesReadAsNothingAndWrittenOnesRoundTrip)
{
    EXPECT_FALSE(StateFiles::readHistory(folder()));
    EXPECT_FALSE(StateFiles::readSession(folder()));
    EXPECT_TRUE(StateFiles::readPrevImage(folder()).isNull());
    EXPECT_FALSE(StateFiles::readPrevBedSize(folder()));

    const std::vector<ScanRecord> history{record("scan_0001", 1), record("scan_0002", 1)};
    ASSERT_TRUE(StateFiles::writeHistory(folder(), history));
    EXPECT_EQ(StateFiles::readHistory(folder()), history);
    const ScanRegion region = makeRegion({}, {2, 3}, BackTarget::automatic(), "Region 1");
    ASSERT_TRUE(StateFiles::writeSession(folder(), {region}));
    EXPECT_EQ(StateFiles::readSession(folder()), std::vector<ScanRegion>{region});
    QImage picture(64, 88, QImage::Format_RGB32);
    picture.fill(QColor(200, 120, 40));
    ASSERT_TRUE(StateFiles::writePrevImage(folder(), picture) && StateFiles::writePrevBedSize(folder(), QSizeF(8.5, 11.7)));
    EXPECT_EQ(StateFiles::readPrevImage(folder()).size(), picture.size());
    EXPECT_EQ(StateFiles::readPrevBedSize(folder()), QSizeF(8.5, 11.7));
    EXPECT_FALSE(readFile(file(StateFiles::prevBedName)).contains('\n')) << "the bed file is compact";
}

TEST_F(StateFilesTest, UndecodableFilesReadAsNothing)
{
    writeAll(file(StateFiles::historyName), R"([{"id": "E621E1F8-C36C-495A-93FC-0C247A3E6E5F", "base": "scan_0001",
        "center": [1, 2], "size": [3, 4], "angle": 0, "date": 1})");
    EXPECT_FALSE(StateFiles::readHistory(folder())) << "a record without a session";
    writeAll(file(StateFiles::sessionName), "[{");
    EXPECT_FALSE(StateFiles::readSession(folder()));
    const std::pair<const char*, std::optional<QSizeF>> beds[] = {
        {R"({"w": 8.5})", std::nullopt}, {R"({"h": 11.7, "w": 8.5, "dpi": 75})", QSizeF(8.5, 11.7)} /* other keys are ignored */,
        {R"({"h": 11.7, "w": 0})", std::nullopt}, {"not json", std::nullopt}};
    for (const auto& [json, size] : beds) {
        writeAll(file(StateFiles::prevBedName), json);
        EXPECT_EQ(StateFiles::readPrevBedSize(folder()), size) << json;
    }
}

TEST_F(StateFilesTest, LegacyFilesMoveToTheCurrentNamesUnlessTheseExist)
{
    const QDir d(folder());
    for (const char* name : {"harlune-history.json", "harlune-session.json", "harlune-prev.png", "harlune-prev.json"})
        ASSERT_TRUE(writeFile(d.filePath(QString(".") + name), QByteArray("legacy ") + name));
    ASSERT_TRUE(writeFile(d.filePath(".bivara-session.json"), "current session"));

    StateFiles::migrateLegacyDotfiles(folder());

    EXPECT_EQ(readFile(d.filePath(".bivara-history.json")), "legacy harlune-history.json");
    EXPECT_EQ(readFile(d.filePath(".bivara-prev.png")), "legacy harlune-prev.png");
    EXPECT_EQ(readFile(d.filePath(".bivara-prev.json")), "legacy harlune-prev.json");
    EXPECT_FALSE(d.exists(".harlune-history.json"));
    EXPECT_EQ(readFile(d.filePath(".bivara-session.json")), "current session") << "never overwritten";
    EXPECT_EQ(readFile(d.filePath(".harlune-session.json")), "legacy harlune-session.json") << "stays where it is";
}

TEST_F(StateFilesTest, AFullDiskLeavesEveryStateFileWhole)
{
    const QString disk = dir.filePath("disk");
    FullDisk full(disk);
    std::vector<ScanRecord> fifteen;
    for (int i = 0; i < 15; ++i) fifteen.push_back(record(QString("scan_%1").arg(i), 1));
    ASSERT_TRUE(StateFiles::writeHistory(disk, fifteen));
    ASSERT_TRUE(StateFiles::writePrevImage(disk, QImage(8, 8, QImage::Format_RGB32)));
    const QByteArray history = readFile(StateFiles::path(disk, StateFiles::historyName));
    const QByteArray image = readFile(StateFiles::path(disk, StateFiles::prevImageName));
    if (!full.fill()) GTEST_SKIP() << "neither a tmpfs mount nor a file-size limit is available here";

    QImage noise(600, 600, QImage::Format_RGB32);  // a PNG of about a megabyte
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, qRgb(x * 7 ^ y * 13, x * y, x + y * 3));
    fifteen.push_back(record("scan_15", 2));
    EXPECT_FALSE(StateFiles::writeHistory(disk, fifteen));
    EXPECT_FALSE(StateFiles::writePrevImage(disk, noise));
    EXPECT_EQ(readFile(StateFiles::path(disk, StateFiles::historyName)), history);
    EXPECT_EQ(readFile(StateFiles::path(disk, StateFiles::prevImageName)), image);
    EXPECT_TRUE(QDir(disk).entryList({".bivara-tmp-*"}, QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(StateFilesTest, AWriteIntoAReadOnlyFolderFailsAndKeepsTheOldFile)
{
    ASSERT_TRUE(StateFiles::writeSession(folder(), {}));
    const QByteArray before = readFile(file(StateFiles::sessionName));
    QFile::setPermissions(folder(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    const auto attempt = [&] { return StateFiles::writeSession(folder(), {makeRegion({}, {}, {}, "Region 1")}); };

    if (geteuid() != 0) {
        EXPECT_FALSE(attempt());
    } else {
        // Permissions do not bind root: try as an unprivileged user in a child process.
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
            _exit(attempt() ? 1 : 0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the write went through, 3: could not drop privileges";
    }
    QFile::setPermissions(folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(readFile(file(StateFiles::sessionName)), before);
}

TEST_F(StateFilesTest, AnUndecodableFileIsKeptBeforeItIsFirstOverwritten)
{
    writeAll(file(StateFiles::historyName), "[{\"truncated");
    ASSERT_TRUE(StateFiles::writeHistory(folder(), {record("scan_0001", 1)}));
    EXPECT_EQ(readFile(file(StateFiles::historyName) + ".bad"), "[{\"truncated");
    EXPECT_TRUE(StateFiles::readHistory(folder()));

    // Later saves over a good file leave the kept copy alone; a newer undecodable file replaces it.
    ASSERT_TRUE(StateFiles::writeHistory(folder(), {record("scan_0002", 1)}));
    EXPECT_EQ(readFile(file(StateFiles::historyName) + ".bad"), "[{\"truncated");
    writeAll(file(StateFiles::historyName), "garbage 2");
    ASSERT_TRUE(StateFiles::writeHistory(folder(), {}));
    EXPECT_EQ(readFile(file(StateFiles::historyName) + ".bad"), "garbage 2");

    writeAll(file(StateFiles::sessionName), "{}");
    ASSERT_TRUE(StateFiles::writeSession(folder(), {}));
    EXPECT_EQ(readFile(file(StateFiles::sessionName) + ".bad"), "{}");

    // A file that cannot be kept (a folder is in the way) is not overwritten.
    writeAll(file(StateFiles::historyName), "garbage");
    QFile::remove(file(StateFiles::historyName) + ".bad");
    ASSERT_TRUE(QDir(folder()).mkdir(".bivara-history.json.bad"));
    EXPECT_FALSE(StateFiles::writeHistory(folder(), {record("scan_0001", 1)}));
    EXPECT_EQ(readFile(file(StateFiles::historyName)), "garbage");
}

TEST(SafeStem, StemsFromFilesStayInsideTheFolder)
{
    const std::pair<QString, std::optional<QString>> cases[] = {
        {"scan_0007", "scan_0007"}, {"../../etc/passwd", "..-..-etc-passwd"},
        {"a\\b:c*d?e\"f<g>h|i", "a-b-c-d-e-f-g-h-i"}, {"", std::nullopt}, {".", std::nullopt}, {"..", std::nullopt},
        {"...", "..."}, {QString::fromUtf16(u"a\0b\nc\x7f", 6), "a-b-c-"},
    };
    for (const auto& [in, stem] : cases) EXPECT_EQ(safeStem(in), stem) << in.toStdString();
    EXPECT_EQ(replaceForbiddenCharacters("_/b", ""), "_b");
}

namespace {

// The process's resident set in kilobytes: its peak since the last reset, or now.
long residentKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
    return -1;
}

}  // namespace

TEST_F(StateFilesTest, ADecompressionBombIsRefusedBeforeItIsDecoded)
{
    // 5500×5500 colour pixels in a few hundred kilobytes of PNG: 121 MB decoded, within Qt's own
    // allocation limit, so only the plausibility of an overview's size keeps it out.
    {
        PngRowWriter bomb;
        ASSERT_TRUE(bomb.open(file(StateFiles::prevImageName), 5500, 5500, 3, 8));
        const std::vector<unsigned char> row(5500 * 3, 0);
        for (int y = 0; y < 5500; ++y) ASSERT_TRUE(bomb.writeRow(row.data()));
        ASSERT_TRUE(bomb.finish());
    }
    // The peak is measured from here (Linux resets it on request); else from the start.
    { std::ofstream("/proc/self/clear_refs") << "5"; }
    const long before = residentKb("VmRSS:");
    EXPECT_TRUE(StateFiles::readPrevImage(folder()).isNull());
    EXPECT_TRUE(ImageUtil::thumbnail(file(StateFiles::prevImageName), 320).isNull());
    const long peak = residentKb("VmHWM:");
    ASSERT_GT(before, 0);
    EXPECT_LT(peak - before, 100 * 1024) << "kilobytes more at the peak";

    // An overview of a real bed is read.
    ASSERT_TRUE(StateFiles::writePrevImage(folder(), QImage(878, 1238, QImage::Format_RGB32)));
    EXPECT_EQ(StateFiles::readPrevImage(folder()).size(), QSize(878, 1238));
}
