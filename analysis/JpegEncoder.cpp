#include "analysis/JpegEncoder.h"

#include <QColorSpace>

#include <algorithm>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

namespace JpegEncoder {
namespace {

// libjpeg reports errors by calling error_exit, which must not return: it jumps back to
// encode's setjmp. No C++ object with a destructor lives in the frames it jumps over.
struct Errors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void jumpOut(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<Errors*>(cinfo->err)->jump, 1);
}

void stayQuiet(j_common_ptr, int) {}

// A destination that grows one QByteArray, doubling it when full.
struct Destination {
    jpeg_destination_mgr pub;
    QByteArray* bytes;
};

void startDestination(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    d->pub.next_output_byte = reinterpret_cast<JOCTET*>(d->bytes->data());
    d->pub.free_in_buffer = size_t(d->bytes->size());
}

boolean growDestination(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    const qsizetype used = d->bytes->size();
    bool grown = true;
    try {
        d->bytes->resize(used * 2);
    } catch (...) {
        grown = false;
    }
    if (!grown) jumpOut(reinterpret_cast<j_common_ptr>(cinfo));
    d->pub.next_output_byte = reinterpret_cast<JOCTET*>(d->bytes->data()) + used;
    d->pub.free_in_buffer = size_t(d->bytes->size() - used);
    return TRUE;
}

void finishDestination(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    d->bytes->resize(d->bytes->size() - qsizetype(d->pub.free_in_buffer));
}

J_COLOR_SPACE colorSpaceOf(QImage::Format format)
{
    switch (format) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    case QImage::Format_RGB888: return JCS_RGB;
    case QImage::Format_Grayscale8: return JCS_GRAYSCALE;
    default: return JCS_UNKNOWN;
    }
}

struct Job {
    const QImage* image;
    J_COLOR_SPACE space;
    int quality, dpi;
    const QByteArray* icc;
    QByteArray* out;
};

// The libjpeg part, apart so that nothing with a destructor sits in the jumped-over frames.
bool run(const Job& job)
{
    jpeg_compress_struct cinfo;
    Errors errors;
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = jumpOut;
    errors.pub.emit_message = stayQuiet;
    Destination dest{};
    dest.bytes = job.out;
    dest.pub.init_destination = startDestination;
    dest.pub.empty_output_buffer = growDestination;
    dest.pub.term_destination = finishDestination;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    cinfo.dest = &dest.pub;
    const QImage& image = *job.image;
    cinfo.image_width = JDIMENSION(image.width());
    cinfo.image_height = JDIMENSION(image.height());
    cinfo.in_color_space = job.space;
    cinfo.input_components = job.space == JCS_GRAYSCALE ? 1 : job.space == JCS_RGB ? 3 : 4;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, job.quality, TRUE);
    if (job.dpi > 0) {
        cinfo.density_unit = 1;  // dots per inch
        cinfo.X_density = cinfo.Y_density = UINT16(job.dpi);
    }
    jpeg_start_compress(&cinfo, TRUE);
    if (!job.icc->isEmpty())
        jpeg_write_icc_profile(&cinfo, reinterpret_cast<const JOCTET*>(job.icc->constData()),
                               unsigned(job.icc->size()));
    const uchar* bits = image.constBits();
    const qsizetype bpl = image.bytesPerLine();
    constexpr int batch = 16;
    JSAMPROW rows[batch];
    while (cinfo.next_scanline < cinfo.image_height) {
        const int first = int(cinfo.next_scanline);
        const int count = std::min(batch, image.height() - first);
        for (int i = 0; i < count; ++i) rows[i] = const_cast<JSAMPROW>(bits + qsizetype(first + i) * bpl);
        jpeg_write_scanlines(&cinfo, rows, JDIMENSION(count));
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

bool takes(QImage::Format format) { return colorSpaceOf(format) != JCS_UNKNOWN; }

QByteArray encode(const QImage& image, int quality, int dpi)
{
    const J_COLOR_SPACE space = colorSpaceOf(image.format());
    if (image.isNull() || space == JCS_UNKNOWN || image.width() > JPEG_MAX_DIMENSION
        || image.height() > JPEG_MAX_DIMENSION)
        return {};
    const QByteArray icc =
        space != JCS_GRAYSCALE && image.colorSpace().isValid() ? image.colorSpace().iccProfile() : QByteArray();
    // A photograph at quality 92 takes about a third of its pixel count; the buffer doubles
    // when that is too little.
    QByteArray out(std::max<qsizetype>(qsizetype(image.width()) * image.height() / 3, 64 * 1024), Qt::Uninitialized);
    const Job job{&image, space, std::clamp(quality, 0, 100), std::clamp(dpi, 0, 65535), &icc, &out};
    if (!run(job)) return {};
    return out;
}

}  // namespace JpegEncoder
