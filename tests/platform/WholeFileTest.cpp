// Files written whole or not at all, on a real full disk, and never through a planted link.

#include "platform/files/WholeFile.h"
#include "support/FullDisk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray contents(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList leftovers(const QString& folder)
{
    return QDir(folder).entryList({QString::fromLatin1(WholeFile::tempPrefix) + "*"}, QDir::Files | QDir::Hidden);
}

}  // namespace

TEST(WholeFile, AFullDiskLeavesTheOldFileWholeAndReportsFailure)
{
    // Under 16 KB, which a buffered writer holds back until it closes, and well over it.
    for (const qsizetype size : {qsizetype(4000), qsizetype(1 << 20)}) {
        QTemporaryDir root;
        const QString folder = root.filePath("disk");
        FullDisk disk(folder);
        const QString file = QDir(folder).filePath(".bivara-history.json");
        const QByteArray old(300, 'o');
        ASSERT_TRUE(WholeFile::write(file, old));
        if (!disk.fill()) GTEST_SKIP() << "neither a tmpfs mount nor a file-size limit is available here";

        EXPECT_FALSE(WholeFile::write(file, QByteArray(size, 'n'))) << size;
        EXPECT_EQ(contents(file), old) << size;
        EXPECT_FALSE(WholeFile::write(QDir(folder).filePath("new.jpg"), QByteArray(size, 'n'), WholeFile::Replace::never));
        EXPECT_FALSE(QFileInfo::exists(QDir(folder).filePath("new.jpg")));
        EXPECT_TRUE(leftovers(folder).isEmpty()) << size;
    }
}

TEST(WholeFile, NeverWritesThroughALinkAndNeverReplacesWhenTold)
{
    QTemporaryDir root;
    const QString folder = root.filePath("out");
    QDir().mkpath(folder);
    const QString outside = root.filePath("outside.txt");
    ASSERT_TRUE(WholeFile::write(outside, "precious"));
    const QDir out(folder);

    // A link to a file outside is replaced by the file itself.
    ASSERT_TRUE(QFile::link(outside, out.filePath("state.json")));
    EXPECT_TRUE(WholeFile::write(out.filePath("state.json"), "new"));
    EXPECT_FALSE(QFileInfo(out.filePath("state.json")).isSymLink());
    EXPECT_EQ(contents(out.filePath("state.json")), "new");
    EXPECT_EQ(contents(outside), "precious");

    // Without replacing: a file, a link, a dangling link and a folder of that name all stay.
    ASSERT_TRUE(WholeFile::write(out.filePath("file.jpg"), "first"));
    ASSERT_TRUE(QFile::link(outside, out.filePath("link.jpg")));
    ASSERT_TRUE(QFile::link(root.filePath("nowhere"), out.filePath("dangling.jpg")));
    ASSERT_TRUE(out.mkdir("folder.jpg"));
    for (const char* name : {"file.jpg", "link.jpg", "dangling.jpg", "folder.jpg"}) {
        WholeFile::Writer writer(out.filePath(name), WholeFile::Replace::never);
        EXPECT_TRUE(writer.write("second"));
        EXPECT_FALSE(writer.commit()) << name;
        EXPECT_TRUE(writer.nameTaken()) << name;
    }
    EXPECT_EQ(contents(out.filePath("file.jpg")), "first");
    EXPECT_EQ(contents(outside), "precious");
    EXPECT_FALSE(QFileInfo::exists(root.filePath("nowhere")));
    EXPECT_TRUE(WholeFile::write(out.filePath("free.jpg"), "x", WholeFile::Replace::never));
    EXPECT_TRUE(leftovers(folder).isEmpty());
}

TEST(WholeFile, LeftoversOfInterruptedWritesAreRemoved)
{
    QTemporaryDir root;
    const QDir out(root.path());
    QFile(out.filePath(QString::fromLatin1(WholeFile::tempPrefix) + "abc")).open(QIODevice::WriteOnly);
    QFile(out.filePath("scan_0001.jpg")).open(QIODevice::WriteOnly);
    WholeFile::removeLeftovers(root.path());
    EXPECT_EQ(out.entryList(QDir::Files | QDir::Hidden), QStringList{"scan_0001.jpg"});
}
