#include "platform/files/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace WholeFile {

namespace {

QByteArray encoded(const QString& path) { return QFile::encodeName(path); }

// The folder's entries reach the disk along with the file's contents.
void syncFolder(const QString& folder)
{
    const int fd = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Gives `temp` the name `target` without replacing anything there. The kernel's no-replace
// rename where the file system has it, else a hard link (which also refuses an existing
// name); never a plain rename, which would replace.
bool renameWithoutReplacing(const QByteArray& temp, const QByteArray& target, int& error)
{
    if (::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0) return true;
    error = errno;
    if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP) return false;
    if (::link(temp.constData(), target.constData()) != 0) {
        error = errno;
        return false;
    }
    ::unlink(temp.constData());
    return true;
}

}  // namespace

Writer::Writer(QString target, Replace replace) : target_(std::move(target)), replace_(replace) {}

Writer::~Writer() { discard(); }

bool Writer::fail(int error)
{
    if (!failed_) error_ = error;
    failed_ = true;
    discard();
    return false;
}

bool Writer::open()
{
    if (fd_ >= 0 || failed_) return !failed_;
    const QString folder = QFileInfo(target_).absolutePath();
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name = QString::fromLatin1(tempPrefix) +
                             QString::number(QRandomGenerator::global()->generate64(), 36);
        const QString temp = QDir(folder).filePath(name);
        const int fd = ::open(encoded(temp).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0) {
            fd_ = fd;
            temp_ = temp;
            return true;
        }
        if (errno != EEXIST) return fail(errno);
    }
    return fail(EEXIST);
}

bool Writer::write(QByteArrayView bytes)
{
    if (failed_ || (fd_ < 0 && !open())) return false;
    const char* p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(errno);
        }
        if (n == 0) return fail(EIO);
        p += n;
        left -= n;
        written_ += n;
    }
    return true;
}

bool Writer::commit()
{
    if (failed_ || (fd_ < 0 && !open())) return false;
    if (::fsync(fd_) != 0) return fail(errno);
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return fail(errno);
    if (st.st_size != written_) return fail(EIO);
    const int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0) return fail(errno);

    const QByteArray temp = encoded(temp_), target = encoded(target_);
    if (replace_ == Replace::allowed) {
        if (::rename(temp.constData(), target.constData()) != 0) return fail(errno);
    } else {
        int error = 0;
        if (!renameWithoutReplacing(temp, target, error)) {
            nameTaken_ = error == EEXIST;
            return fail(nameTaken_ ? 0 : error);
        }
    }
    temp_.clear();
    syncFolder(QFileInfo(target_).absolutePath());
    return true;
}

void Writer::discard()
{
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    if (!temp_.isEmpty()) ::unlink(encoded(std::exchange(temp_, QString())).constData());
}

bool write(const QString& target, QByteArrayView bytes, Replace replace)
{
    Writer writer(target, replace);
    return writer.write(bytes) && writer.commit();
}

void removeLeftovers(const QString& folder)
{
    const QByteArray path = encoded(folder);
    DIR* dir = ::opendir(path.constData());
    if (!dir) return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, tempPrefix, std::strlen(tempPrefix)) != 0) continue;
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode))
            ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

}  // namespace WholeFile
