#include "jpegencoder.h"

#include <QBuffer>
#include <QImageWriter>

#ifdef ORVESSA_SKIN_LIBJPEG
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace {

// libjpeg reports fatal errors by calling error_exit, which by default ends the
// process; jump back instead so a failure becomes an empty result.
struct JumpingErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void jumpOnError(j_common_ptr info) {
    auto *manager = reinterpret_cast<JumpingErrorManager *>(info->err);
    std::longjmp(manager->jump, 1);
}

// Only trivially destructible locals live between setjmp and longjmp.
bool compress(const unsigned char *rgb, int width, int height, int quality, unsigned char **out,
              unsigned long *outSize) {
    jpeg_compress_struct cinfo;
    JumpingErrorManager errors;
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = jumpOnError;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, out, outSize);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    for (int c = 0; c < cinfo.num_components; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
    cinfo.optimize_coding = TRUE;
    jpeg_start_compress(&cinfo, TRUE);
    const int stride = width * 3;
    for (int y = 0; y < height; ++y) {
        auto *row = const_cast<JSAMPROW>(rgb + y * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

} // namespace

QByteArray encodeJpeg(const QImage &image, int quality) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull()) {
        return {};
    }
    // Rows of a QImage are padded to 4 bytes; libjpeg wants them packed.
    QByteArray packed;
    packed.reserve(rgb.width() * rgb.height() * 3);
    for (int y = 0; y < rgb.height(); ++y) {
        packed.append(reinterpret_cast<const char *>(rgb.constScanLine(y)), rgb.width() * 3);
    }
    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    const bool ok = compress(reinterpret_cast<const unsigned char *>(packed.constData()),
                             rgb.width(), rgb.height(), quality, &out, &outSize);
    QByteArray bytes;
    if (ok && out) {
        bytes = QByteArray(reinterpret_cast<const char *>(out), static_cast<qsizetype>(outSize));
    }
    std::free(out);
    return bytes;
}

#else

QByteArray encodeJpeg(const QImage &image, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(quality);
    if (!writer.write(image)) {
        return {};
    }
    return bytes;
}

#endif
