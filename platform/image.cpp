// PlatformImage: picture decoding over QImage, normalised to the pixel depths
// the game's converter knows (1, 8 with a colour table, 16 RGB565, 32 ARGB).
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QVector>

#include "platform/platform.h"

namespace {
constexpr int GREY_LEVELS = 256;
}

struct PlatformImage::Impl {
    QImage image;
    QVector<QRgb> colours; // colour table of an 8-bit image
};

PlatformImage::PlatformImage() : impl_(new Impl) {}

PlatformImage::~PlatformImage() {
    delete impl_;
}

bool PlatformImage::load(const char* path) {
    // The game's picture files carry no suffix, so the reader always decides
    // the format from the file's first bytes.
    QImageReader reader(QFile::decodeName(path));
    reader.setDecideFormatFromContent(true);
    QImage decoded = reader.read();
    if (decoded.isNull()) {
        impl_->image = QImage();
        impl_->colours.clear();
        return false;
    }

    switch (decoded.format()) {
    case QImage::Format_Indexed8:
        impl_->colours = decoded.colorTable();
        impl_->image = decoded;
        break;
    case QImage::Format_Grayscale8: {
        // Keep the 8-bit indices and describe them by a grey ramp.
        QImage indexed(decoded.constBits(), decoded.width(), decoded.height(),
                       decoded.bytesPerLine(), QImage::Format_Indexed8);
        impl_->colours.resize(GREY_LEVELS);
        for (int i = 0; i < GREY_LEVELS; ++i)
            impl_->colours[i] = qRgb(i, i, i);
        indexed.setColorTable(impl_->colours);
        impl_->image = indexed.copy(); // detach from the grey image's bits
        break;
    }
    case QImage::Format_RGB16:
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        impl_->colours = decoded.colorTable();
        impl_->image = decoded;
        break;
    default:
        impl_->colours.clear();
        impl_->image = decoded.convertToFormat(QImage::Format_ARGB32);
        break;
    }
    return !impl_->image.isNull();
}

int PlatformImage::width() const {
    return impl_->image.width();
}
int PlatformImage::height() const {
    return impl_->image.height();
}
int PlatformImage::depth() const {
    return impl_->image.isNull() ? 0 : impl_->image.depth();
}
int PlatformImage::colorCount() const {
    return int(impl_->colours.size());
}

uint32_t PlatformImage::color(int i) const {
    if (i < 0 || i >= impl_->colours.size()) return 0;
    return impl_->colours[i];
}

const uint8_t* PlatformImage::scanLine(int y) const {
    return impl_->image.constScanLine(y);
}
int PlatformImage::bytesPerLine() const {
    return int(impl_->image.bytesPerLine());
}
