#include "platform/sane/SaneFrameReader.h"

#include "platform/files/PngRowWriter.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

QString statusText(SANE_Status status)
{
    return QString::fromUtf8(sane_strstatus(status));
}

int channelsOf(const SANE_Parameters& p)
{
    return p.format == SANE_FRAME_RGB ? 3 : 1;
}

// The bytes of a row that carry pixels, without the padding a backend may add.
int pixelBytes(int width, int channels, int depth)
{
    return depth == 1 ? (width * channels + 7) / 8 : width * channels * (depth / 8);
}

constexpr int readChunk = 256 * 1024;

}  // namespace

SaneFrameReader::SaneFrameReader(SANE_Handle handle, const std::atomic<bool>& cancel)
    : handle_(handle), cancel_(cancel)
{
}

bool SaneFrameReader::threePass(const SANE_Parameters& p) const
{
    return p.format == SANE_FRAME_RED || p.format == SANE_FRAME_GREEN || p.format == SANE_FRAME_BLUE;
}

std::optional<QString> SaneFrameReader::start(SANE_Parameters& p)
{
    if (cancel_) return statusText(SANE_STATUS_CANCELLED);
    SANE_Status status = sane_start(handle_);
    if (status != SANE_STATUS_GOOD) return statusText(status);
    status = sane_get_parameters(handle_, &p);
    if (status != SANE_STATUS_GOOD) return statusText(status);
    // Blocking reads: the non-blocking mode of some backends was seen to lose whole images.
    sane_set_io_mode(handle_, SANE_FALSE);
    if (p.format != SANE_FRAME_GRAY && p.format != SANE_FRAME_RGB && !threePass(p))
        return statusText(SANE_STATUS_UNSUPPORTED);
    if (p.bytes_per_line < 1 || p.pixels_per_line < 1 || (p.depth != 1 && p.depth != 8 && p.depth != 16))
        return statusText(SANE_STATUS_UNSUPPORTED);
    if (p.format == SANE_FRAME_RGB && p.depth == 1) return statusText(SANE_STATUS_UNSUPPORTED);
    if (p.bytes_per_line < pixelBytes(p.pixels_per_line, channelsOf(p), p.depth)) return statusText(SANE_STATUS_INVAL);
    return std::nullopt;
}

std::optional<QString> SaneFrameReader::readFrame(const SANE_Parameters& p,
                                                  const std::function<bool(const unsigned char*)>& onRow)
{
    const int bpl = p.bytes_per_line;
    std::vector<unsigned char> buffer(size_t(std::max(readChunk, bpl * 2)));
    size_t filled = 0;
    bool wanted = true;
    for (;;) {
        if (cancel_) {
            sane_cancel(handle_);
            return statusText(SANE_STATUS_CANCELLED);
        }
        SANE_Int length = 0;
        const SANE_Int room = SANE_Int(buffer.size() - filled);
        const SANE_Status status = sane_read(handle_, buffer.data() + filled, room, &length);
        // Some backends hand over the last bytes together with EOF.
        if ((status == SANE_STATUS_GOOD || status == SANE_STATUS_EOF) && length > 0)
            filled += size_t(std::min(length, room));
        size_t used = 0;
        while (filled - used >= size_t(bpl)) {
            if (wanted) wanted = onRow(buffer.data() + used);
            used += size_t(bpl);
        }
        if (used) {
            std::memmove(buffer.data(), buffer.data() + used, filled - used);
            filled -= used;
        }
        if (status == SANE_STATUS_EOF) return std::nullopt;  // a trailing partial row is dropped
        if (status != SANE_STATUS_GOOD) return statusText(status);
    }
}

std::optional<QString> SaneFrameReader::readWhole(SANE_Parameters p, Shape& shape, QByteArray& image)
{
    if (!threePass(p)) {
        shape = {p.pixels_per_line, 0, p.bytes_per_line, channelsOf(p), p.depth};
        if (p.lines > 0) image.reserve(qsizetype(p.lines) * p.bytes_per_line);
        int rows = 0;
        auto error = readFrame(p, [&](const unsigned char* row) {
            if (p.lines > 0 && rows >= p.lines) return false;
            image.append(reinterpret_cast<const char*>(row), p.bytes_per_line);
            ++rows;
            return true;
        });
        shape.height = rows;
        return error;
    }

    // Three frames, one per colour, each like a gray image; interleaved once all are in.
    const int width = p.pixels_per_line, depthBytes = p.depth / 8;
    if (depthBytes < 1) return statusText(SANE_STATUS_UNSUPPORTED);
    std::vector<QByteArray> planes(3);
    int rows = -1;
    for (int pass = 0; pass < 3; ++pass) {
        if (pass > 0) {
            if (auto error = start(p)) return error;
            if (!threePass(p) || p.pixels_per_line != width || p.depth != depthBytes * 8)
                return statusText(SANE_STATUS_INVAL);
        }
        const int plane = p.format == SANE_FRAME_RED ? 0 : p.format == SANE_FRAME_GREEN ? 1 : 2;
        QByteArray& out = planes[size_t(plane)];
        out.clear();
        const int rowBytes = width * depthBytes;
        if (auto error = readFrame(p, [&](const unsigned char* row) {
                if (p.lines > 0 && out.size() >= qsizetype(p.lines) * rowBytes) return false;
                out.append(reinterpret_cast<const char*>(row), rowBytes);
                return true;
            }))
            return error;
        const int got = int(out.size() / rowBytes);
        rows = rows < 0 ? got : std::min(rows, got);
        if (p.last_frame) break;
    }
    if (rows < 0 || planes[0].isEmpty() || planes[1].isEmpty() || planes[2].isEmpty())
        return statusText(SANE_STATUS_INVAL);

    shape = {width, rows, width * 3 * depthBytes, 3, p.depth};
    image = QByteArray(qsizetype(rows) * shape.bytesPerRow, '\0');
    char* dst = image.data();
    for (qsizetype px = 0; px < qsizetype(rows) * width; ++px)
        for (int c = 0; c < 3; ++c) {
            std::memcpy(dst, planes[size_t(c)].constData() + px * depthBytes, size_t(depthBytes));
            dst += depthBytes;
        }
    return std::nullopt;
}

std::optional<QString> SaneFrameReader::readToBands(int maxBandSize, const std::function<void(BandData)>& onBand)
{
    SANE_Parameters p{};
    if (auto error = start(p)) return error;

    auto emitBands = [&](const Shape& shape, const char* data, int rows, int startRow, int bandRows) {
        for (int row = 0; row < rows; row += bandRows) {
            const int n = std::min(bandRows, rows - row);
            BandData band;
            band.fullImageWidth = shape.width;
            band.fullImageHeight = shape.height;
            band.bytesPerRow = shape.bytesPerRow;
            band.bitsPerPixel = shape.depth * shape.channels;
            band.numComponents = shape.channels;
            band.dataStartRow = startRow + row;
            band.dataNumRows = n;
            band.hasData = true;
            band.dataBuffer = QByteArray(data + qsizetype(row) * shape.bytesPerRow, qsizetype(n) * shape.bytesPerRow);
            onBand(std::move(band));
        }
    };

    if (!threePass(p)) {
        // Without a known height the bands cannot say how big the image is: read it through
        // and send nothing.
        const Shape shape{p.pixels_per_line, p.lines, p.bytes_per_line, channelsOf(p), p.depth};
        const int bandRows = std::max(1, maxBandSize / shape.bytesPerRow);
        QByteArray band;
        band.reserve(qsizetype(bandRows) * shape.bytesPerRow);
        int rows = 0, bandStart = 0;
        auto error = readFrame(p, [&](const unsigned char* row) {
            if (shape.height <= 0) return true;
            if (rows >= shape.height) return false;
            band.append(reinterpret_cast<const char*>(row), shape.bytesPerRow);
            ++rows;
            if (rows - bandStart == bandRows) {
                emitBands(shape, band.constData(), bandRows, bandStart, bandRows);
                band.clear();
                bandStart = rows;
            }
            return true;
        });
        if (!error && shape.height > 0 && rows > bandStart)
            emitBands(shape, band.constData(), rows - bandStart, bandStart, bandRows);
        return error;
    }

    // Three-pass: the rows are complete only after the last frame.
    Shape shape;
    QByteArray image;
    if (auto error = readWhole(p, shape, image)) return error;
    if (shape.height < 1) return std::nullopt;
    emitBands(shape, image.constData(), shape.height, 0, std::max(1, maxBandSize / shape.bytesPerRow));
    return std::nullopt;
}

std::optional<QString> SaneFrameReader::readToPng(const QString& path, int dpi)
{
    // Stream the rows straight into the file when the image is known in advance.
    SANE_Parameters p{};
    if (auto error = start(p)) return error;
    if (!threePass(p) && p.lines > 0) {
        PngRowWriter writer;
        const int channels = channelsOf(p);
        if (!writer.open(path, p.pixels_per_line, p.lines, channels, p.depth, dpi)) return writer.error();
        bool ok = true;
        auto error = readFrame(p, [&](const unsigned char* row) {
            ok = writer.writeRow(row);
            return ok && writer.rowsWritten() < p.lines;
        });
        if (error || !ok) {
            writer.abandon();
            return error ? error : writer.error();
        }
        // A scan that ended early is padded with white rather than lost.
        if (writer.rowsWritten() < p.lines) {
            std::vector<unsigned char> white(size_t(writer.rowBytes()), p.depth == 1 ? 0x00 : 0xff);
            while (writer.rowsWritten() < p.lines)
                if (!writer.writeRow(white.data())) break;
        }
        if (!writer.finish()) return writer.error();
        return std::nullopt;
    }

    // Three-pass or unknown height: gather the whole image first.
    Shape shape;
    QByteArray image;
    if (auto error = readWhole(p, shape, image)) return error;
    if (shape.height < 1) return statusText(SANE_STATUS_NO_DOCS);
    PngRowWriter writer;
    if (!writer.open(path, shape.width, shape.height, shape.channels, shape.depth, dpi)) return writer.error();
    for (int row = 0; row < shape.height; ++row)
        if (!writer.writeRow(reinterpret_cast<const unsigned char*>(image.constData()) + qsizetype(row) * shape.bytesPerRow))
            break;
    if (!writer.finish()) return writer.error();
    return std::nullopt;
}
