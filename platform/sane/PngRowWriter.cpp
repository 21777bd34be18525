#include "platform/sane/PngRowWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>

struct PngRowWriter::Png {
    FILE* file = nullptr;
    png_structp write = nullptr;
    png_infop info = nullptr;
    bool failed = false;

    ~Png()
    {
        if (write) png_destroy_write_struct(&write, info ? &info : nullptr);
        if (file) std::fclose(file);
    }
};

namespace {

void onPngError(png_structp png, png_const_charp)
{
    std::longjmp(png_jmpbuf(png), 1);
}

void onPngWarning(png_structp, png_const_charp) {}

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
    png_ = std::make_unique<Png>();
    png_->file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!png_->file) return fail(QString("Could not write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    png_->write = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
    if (png_->write) png_->info = png_create_info_struct(png_->write);
    if (!png_->write || !png_->info) return fail("Out of memory");

    if (setjmp(png_jmpbuf(png_->write))) return fail(QString("Could not write %1").arg(path));
    png_init_io(png_->write, png_->file);
    png_set_IHDR(png_->write, png_->info, png_uint_32(width), png_uint_32(height), bitDepth,
                 channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (dpi > 0) {
        const auto perMetre = png_uint_32(dpi / 0.0254 + 0.5);
        png_set_pHYs(png_->write, png_->info, perMetre, perMetre, PNG_RESOLUTION_METER);
    }
    png_set_compression_level(png_->write, 1);
    png_set_filter(png_->write, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_write_info(png_->write, png_->info);
    if (bitDepth == 16 && Q_BYTE_ORDER == Q_LITTLE_ENDIAN) png_set_swap(png_->write);
    if (bitDepth == 1) png_set_invert_mono(png_->write);
    return true;
}

bool PngRowWriter::writeRow(const unsigned char* row)
{
    if (!png_ || png_->failed) return false;
    if (rowsWritten_ >= height_) return true;  // extra rows are not part of the image
    if (setjmp(png_jmpbuf(png_->write))) return fail(QString("Could not write %1").arg(path_));
    png_write_row(png_->write, const_cast<png_bytep>(row));
    ++rowsWritten_;
    if (std::ferror(png_->file))
        return fail(QString("Could not write %1: %2").arg(path_, QString::fromLocal8Bit(std::strerror(errno))));
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
        fail(QString("Could not write %1").arg(path_));
        abandon();
        return false;
    }
    png_write_end(png_->write, png_->info);
    FILE* file = std::exchange(png_->file, nullptr);
    const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
    const int saved = errno;
    const bool closed = std::fclose(file) == 0;
    png_.reset();
    if (!flushed || !closed) {
        fail(QString("Could not write %1: %2").arg(path_, QString::fromLocal8Bit(std::strerror(saved))));
        QFile::remove(path_);
        return false;
    }
    return true;
}

void PngRowWriter::abandon()
{
    png_.reset();
    if (!path_.isEmpty()) QFile::remove(path_);
}
