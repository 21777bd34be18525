#include "platform/sane/PngRowWriter.h"

#include "platform/files/WholeFile.h"

#include <QDir>
#include <QFileInfo>

#include <png.h>
#include <zlib.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>

struct PngRowWriter::Png {
    explicit Png(const QString& path) : file(path, WholeFile::Replace::allowed) {}
    WholeFile::Writer file;  // the file appears, whole, only when finished
    png_structp write = nullptr;
    png_infop info = nullptr;
    bool failed = false;

    ~Png()
    {
        if (write) png_destroy_write_struct(&write, info ? &info : nullptr);
    }
};

namespace {

void onPngError(png_structp png, png_const_charp)
{
    std::longjmp(png_jmpbuf(png), 1);
}

void onPngWarning(png_structp, png_const_charp) {}

void onPngWrite(png_structp png, png_bytep data, size_t length)
{
    auto* file = static_cast<WholeFile::Writer*>(png_get_io_ptr(png));
    if (!file->write(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(length))))
        png_error(png, "write failed");
}

void onPngFlush(png_structp) {}

QString failureText(const QString& path, int error)
{
    if (!error) return QString("Could not write %1").arg(path);
    return QString("Could not write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error)));
}

}  // namespace

PngRowWriter::PngRowWriter() = default;

PngRowWriter::~PngRowWriter()
{
    if (png_) abandon();
}

bool PngRowWriter::fail(const QString& message)
{
    if (error_.isEmpty()) error_ = message;
    if (png_) png_->failed = true;
    return false;
}

bool PngRowWriter::open(const QString& path, int width, int height, int channels, int bitDepth, int dpi)
{
    path_ = path;
    error_.clear();
    rowsWritten_ = 0;
    height_ = height;
    if (width < 1 || height < 1 || (channels != 1 && channels != 3) ||
        (bitDepth != 1 && bitDepth != 8 && bitDepth != 16) || (bitDepth == 1 && channels != 1))
        return fail(QString("Unsupported image format for %1").arg(QFileInfo(path).fileName()));
    rowBytes_ = bitDepth == 1 ? (width + 7) / 8 : width * channels * (bitDepth / 8);

    QDir().mkpath(QFileInfo(path).absolutePath());
    png_ = std::make_unique<Png>(path);
    if (!png_->file.open()) return fail(failureText(path, png_->file.error()));
    png_->write = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
    if (png_->write) png_->info = png_create_info_struct(png_->write);
    if (!png_->write || !png_->info) return fail("Out of memory");

    if (setjmp(png_jmpbuf(png_->write))) return fail(failureText(path, png_->file.error()));
    png_set_write_fn(png_->write, &png_->file, onPngWrite, onPngFlush);
    png_set_IHDR(png_->write, png_->info, png_uint_32(width), png_uint_32(height), bitDepth,
                 channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (dpi > 0) {
        const auto perMetre = png_uint_32(dpi / 0.0254 + 0.5);
        png_set_pHYs(png_->write, png_->info, perMetre, perMetre, PNG_RESOLUTION_METER);
    }
    // The file is read back once and deleted: the "up" filter and runs only (no string
    // matching) write and read fastest of zlib's choices, at about half the raw size.
    png_set_compression_level(png_->write, 1);
    png_set_compression_strategy(png_->write, Z_RLE);
    png_set_filter(png_->write, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_write_info(png_->write, png_->info);
    if (bitDepth == 16 && Q_BYTE_ORDER == Q_LITTLE_ENDIAN) png_set_swap(png_->write);
    if (bitDepth == 1) png_set_invert_mono(png_->write);
    return true;
}

bool PngRowWriter::writeRow(const unsigned char* row)
{
    if (!png_ || png_->failed) return false;
    if (rowsWritten_ >= height_) return true;  // extra rows are not part of the image
    if (setjmp(png_jmpbuf(png_->write))) return fail(failureText(path_, png_->file.error()));
    png_write_row(png_->write, const_cast<png_bytep>(row));
    ++rowsWritten_;
    return true;
}

bool PngRowWriter::finish()
{
    if (!png_) return fail("Nothing to finish");
    if (png_->failed || rowsWritten_ != height_) {
        if (rowsWritten_ != height_) fail(QString("Incomplete image for %1").arg(path_));
        abandon();
        return false;
    }
    if (setjmp(png_jmpbuf(png_->write))) {
        fail(failureText(path_, png_->file.error()));
        abandon();
        return false;
    }
    png_write_end(png_->write, png_->info);
    const bool committed = png_->file.commit();
    const int error = png_->file.error();
    png_.reset();
    if (!committed) return fail(failureText(path_, error));
    return true;
}

void PngRowWriter::abandon()
{
    png_.reset();  // the unfinished file goes with it; nothing was ever written under `path_`
}
