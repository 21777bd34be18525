#include "platform/files/PngRowWriter.h"

#include "platform/files/RunDeflate.h"
#include "platform/files/WholeFile.h"
#include "platform/threads/BackgroundPool.h"

#include <QDir>
#include <QFileInfo>
#include <QSemaphore>
#include <QThread>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <initializer_list>

namespace {

// Bands of about this many bytes of rows: enough for zlib to find its runs, small enough for
// a few to be in flight at once without weighing on memory.
constexpr std::size_t bandBytes = std::size_t(4) << 20;

QByteArray be32(quint32 v)
{
    QByteArray b(4, '\0');
    qToBigEndian<quint32>(v, b.data());
    return b;
}

QString failureText(const QString& path, int error)
{
    if (!error) return QString("Could not write %1").arg(path);
    return QString("Could not write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error)));
}

}  // namespace

struct PngRowWriter::File {
    explicit File(const QString& path) : out(path, WholeFile::Replace::allowed) {}
    WholeFile::Writer out;  // the file appears, whole, only when committed

    // One chunk whose data is the pieces given, one after another.
    bool chunk(const char type[4], std::initializer_list<QByteArrayView> pieces)
    {
        qsizetype length = 0;
        for (QByteArrayView piece : pieces) length += piece.size();
        QByteArray head = be32(quint32(length));
        head.append(type, 4);
        uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
        for (QByteArrayView piece : pieces)
            crc = crc32_z(crc, reinterpret_cast<const Bytef*>(piece.data()), z_size_t(piece.size()));
        bool ok = out.write(head);
        for (QByteArrayView piece : pieces) ok = ok && (piece.isEmpty() || out.write(piece));
        return ok && out.write(be32(quint32(crc)));
    }
};

// Rows on their way to the file. `lines` holds the band's rows, each after a filter-type
// byte, preceded by the row before the band (all zero for the first): the up filter needs it.
struct PngRowWriter::Band {
    std::size_t lineBytes = 0;
    int rows = 0;
    bool first = false, last = false;
    std::unique_ptr<unsigned char[]> lines;
    // The result: deflate data ending on a byte boundary (the final block for the last band),
    // after the zlib header for the first.
    std::unique_ptr<unsigned char[]> out;
    std::size_t outBytes = 0;
    uLong adler = 1;
    bool ok = false;

    std::atomic<bool> claimed{false};
    QSemaphore done;

    // Compresses the band unless another thread has taken it.
    void run() noexcept
    {
        if (claimed.exchange(true)) return;
        compress();
        done.release();
    }
    // Returns with the band compressed, by this thread if no other has started.
    void await() noexcept
    {
        run();
        done.acquire();
    }

private:
    void compress() noexcept
    {
        // Bottom up, so that each row is still whole when the one below takes it away.
        for (int r = rows; r >= 1; --r) {
            unsigned char* line = lines.get() + std::size_t(r) * lineBytes;
            const unsigned char* above = line - lineBytes;
            line[0] = 2;  // up
            for (std::size_t k = 1; k < lineBytes; ++k) line[k] = static_cast<unsigned char>(line[k] - above[k]);
        }
        const unsigned char* data = lines.get() + lineBytes;
        const std::size_t n = std::size_t(rows) * lineBytes;
        adler = adler32_z(1, data, n);

        const std::size_t head = first ? 2 : 0;
        out.reset(new (std::nothrow) unsigned char[head + RunDeflate::bound(n)]);
        if (out) try {
            if (first) {
                // deflate, 32 KiB window, no dictionary, fastest: 0x7801 is a multiple of 31
                out[0] = 0x78;
                out[1] = 0x01;
            }
            outBytes = head + RunDeflate::compress(data, n, last, out.get() + head);
            ok = true;
        } catch (...) {
            // out of memory: ok stays false
        }
        lines.reset();  // the rows are no longer needed
    }
};

PngRowWriter::PngRowWriter() = default;

PngRowWriter::~PngRowWriter()
{
    abandon();
}

bool PngRowWriter::fail(const QString& message)
{
    if (error_.isEmpty()) error_ = message;
    abandon();
    return false;
}

bool PngRowWriter::failWriting()
{
    return fail(failureText(path_, file_ ? file_->out.error() : 0));
}

bool PngRowWriter::open(const QString& path, int width, int height, int channels, int bitDepth, int dpi)
{
    Header header;
    header.width = width;
    header.height = height;
    header.channels = channels;
    header.bitDepth = bitDepth;
    header.scannerRows = true;
    if (dpi > 0) header.dotsPerMetreX = header.dotsPerMetreY = int(dpi / 0.0254 + 0.5);
    return open(path, header);
}

bool PngRowWriter::open(const QString& path, const Header& header)
{
    abandon();
    path_ = path;
    error_.clear();
    rowsWritten_ = 0;
    adler_ = 1;
    header_ = header;
    const int w = header.width, h = header.height, c = header.channels, depth = header.bitDepth;
    if (w < 1 || h < 1 || w > (1 << 24) || c < 1 || c > 4 || (depth != 1 && depth != 8 && depth != 16)
        || (depth == 1 && c != 1))
        return fail(QString("Unsupported image format for %1").arg(QFileInfo(path).fileName()));
    rowBytes_ = depth == 1 ? (w + 7) / 8 : w * c * (depth / 8);
    rowsPerBand_ = int(std::clamp<std::size_t>(bandBytes / std::size_t(rowBytes_ + 1), 1, std::size_t(h)));
    lastRow_.assign(std::size_t(rowBytes_), 0);

    QDir().mkpath(QFileInfo(path).absolutePath());
    file_ = std::make_unique<File>(path);
    if (!file_->out.open()) return failWriting();

    static const char signature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
    static const char colorTypes[5] = {0, 0, 4, 2, 6};
    QByteArray ihdr = be32(quint32(w)) + be32(quint32(h));
    ihdr.append(char(depth)).append(colorTypes[c]);
    ihdr.append(3, '\0');  // deflate, adaptive filters, no interlace
    bool ok = file_->out.write(QByteArrayView(signature, 8)) && file_->chunk("IHDR", {ihdr});
    if (ok && header.dotsPerMetreX > 0 && header.dotsPerMetreY > 0)
        ok = file_->chunk("pHYs", {be32(quint32(header.dotsPerMetreX)) + be32(quint32(header.dotsPerMetreY)), "\1"});
    if (ok && !header.iccProfile.isEmpty()) {
        uLongf size = compressBound(uLong(header.iccProfile.size()));
        QByteArray compressed(qsizetype(size), '\0');
        ok = compress2(reinterpret_cast<Bytef*>(compressed.data()), &size,
                       reinterpret_cast<const Bytef*>(header.iccProfile.constData()), uLong(header.iccProfile.size()), 9)
             == Z_OK;
        compressed.truncate(qsizetype(size));
        ok = ok && file_->chunk("iCCP", {QByteArrayView("ICC Profile\0\0", 13), compressed});
    }
    for (const auto& [key, value] : header.texts) {
        const QByteArray keyword = key.toLatin1();
        if (!ok || keyword.isEmpty() || keyword.size() > 79 || QString::fromLatin1(keyword) != key) continue;
        const QByteArray latin = value.toLatin1();
        if (QString::fromLatin1(latin) == value)
            ok = file_->chunk("tEXt", {keyword, QByteArrayView("\0", 1), latin});
        else  // uncompressed international text, no language tag or translated keyword
            ok = file_->chunk("iTXt", {keyword, QByteArrayView("\0\0\0\0\0", 5), value.toUtf8()});
    }
    if (!ok) return failWriting();
    startBand();
    return filling_ != nullptr || fail("Out of memory");
}

void PngRowWriter::startBand()
{
    auto band = std::make_shared<Band>();
    band->lineBytes = std::size_t(rowBytes_) + 1;
    band->rows = std::min(rowsPerBand_, header_.height - rowsWritten_);
    band->first = rowsWritten_ == 0;
    band->last = rowsWritten_ + band->rows == header_.height;
    band->lines.reset(new (std::nothrow) unsigned char[band->lineBytes * std::size_t(band->rows + 1)]);
    if (!band->lines) {
        filling_.reset();
        return;
    }
    std::memcpy(band->lines.get() + 1, lastRow_.data(), lastRow_.size());
    filling_ = std::move(band);
}

bool PngRowWriter::writeRow(const unsigned char* row)
{
    if (!file_) return false;
    if (rowsWritten_ >= header_.height) return true;  // extra rows are not part of the image
    const int inBand = rowsWritten_ - (rowsWritten_ / rowsPerBand_) * rowsPerBand_;
    unsigned char* line = filling_->lines.get() + std::size_t(inBand + 1) * filling_->lineBytes + 1;
    std::memcpy(line, row, std::size_t(rowBytes_));
    if (header_.scannerRows && header_.bitDepth == 16 && Q_BYTE_ORDER == Q_LITTLE_ENDIAN)
        for (int k = 0; k + 1 < rowBytes_; k += 2) std::swap(line[k], line[k + 1]);
    if (header_.scannerRows && header_.bitDepth == 1)
        for (int k = 0; k < rowBytes_; ++k) line[k] = static_cast<unsigned char>(~line[k]);
    ++rowsWritten_;
    if (inBand + 1 == filling_->rows) return sendBand();
    return true;
}

bool PngRowWriter::sendBand()
{
    std::shared_ptr<Band> band = std::move(filling_);
    std::memcpy(lastRow_.data(), band->lines.get() + std::size_t(band->rows) * band->lineBytes + 1, lastRow_.size());
    compressing_.push_back(band);
    if (!band->last) {
        // Later bands are filled meanwhile; the last is compressed by the finishing thread.
        // Without a helper, the band is compressed when its turn to be written comes.
        BackgroundPool::startHelper([band] { band->run(); });
        const auto inFlight = std::size_t(std::max(2, QThread::idealThreadCount()));
        while (compressing_.size() > inFlight)
            if (!writeOldest()) return false;
        startBand();
        if (!filling_) return fail("Out of memory");
    }
    return true;
}

bool PngRowWriter::writeOldest()
{
    std::shared_ptr<Band> band = std::move(compressing_.front());
    compressing_.pop_front();
    band->await();
    if (!band->ok) return fail("Out of memory");
    adler_ = unsigned(adler32_combine(adler_, band->adler, z_off_t(band->lineBytes * std::size_t(band->rows))));
    const QByteArrayView data(band->out.get(), qsizetype(band->outBytes));
    if (!(band->last ? file_->chunk("IDAT", {data, be32(adler_)}) : file_->chunk("IDAT", {data}))) return failWriting();
    return true;
}

bool PngRowWriter::finish()
{
    if (!file_) return fail("Nothing to finish");
    if (rowsWritten_ != header_.height) return fail(QString("Incomplete image for %1").arg(path_));
    while (!compressing_.empty())
        if (!writeOldest()) return false;
    if (!file_->chunk("IEND", {}) || !file_->out.commit()) return failWriting();
    file_.reset();
    return true;
}

void PngRowWriter::abandon()
{
    // Bands still queued are left to their helpers, which hold them; none is waited for.
    for (const auto& band : compressing_) band->claimed = true;
    compressing_.clear();
    filling_.reset();
    file_.reset();  // the unfinished file goes with it; nothing was ever written under `path_`
}
