// Locks between processes: a live holder keeps its lock, a killed one's lock is taken over,
// even when it was killed before it could write its pid.

#include "platform/files/LockFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(LockFile, OnlyALockNobodyHoldsIsTakenOver)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(".bivara.lock");

    const auto held = LockFile::make(path);
    ASSERT_TRUE(LockFile::take(*held));
    const auto second = LockFile::make(path);
    EXPECT_FALSE(LockFile::take(*second));
    EXPECT_EQ(second->error(), QLockFile::LockFailedError);
    held->unlock();

    // Killed between creating the file and writing its pid: an empty file.
    QFile empty(path);
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    EXPECT_FALSE(LockFile::take(*second)) << "it may be being written right now";
    ASSERT_TRUE(empty.setFileTime(QDateTime::currentDateTime().addSecs(-5), QFileDevice::FileModificationTime));
    empty.close();
    EXPECT_TRUE(LockFile::take(*second)) << "a lock file that names nobody, and is no longer new";
}
