#pragma once

// A folder on a disk that is full. As root (and where mounting is permitted) a small tmpfs is
// mounted on the folder and filled to the last byte; otherwise this process gets a file-size
// limit (SIGXFSZ ignored), so that no file grows past a few hundred bytes. Both are undone
// when the object goes. Files written before fill() are written normally.

#include <QDir>
#include <QFile>
#include <QString>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

class FullDisk {
public:
    // How far a file may grow under the file-size limit.
    static constexpr rlim_t limitBytes = 512;

    explicit FullDisk(const QString& folder) : folder_(folder)
    {
        QDir().mkpath(folder);
        const QByteArray path = QFile::encodeName(folder);
        if (::geteuid() == 0 && ::mount("tmpfs", path.constData(), "tmpfs", 0, "size=1m") == 0) mounted_ = true;
    }

    ~FullDisk()
    {
        if (limited_) {
            ::setrlimit(RLIMIT_FSIZE, &saved_);
            std::signal(SIGXFSZ, previous_);
        }
        if (mounted_) ::umount2(QFile::encodeName(folder_).constData(), MNT_DETACH);
    }

    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    bool mounted() const { return mounted_; }

    // From now on nothing more fits. False when neither way is available here.
    bool fill()
    {
        if (mounted_) {
            QFile filler(QDir(folder_).filePath("filler"));
            if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
            const QByteArray block(4096, 'f');
            while (filler.write(block) > 0) {}
            const QByteArray byte(1, 'f');
            while (filler.write(byte) > 0) {}
            return true;
        }
        if (::getrlimit(RLIMIT_FSIZE, &saved_) != 0) return false;
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved_;
        small.rlim_cur = limitBytes;
        limited_ = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
        return limited_;
    }

private:
    QString folder_;
    bool mounted_ = false;
    bool limited_ = false;
    rlimit saved_{};
    void (*previous_)(int) = SIG_DFL;
};
