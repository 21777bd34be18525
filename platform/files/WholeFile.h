#pragma once

// Writing a file completely or not at all.
//
// The bytes go to a temporary file beside the target (".bivara-tmp-…" in the same folder);
// every write is checked, the file is flushed to the disk and its size compared with what was
// written, and only then does it take the target's name. A full disk, a file-size limit or a
// failing device therefore leaves the target as it was, and the write counts as failed.
//
// The name is taken by a rename, which replaces a symbolic link itself and never writes
// through it into its target. With `Replace::never` an existing entry of that name (a file, a
// folder, a link, even a dangling one) is never replaced: the write fails instead.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace WholeFile {

enum class Replace { allowed, never };

// How temporary files in a folder begin; anything so named is a leftover once no write runs.
inline constexpr const char* tempPrefix = ".bivara-tmp-";

class Writer {
public:
    Writer(QString target, Replace replace);
    ~Writer();  // an uncommitted temporary file is removed
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Creates the temporary file. False when the folder cannot take one.
    bool open();
    // Appends bytes; false (and every later call false) after any failure.
    bool write(QByteArrayView bytes);
    // Flushes, syncs, checks the size and gives the file its name. False leaves the target
    // untouched and removes the temporary file.
    bool commit();
    // Removes the temporary file without touching the target.
    void discard();

    bool failed() const { return failed_; }
    // The errno of the first failure (0 when none, or when the name was taken).
    int error() const { return error_; }
    // True after a commit refused because an entry of the target's name existed.
    bool nameTaken() const { return nameTaken_; }

private:
    bool fail(int error);

    QString target_;
    Replace replace_;
    QString temp_;
    int fd_ = -1;
    qint64 written_ = 0;
    bool failed_ = false;
    bool nameTaken_ = false;
    int error_ = 0;
};

// The whole of `bytes` as the file `target`.
bool write(const QString& target, QByteArrayView bytes, Replace replace = Replace::allowed);

// Removes temporary files that interrupted writes left in `folder`. Only for a folder whose
// writers are known to have stopped (one this process holds the lock of).
void removeLeftovers(const QString& folder);

}  // namespace WholeFile
