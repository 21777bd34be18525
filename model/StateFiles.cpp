#include "model/StateFiles.h"

#include "analysis/ImageUtil.h"
#include "model/RecordJson.h"
#include "platform/files/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace StateFiles {

namespace {

// Opens `folder` / `name` for reading when it is a file inside the folder: a symbolic link is
// followed only to a file inside the folder too, and what is opened is never a link itself.
bool openInside(const QString& folder, const char* name, QFile& file)
{
    const QFileInfo entry(path(folder, name));
    QString target = entry.absoluteFilePath();
    if (entry.isSymLink()) {
        target = entry.canonicalFilePath();
        const QString root = QFileInfo(folder).canonicalFilePath();
        if (target.isEmpty() || root.isEmpty() || !target.startsWith(root + QLatin1Char('/'))) return false;
    }
    const int fd = ::open(QFile::encodeName(target).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

std::optional<QByteArray> readWhole(const QString& folder, const char* name)
{
    QFile f;
    if (!openInside(folder, name, f)) return std::nullopt;
    return f.readAll();
}

// Before a list file is overwritten: when what is there does not decode, keep it as
// "<file>.bad" (replacing an older kept copy). False when it had to be kept and could not
// be, so the caller must not overwrite it.
template <class Decode>
bool keepUndecodable(const QString& folder, const char* name, Decode decode)
{
    const auto bytes = readWhole(folder, name);
    if (!bytes) return true;  // nothing we could keep, and nothing we could have read either
    if (decode(*bytes)) return true;
    return WholeFile::write(path(folder, name) + badSuffix, *bytes);
}

template <class Decode>
bool writeList(const QString& folder, const char* name, const std::optional<QByteArray>& encoded, Decode decode)
{
    if (!encoded) return false;
    if (!keepUndecodable(folder, name, decode)) return false;
    return WholeFile::write(path(folder, name), *encoded);
}

}  // namespace

QString path(const QString& folder, const char* name) { return QDir(folder).filePath(QString::fromLatin1(name)); }

std::optional<std::vector<ScanRecord>> readHistory(const QString& folder)
{
    const auto bytes = readWhole(folder, historyName);
    if (!bytes) return std::nullopt;
    return decodeRecords(*bytes);
}

bool writeHistory(const QString& folder, const std::vector<ScanRecord>& history)
{
    return writeList(folder, historyName, encodeRecords(history),
                     [](const QByteArray& b) { return decodeRecords(b).has_value(); });
}

std::optional<std::vector<ScanRegion>> readSession(const QString& folder)
{
    const auto bytes = readWhole(folder, sessionName);
    if (!bytes) return std::nullopt;
    return decodeRegions(*bytes);
}

bool writeSession(const QString& folder, const std::vector<ScanRegion>& regions)
{
    return writeList(folder, sessionName, encodeRegions(regions),
                     [](const QByteArray& b) { return decodeRegions(b).has_value(); });
}

QImage readPrevImage(const QString& folder)
{
    QFile file;
    if (!openInside(folder, prevImageName, file)) return {};
    return ImageUtil::loadWithin(file, largestOverview);
}

bool writePrevImage(const QString& folder, const QImage& image)
{
    return ImageUtil::savePNG(image, path(folder, prevImageName));
}

std::optional<QSizeF> readPrevBedSize(const QString& folder)
{
    const auto bytes = readWhole(folder, prevBedName);
    if (!bytes) return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(*bytes);
    if (!doc.isObject()) return std::nullopt;
    const QJsonObject object = doc.object();
    // A mapping from strings to numbers: any other value makes the whole object unreadable.
    for (auto it = object.begin(); it != object.end(); ++it)
        if (!it.value().isDouble()) return std::nullopt;
    if (!object.contains("w") || !object.contains("h")) return std::nullopt;
    const double w = object.value("w").toDouble();
    const double h = object.value("h").toDouble();
    if (!std::isfinite(w) || !std::isfinite(h) || w <= 0 || h <= 0) return std::nullopt;
    return QSizeF(w, h);
}

bool writePrevBedSize(const QString& folder, QSizeF bed)
{
    if (!std::isfinite(bed.width()) || !std::isfinite(bed.height())) return false;
    const QJsonObject object{{"w", bed.width()}, {"h", bed.height()}};
    return WholeFile::write(path(folder, prevBedName), QJsonDocument(object).toJson(QJsonDocument::Compact));
}

void migrateLegacyDotfiles(const QString& folder)
{
    static const char* const endings[] = {"history.json", "session.json", "prev.png", "prev.json"};
    const QDir dir(folder);
    for (const char* ending : endings) {
        const QString legacy = dir.filePath(QStringLiteral(".harlune-") + ending);
        const QString current = dir.filePath(QStringLiteral(".bivara-") + ending);
        // QFile::rename refuses to replace an existing file, so a current file always wins.
        if (QFileInfo::exists(legacy) && !QFileInfo::exists(current)) QFile::rename(legacy, current);
    }
}

}  // namespace StateFiles
