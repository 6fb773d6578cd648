// Writes a moving preview of a recorded game: the replay is played back
// headless, the way --verify plays it, and a stretch of its frames becomes an
// animated GIF, drawn from the back buffer itself.
//
// usage: corvus_replay_preview <data directory> <replay> <out.gif> [first second] [seconds]
//
// The picture is the device screen at its own size, every second frame (25
// frames a second). The palette holds the 255 colours the stretch uses most
// (every other colour takes the nearest of them); each frame after the first
// stores only the rectangle that changed, with unchanged pixels transparent.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/replay.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "platform/platform.h"

namespace {

constexpr int FRAME_STEP = 2;            // game frames per picture
constexpr int DELAY_CS = 4;              // hundredths of a second per picture
constexpr int COLOURS = 256;
constexpr int TRANSPARENT = 255;         // palette index of "unchanged"
constexpr int W = SCREEN_WIDTH, H = SCREEN_HEIGHT;

using Frame = std::vector<uint16_t>;

int red(uint16_t c) { return ((c >> 11) & 31) * 255 / 31; }
int green(uint16_t c) { return ((c >> 5) & 63) * 255 / 63; }
int blue(uint16_t c) { return (c & 31) * 255 / 31; }

// GIF's variable-length LZW, written in sub-blocks of up to 255 bytes.
class Lzw {
public:
    explicit Lzw(std::vector<uint8_t>& out) : out_(out) {}

    void encode(const std::vector<uint8_t>& pixels) {
        out_.push_back(MIN_BITS);
        reset();
        put(CLEAR);
        int prefix = pixels[0];
        for (size_t i = 1; i < pixels.size(); ++i) {
            const int key = prefix << 8 | pixels[i];
            const auto found = table_.find(key);
            if (found != table_.end()) {
                prefix = found->second;
                continue;
            }
            put(prefix);
            if (next_ < MAX_CODES) {
                table_[key] = next_++;
                if (next_ > (1 << bits_) && bits_ < MAX_BITS) ++bits_;
            } else {
                put(CLEAR);
                reset();
            }
            prefix = pixels[i];
        }
        put(prefix);
        put(END);
        if (used_ > 0) byte(uint8_t(acc_));
        flushBlock();
        out_.push_back(0);
    }

private:
    static constexpr int MIN_BITS = 8, CLEAR = 256, END = 257, MAX_BITS = 12, MAX_CODES = 4096;

    void reset() {
        table_.clear();
        next_ = END + 1;
        bits_ = MIN_BITS + 1;
    }
    void put(int code) {
        acc_ |= uint32_t(code) << used_;
        used_ += bits_;
        while (used_ >= 8) {
            byte(uint8_t(acc_));
            acc_ >>= 8;
            used_ -= 8;
        }
    }
    void byte(uint8_t b) {
        block_[blockUsed_++] = b;
        if (blockUsed_ == 255) flushBlock();
    }
    void flushBlock() {
        if (blockUsed_ == 0) return;
        out_.push_back(uint8_t(blockUsed_));
        out_.insert(out_.end(), block_, block_ + blockUsed_);
        blockUsed_ = 0;
    }

    std::vector<uint8_t>& out_;
    std::map<int, int> table_;
    int next_ = 0, bits_ = 0, used_ = 0, blockUsed_ = 0;
    uint32_t acc_ = 0;
    uint8_t block_[255] = {};
};

void word(std::vector<uint8_t>& out, int v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

bool writeGif(const std::vector<Frame>& frames, const char* path) {
    // The palette: the most used colours.
    std::map<uint16_t, long> uses;
    for (const Frame& f : frames)
        for (uint16_t c : f) ++uses[c];
    std::vector<std::pair<long, uint16_t>> byUse;
    for (auto [c, n] : uses) byUse.push_back({n, c});
    std::sort(byUse.rbegin(), byUse.rend());
    std::vector<uint16_t> palette;
    for (size_t i = 0; i < byUse.size() && palette.size() < TRANSPARENT; ++i)
        palette.push_back(byUse[i].second);
    std::map<uint16_t, uint8_t> index;
    for (auto [c, n] : uses) {
        int best = 0, bestDistance = 1 << 30;
        for (size_t k = 0; k < palette.size(); ++k) {
            const int dr = red(c) - red(palette[k]), dg = green(c) - green(palette[k]),
                      db = blue(c) - blue(palette[k]);
            const int d = dr * dr + dg * dg + db * db;
            if (d < bestDistance) best = int(k), bestDistance = d;
        }
        index[c] = uint8_t(best);
    }

    std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    word(out, W);
    word(out, H);
    out.insert(out.end(), {0xf7, 0, 0});  // global palette of 256 entries
    for (int k = 0; k < COLOURS; ++k) {
        const uint16_t c = k < int(palette.size()) ? palette[k] : 0;
        out.insert(out.end(), {uint8_t(red(c)), uint8_t(green(c)), uint8_t(blue(c))});
    }
    // Loop for ever.
    out.insert(out.end(), {0x21, 0xff, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0',
                           3, 1, 0, 0, 0});
    const Frame* previous = nullptr;
    for (const Frame& f : frames) {
        int left = 0, top = 0, right = W - 1, bottom = H - 1;
        if (previous) {
            left = W, top = H, right = -1, bottom = -1;
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    if (f[y * W + x] != (*previous)[y * W + x]) {
                        left = std::min(left, x), right = std::max(right, x);
                        top = std::min(top, y), bottom = std::max(bottom, y);
                    }
            if (right < 0) left = top = right = bottom = 0;  // a still frame: one pixel
        }
        out.insert(out.end(), {0x21, 0xf9, 4, uint8_t(previous ? 0x05 : 0x04)});
        word(out, DELAY_CS);
        out.insert(out.end(), {uint8_t(TRANSPARENT), 0});
        out.push_back(0x2c);
        word(out, left);
        word(out, top);
        word(out, right - left + 1);
        word(out, bottom - top + 1);
        out.push_back(0);
        std::vector<uint8_t> pixels;
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x) {
                const uint16_t c = f[y * W + x];
                pixels.push_back(previous && c == (*previous)[y * W + x] ? TRANSPARENT : index[c]);
            }
        Lzw(out).encode(pixels);
        previous = &f;
    }
    out.push_back(0x3b);
    FILE* file = std::fopen(path, "wb");
    const bool ok = file && std::fwrite(out.data(), 1, out.size(), file) == out.size();
    if (file && std::fclose(file) != 0) return false;
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fputs("usage: corvus_replay_preview <data directory> <replay> <out.gif> [first second] [seconds]\n",
                   stderr);
        return 2;
    }
    const int first = argc > 4 ? std::atoi(argv[4]) * 50 : 0;          // frames
    const int length = (argc > 5 ? std::atoi(argv[5]) : 12) * 50;       // frames
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    static int platformArgc = 1;
    PlatformApplication app(platformArgc, argv);
    for (int n = 1; n <= 9; ++n) std::snprintf(picturePaths[n], PATH_SIZE, "%s/pp%d", argv[1], n);
    allocateBuffers();
    if (!loadAllPictures()) return 1;
    createSprites();
    buildDirectionTables();
    replayMode = ReplayMode::VERIFY;
    seamUseSource(InputSource::PLAYED);
    setClockReader(seamClock);  // the recorded readings, as the game gets them

    ReplayFile file;
    std::string error;
    if (!loadReplay(argv[2], file, error) || !playerStart(file, error)) {
        std::fprintf(stderr, "corvus_replay_preview: %s\n", error.c_str());
        return 2;
    }
    std::vector<Frame> frames;
    for (int n = 0; n < first + length && !playerFinished(); ++n) {
        runFrame();
        if (n >= first && (n - first) % FRAME_STEP == 0) frames.emplace_back(backBuffer, backBuffer + W * H);
    }
    if (const char* what = playerDivergence()) {
        std::fprintf(stderr, "corvus_replay_preview: the replay differs at %s\n", what);
        return 1;
    }
    if (frames.empty() || !writeGif(frames, argv[3])) {
        std::fprintf(stderr, "corvus_replay_preview: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
