// Scratch folders in the temporary folder: ours is kept, those of gone processes are removed.

#include "platform/files/ScratchFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <unistd.h>

TEST(ScratchFolder, OnlyFoldersNoLiveProcessHoldsAreRemoved)
{
    const QString own = ScratchFolder::path();
    const QDir temp(QFileInfo(own).absolutePath());
    ASSERT_TRUE(QFileInfo(own).isDir());
    ASSERT_TRUE(QFileInfo(own).fileName().startsWith(ScratchFolder::prefix));

    QProcess gone;  // a process that has ended: its pid names nobody now
    gone.start("sleep", {"0.05"});
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 pid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished());
    const QString dead = QString(ScratchFolder::prefix) + QString::number(pid) + "-abcdef";
    const QString alive = QString(ScratchFolder::prefix) + QString::number(::getpid()) + "-ghijkl";
    for (const QString& name : {dead, alive}) {
        ASSERT_TRUE(temp.mkpath(name));
        QFile(temp.filePath(name + "/bivara-master.png")).open(QIODevice::WriteOnly);
    }

    EXPECT_EQ(ScratchFolder::removeAbandoned(temp.path()), 1);
    EXPECT_FALSE(temp.exists(dead));
    EXPECT_TRUE(temp.exists(alive)) << "its process may be about to take it";
    EXPECT_TRUE(QFileInfo(own).isDir()) << "held by this process";
    QDir(temp.filePath(alive)).removeRecursively();
}
