// Locks between processes: a live holder keeps its lock, a killed one's lock is taken over,
// even when it was killed before it could write its pid, or its pid names a live process.

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
    QFile heldFile(path);
    ASSERT_TRUE(heldFile.open(QIODevice::ReadOnly));
    const QByteArray namesThisProcess = heldFile.readAll();
    heldFile.close();
    held->unlock();

    // Left by a killed process: an empty file (killed before it wrote its pid), and a file
    // naming a pid that a live process now has (this one, under our own name).
    for (const QByteArray& left : {QByteArray(), namesThisProcess}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(left);
        file.flush();
        EXPECT_FALSE(LockFile::take(*second)) << "it may be being written right now";
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-5), QFileDevice::FileModificationTime));
        file.close();
        EXPECT_TRUE(LockFile::take(*second)) << "nobody holds it, and it is no longer new: " << left.toStdString();
        second->unlock();
    }
}
