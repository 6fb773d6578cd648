// Presenting the framebuffer: the tile comparison that finds what changed, and
// the whole-scale painting of the host window in native pixels.
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/internal.h"

namespace {

static_assert(DEVICE_WIDTH % PRESENT_TILE == 0 && DEVICE_HEIGHT % PRESENT_TILE == 0);
static_assert(DEVICE_HEIGHT / PRESENT_TILE <= 64);  // a row of tiles fits one 64-bit mask
constexpr int TILE_BYTES = PRESENT_TILE * 2;  // one tile row of RGB565 pixels
constexpr int TILE_WORDS = TILE_BYTES / 8;    // the same in 64-bit words

// An RGB565 pixel as opaque 32-bit RGB, each channel widened by repeating its
// top bits, the way Qt converts 16-bit images: full intensity stays full.
inline uint32_t rgb32(uint16_t p) {
    const uint32_t r = p >> 11, g = (p >> 5) & 0x3f, b = p & 0x1f;
    return 0xff000000u | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

// `count` RGB565 pixels as 32-bit RGB, eight at a time in the vector
// extension of GCC and Clang (the same arithmetic as rgb32, lane by lane).
typedef uint16_t PixelLanes __attribute__((vector_size(16)));
typedef uint32_t WideLanes __attribute__((vector_size(32)));
constexpr int LANES = int(sizeof(PixelLanes) / sizeof(uint16_t));

void widen(uint32_t* out, const uint16_t* src, int count) {
    int i = 0;
    for (; i + LANES <= count; i += LANES) {
        PixelLanes p;
        std::memcpy(&p, src + i, sizeof p);
        const WideLanes w = __builtin_convertvector(p, WideLanes);
        const WideLanes r = w >> 11, g = (w >> 5) & 0x3f, b = w & 0x1f;
        const WideLanes v = 0xff000000u | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) |
                            (b << 3 | b >> 2);
        std::memcpy(out + i, &v, sizeof v);
    }
    for (; i < count; ++i)
        out[i] = rgb32(src[i]);
}

// Bit t set when tile column t of the framebuffer row differs from the copy.
uint64_t changedTilesInRow(const uint8_t* row, const uint16_t* copy, int tiles) {
    uint64_t changed = 0;
    const auto* old = reinterpret_cast<const uint8_t*>(copy);
    for (int t = 0; t < tiles; ++t) {
        uint64_t diff = 0;
        for (int w = 0; w < TILE_WORDS; ++w) {
            uint64_t a, b;
            std::memcpy(&a, row + (t * TILE_WORDS + w) * 8, 8);
            std::memcpy(&b, old + (t * TILE_WORDS + w) * 8, 8);
            diff |= a ^ b;
        }
        changed |= uint64_t(diff != 0) << t;
    }
    return changed;
}

// Window columns left..right - 1.
struct Span {
    int left, right;
};

// Spans of the widest tile row (a landscape screen): enough for the runs of
// changed tiles of two tile rows together, each at most half of them.
constexpr int MAX_SPANS = DEVICE_HEIGHT / PRESENT_TILE;
constexpr int MAX_BANDS = 2 * DEVICE_HEIGHT / PRESENT_TILE + 1;  // two per tile row, and the last

// Spans `a` and `b`, each left to right, as one list left to right with the
// spans that overlap or touch joined; returns its length.
int mergeSpans(const Span* a, int na, const Span* b, int nb, Span* out) {
    int n = 0;
    for (int i = 0, j = 0; i < na || j < nb;) {
        const Span s = j >= nb || (i < na && a[i].left <= b[j].left) ? a[i++] : b[j++];
        if (n > 0 && s.left <= out[n - 1].right)
            out[n - 1].right = std::max(out[n - 1].right, s.right);
        else
            out[n++] = s;
    }
    return n;
}

// The window pixels a present repaints, built from its runs of changed tiles
// tile row by tile row, each rounded outward to whole window pixels, so that
// Qt repaints and sends on every native pixel of them. (Qt turns a window
// rectangle back into native pixels by rounding each edge to the nearest
// pixel, which keeps all of them.) At a fractional ratio two neighbouring
// tile rows then share a window row, which gets the runs of both. The region
// is made at once from bands of rows, as QRegion::setRects takes them: adding
// rectangles that overlap by a row one by one rebuilds the region every time,
// which made a busy present cost more than its painting.
class UpdateBands {
public:
    // The next tile row down: window rows top..bottom - 1, and its runs of
    // changed tiles, left to right (none for a tile row with no change).
    void add(int top, int bottom, const Span* runs, int count) {
        Span own[MAX_SPANS];
        count = mergeSpans(runs, count, nullptr, 0, own);  // runs that touch once rounded
        if (top < pendingBottom_) {
            Span both[MAX_SPANS];
            band(pendingTop_, top, pending_, pendingCount_);
            band(top, pendingBottom_, both, mergeSpans(pending_, pendingCount_, own, count, both));
            top = pendingBottom_;
        } else {
            band(pendingTop_, pendingBottom_, pending_, pendingCount_);
        }
        std::copy_n(own, count, pending_);
        pendingTop_ = top;
        pendingBottom_ = bottom;
        pendingCount_ = count;
    }

    // The region, once every tile row is in; starts afresh.
    QRegion take() {
        band(pendingTop_, pendingBottom_, pending_, pendingCount_);
        QRegion region;
        if (count_ > 0)
            region.setRects(rects_, count_);
        count_ = lastCount_ = pendingTop_ = pendingBottom_ = pendingCount_ = 0;
        return region;
    }

private:
    // Rows top..bottom - 1 showing `spans`; a band that goes on from the one
    // above with the same spans joins it.
    void band(int top, int bottom, const Span* spans, int count) {
        if (top >= bottom || count == 0)
            return;
        QRect* last = rects_ + count_ - lastCount_;
        if (lastCount_ == count && last->bottom() + 1 == top &&
            std::equal(spans, spans + count, last, [](const Span& s, const QRect& r) {
                return s.left == r.left() && s.right == r.right() + 1;
            })) {
            for (int i = 0; i < count; ++i)
                last[i].setBottom(bottom - 1);
            return;
        }
        for (int i = 0; i < count; ++i) {
            const Span& s = spans[i];
            rects_[count_++] = QRect(s.left, top, s.right - s.left, bottom - top);
        }
        lastCount_ = count;
    }

    QRect rects_[MAX_BANDS * MAX_SPANS];
    int count_ = 0, lastCount_ = 0;       // rectangles, and those of the last band
    Span pending_[MAX_SPANS];             // the tile row above, not yet a band
    int pendingTop_ = 0, pendingBottom_ = 0, pendingCount_ = 0;
};

// The native pixels that window rectangle `r` covers, edges outward.
QRect nativeRectCovering(const QRect& r, qreal ratio) {
    const int left = int(std::floor(r.left() * ratio));
    const int top = int(std::floor(r.top() * ratio));
    const int right = int(std::ceil((r.right() + 1) * ratio));
    const int bottom = int(std::ceil((r.bottom() + 1) * ratio));
    return QRect(left, top, right - left, bottom - top);
}

} // namespace

void DeviceWidget::Host::present() {
    followRatio();  // a ratio that changed without a screen change event
    const Placement at = placement();
    const int s = at.scale;
    const QPoint o = at.origin;
    const int tilesX = physicalWidth / PRESENT_TILE;
    const int rowBytes = physicalWidth * 2;
    // Native pixel n as the window pixel that holds it, and the first window
    // pixel after n - 1.
    const auto down = [&at](int n) { return int(std::floor(n / at.ratio)); };
    const auto up = [&at](int n) { return int(std::ceil(n / at.ratio)); };
    static UpdateBands changed;  // large; one present at a time, on the GUI thread
    for (int top = 0; top < physicalHeight; top += PRESENT_TILE) {
        uint64_t tiles = 0;
        for (int y = top; y < top + PRESENT_TILE; ++y) {
            const uint8_t* row = framebuffer + y * rowBytes;
            uint16_t* copy = shown_ + y * physicalWidth;
            if (std::memcmp(row, copy, size_t(rowBytes)) != 0)
                tiles |= changedTilesInRow(row, copy, tilesX);
        }
        // Runs of changed tiles: copied into shown_, and one span each.
        Span runs[MAX_SPANS];
        int count = 0;
        for (int tx = 0; tx < tilesX;) {
            if (!(tiles >> tx & 1)) {
                ++tx;
                continue;
            }
            const int first = tx;
            while (tx < tilesX && (tiles >> tx & 1))
                ++tx;
            for (int y = top; y < top + PRESENT_TILE; ++y)
                std::memcpy(shown_ + y * physicalWidth + first * PRESENT_TILE,
                            framebuffer + y * rowBytes + first * TILE_BYTES,
                            size_t(tx - first) * TILE_BYTES);
            runs[count++] = Span{down(o.x() + first * PRESENT_TILE * s),
                                 up(o.x() + tx * PRESENT_TILE * s)};
        }
        changed.add(down(o.y() + top * s), up(o.y() + (top + PRESENT_TILE) * s), runs, count);
    }
    const QRegion region = changed.take();
    if (!region.isEmpty())
        update(region);
}

namespace {

// Each of `count` pixels of `wide` written `S` times over.
template <int S>
uint32_t* spreadBy(uint32_t* out, const uint32_t* wide, int count) {
    for (int i = 0; i < count; ++i)
        for (int k = 0; k < S; ++k)
            *out++ = wide[i];
    return out;
}

uint32_t* spread(uint32_t* out, const uint32_t* wide, int count, int s) {
    switch (s) {
    case 1: return spreadBy<1>(out, wide, count);
    case 2: return spreadBy<2>(out, wide, count);
    case 3: return spreadBy<3>(out, wide, count);
    case 4: return spreadBy<4>(out, wide, count);
    default:
        for (int i = 0; i < count; ++i)
            out = std::fill_n(out, s, wide[i]);
        return out;
    }
}

} // namespace

// Writes native rectangle `r` of the window as 32-bit RGB into `out` (the
// pixel for the rectangle's top-left corner; `stride` pixels from one line to
// the next): shown_ replicated by the whole scale where the screen is, black
// around it.
void DeviceWidget::Host::paintRect(uint32_t* out, qsizetype stride, const QRect& r,
                                   const Placement& at) const {
    constexpr uint32_t BLACK = 0xff000000u;
    const int s = at.scale;
    const QPoint o = at.origin;
    const int left = std::max(r.left(), o.x());          // native columns showing the screen
    const int right = std::min(r.right() + 1, o.x() + physicalWidth * s);
    // Screen columns first..last are shown, `skip` native columns of the first
    // and `keep` of the last (the same one when only one is shown).
    const int first = (left - o.x()) / s, last = (right - 1 - o.x()) / s;
    const int skip = left - o.x() - first * s, keep = right - o.x() - last * s;
    uint32_t wide[DEVICE_HEIGHT];                        // one screen row, widened (320 at most)
    for (int y = r.top(); y <= r.bottom(); ++y, out += stride) {
        const int row = y - o.y();
        if (row < 0 || row >= physicalHeight * s || left >= right) {
            std::fill(out, out + r.width(), BLACK);
            continue;
        }
        // A line repeats the one above it unless it starts a new screen row.
        if (y > r.top() && row % s != 0) {
            std::memcpy(out, out - stride, size_t(r.width()) * 4);
            continue;
        }
        const uint16_t* src = shown_ + (row / s) * physicalWidth;
        widen(wide, src + first, last - first + 1);
        uint32_t* p = std::fill_n(out, left - r.left(), BLACK);
        if (first == last) {
            p = std::fill_n(p, keep - skip, wide[0]);
        } else {
            p = std::fill_n(p, s - skip, wide[0]);
            p = spread(p, wide + 1, last - first - 1, s);
            p = std::fill_n(p, keep, wide[last - first]);
        }
        std::fill(p, out + r.width(), BLACK);
    }
}

// Only what Qt asks for is drawn, and in native pixels: each window rectangle
// of the region becomes the native pixels it covers. Where the painter works
// on a 32-bit image (the window's backing store) at the window's ratio and a
// whole-pixel offset, the pixels go straight into it; anywhere else they go
// through a small image of the rectangle that the painter takes at one native
// pixel per pixel, never scaling it.
void DeviceWidget::Host::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    QPaintDevice* target = p.paintEngine() ? p.paintEngine()->paintDevice() : nullptr;
    QImage* image = target && target->devType() == QInternal::Image ? static_cast<QImage*>(target)
                                                                     : nullptr;
    const QTransform t = p.deviceTransform();
    const bool direct = image && image->depth() == 32 && t.type() <= QTransform::TxScale &&
                        t.m11() > 0 && t.m22() == t.m11() && t.dx() == int(t.dx()) &&
                        t.dy() == int(t.dy()) &&
                        (image->format() == QImage::Format_RGB32 ||
                         image->format() == QImage::Format_ARGB32 ||
                         image->format() == QImage::Format_ARGB32_Premultiplied);
    const qreal ratio = direct ? t.m11() : nativeRatio();
    const Placement at = placementAt(ratio);
    const QPoint shift = direct ? QPoint(int(t.dx()), int(t.dy())) : QPoint();
    for (const QRect& w : e->region()) {
        QRect r = nativeRectCovering(w, ratio);
        if (direct) {
            r &= image->rect().translated(-shift);
            if (r.isEmpty())
                continue;
            const QPoint to = r.topLeft() + shift;
            auto* line = reinterpret_cast<uint32_t*>(image->scanLine(to.y())) + to.x();
            paintRect(line, image->bytesPerLine() / 4, r, at);
        } else {
            QImage part(r.size(), QImage::Format_RGB32);
            paintRect(reinterpret_cast<uint32_t*>(part.bits()), part.bytesPerLine() / 4, r, at);
            part.setDevicePixelRatio(ratio);
            p.drawImage(QRectF(QPointF(r.topLeft()) / ratio, QSizeF(r.size()) / ratio), part);
        }
    }
}
