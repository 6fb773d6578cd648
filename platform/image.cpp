// PlatformImage: picture decoding, normalised to the pixel depths the game's
// converter knows (1, 8 with a colour table, 16 RGB565, 32 ARGB).
//
// Qt's image readers never hand back 16-bit pixels: an RGB565 bitmap comes out
// widened to 32 bits, and the game's colour rule would then lose the lowest
// green bit on the way back. Bitmaps stored as RGB565 are therefore read here
// directly into a 16-bit image, values unchanged; every other file goes
// through Qt.
//
// Every picture of the game is under 1024 pixels each way, so a file that
// claims more than MAX_PICTURE_SIDE either way is taken as damaged before any
// pixel memory is set aside. A file that is not a plain file (a pipe, a device,
// a folder) counts as damaged too; it is opened without waiting, so a pipe
// with no writer cannot stall the start.
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QVector>
#include <QtEndian>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/platform.h"

namespace {

constexpr int GREY_LEVELS = 256;
constexpr int64_t MAX_PICTURE_SIDE = 2048; // pixels: twice the largest picture's side

// ---------------------------------------------------------------------------
// RGB565 bitmaps. Layout (all numbers little-endian): a 14-byte file header
// ("BM", file size, reserved, offset of the pixel rows), then an info header
// of at least 40 bytes (its own size, width, height, planes, bits per pixel,
// compression, ...). With the bit-field compression the red, green and blue
// masks follow at byte 54 of the file, either after a 40-byte header or
// inside a longer one. Rows are padded to 4 bytes; a positive height stores
// the bottom row first, a negative one the top row first.
// ---------------------------------------------------------------------------
constexpr int BMP_FILE_HEADER = 14;           // bytes
constexpr int BMP_INFO_HEADER_MIN = 40;       // bytes
constexpr int BMP_MASKS_END = 66;             // bytes: file header, info header, three masks
constexpr int BMP_PIXEL_OFFSET_AT = 10;       // byte offsets into the file
constexpr int BMP_INFO_SIZE_AT = 14;
constexpr int BMP_WIDTH_AT = 18;
constexpr int BMP_HEIGHT_AT = 22;
constexpr int BMP_BITS_AT = 28;
constexpr int BMP_COMPRESSION_AT = 30;
constexpr int BMP_RED_MASK_AT = 54;
constexpr int BMP_GREEN_MASK_AT = 58;
constexpr int BMP_BLUE_MASK_AT = 62;
constexpr uint32_t BMP_BITFIELDS = 3;         // compression code: pixels described by masks
constexpr uint32_t RGB565_RED = 0xF800, RGB565_GREEN = 0x07E0, RGB565_BLUE = 0x001F;

enum class Bmp565 { OtherFormat, Loaded, Damaged };

uint32_t le32(const uchar* p) { return qFromLittleEndian<quint32>(p); }

// Reads `file` into `out` when it is a 16-bit bit-field bitmap with the RGB565
// masks. OtherFormat leaves the file to Qt; Damaged (a header that does not
// add up, rows cut off by the end of the file) fails the load. Nothing is read
// past the end of the file.
Bmp565 readRgb565Bitmap(QFile& file, QImage& out) {
    uchar h[BMP_MASKS_END];
    const qint64 got = file.read(reinterpret_cast<char*>(h), BMP_MASKS_END);
    if (got < BMP_FILE_HEADER + BMP_INFO_HEADER_MIN || h[0] != 'B' || h[1] != 'M')
        return Bmp565::OtherFormat;
    if (le32(h + BMP_INFO_SIZE_AT) < uint32_t(BMP_INFO_HEADER_MIN) ||
        qFromLittleEndian<quint16>(h + BMP_BITS_AT) != 16 ||
        le32(h + BMP_COMPRESSION_AT) != BMP_BITFIELDS)
        return Bmp565::OtherFormat;
    if (got < BMP_MASKS_END) return Bmp565::Damaged;  // masks announced but missing
    if (le32(h + BMP_RED_MASK_AT) != RGB565_RED || le32(h + BMP_GREEN_MASK_AT) != RGB565_GREEN ||
        le32(h + BMP_BLUE_MASK_AT) != RGB565_BLUE)
        return Bmp565::OtherFormat;  // 16 bits of another layout: widened by Qt, then converted

    const int64_t width = qint32(le32(h + BMP_WIDTH_AT));
    const int64_t storedHeight = qint32(le32(h + BMP_HEIGHT_AT));
    const bool topDown = storedHeight < 0;
    const int64_t rows = topDown ? -storedHeight : storedHeight;
    if (width <= 0 || rows == 0 || width > MAX_PICTURE_SIDE || rows > MAX_PICTURE_SIDE)
        return Bmp565::Damaged;
    const int64_t rowBytes = width * 2;
    const int64_t stride = (rowBytes + 3) / 4 * 4;
    const int64_t first = le32(h + BMP_PIXEL_OFFSET_AT);
    // The last row's padding may be missing; its pixels may not.
    if (first + stride * (rows - 1) + rowBytes > file.size()) return Bmp565::Damaged;

    QImage image(int(width), int(rows), QImage::Format_RGB16);
    if (image.isNull()) return Bmp565::Damaged;
    for (int64_t r = 0; r < rows; ++r) {
        uchar* line = image.scanLine(int(topDown ? r : rows - 1 - r));
        if (!file.seek(first + r * stride) ||
            file.read(reinterpret_cast<char*>(line), rowBytes) != rowBytes)
            return Bmp565::Damaged;
        qFromLittleEndian<quint16>(line, qsizetype(width), line);
    }
    out = image;
    return Bmp565::Loaded;
}

// Some decoders print their own complaint about a damaged file straight onto
// standard error (the PNG library writes "libpng error: ..."); the game says
// what failed in its own words instead. While a file is decoded, standard
// error therefore points at /dev/null. Decoding runs once per picture at
// start-up on the GUI thread, before any other thread has anything to say.
class QuietStandardError {
public:
    QuietStandardError() {
        std::fflush(stderr);
        const int sink = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (sink < 0) return;  // nothing to point at: decode with the output as it is
        saved_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
        if (saved_ >= 0 && dup2(sink, STDERR_FILENO) < 0) {
            close(saved_);
            saved_ = -1;
        }
        close(sink);
    }
    ~QuietStandardError() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int saved_ = -1;  // the real standard error while it is silenced
};

} // namespace

struct PlatformImage::Impl {
    QImage image;
    QVector<QRgb> colours; // colour table of an 8-bit image

    bool fail() {
        image = QImage();
        colours.clear();
        return false;
    }
};

PlatformImage::PlatformImage() : impl_(new Impl) {}

PlatformImage::~PlatformImage() {
    delete impl_;
}

bool PlatformImage::load(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return impl_->fail();
    struct stat st;
    QFile file;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return impl_->fail();
    }

    switch (readRgb565Bitmap(file, impl_->image)) {
    case Bmp565::Loaded:
        impl_->colours.clear();
        return true;
    case Bmp565::Damaged:
        return impl_->fail();
    case Bmp565::OtherFormat:
        break;
    }

    // The game's picture files carry no suffix, so the reader decides the
    // format from the file's first bytes.
    QImage decoded;
    if (file.seek(0)) {
        QuietStandardError quiet;
        QImageReader reader(&file);
        reader.setDecideFormatFromContent(true);
        const QSize size = reader.size(); // from the header, where the format tells it
        if (size.width() <= MAX_PICTURE_SIDE && size.height() <= MAX_PICTURE_SIDE)
            decoded = reader.read();
    }
    if (decoded.isNull() || decoded.width() > MAX_PICTURE_SIDE ||
        decoded.height() > MAX_PICTURE_SIDE)
        return impl_->fail();

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
