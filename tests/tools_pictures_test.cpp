// The generated pictures as the game loads them: exact sizes, every frame the
// game's sprites can show lies inside its sheet and is not empty, no two
// frames share an opaque pixel, opaque pixels never turn into the transparent
// value, the menu words stay inside their pen areas, and the generators give
// the same bytes on every run.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "support/runner.h"

namespace {

namespace fs = std::filesystem;
const std::string DATA = CORVUS_DATA_DIR;

TEST(ArtPictures, NinePicturesHaveTheirExactSizesAndKeepTransparencyExact) {
    const int sizes[10][2] = {{}, {240, 320}, {200, 850}, {500, 300}, {240, 60}, {774, 459},
                              {240, 320}, {240, 180}, {142, 200}, {240, 100}};
    for (int file = 1; file <= 9; ++file) {
        const std::string path = DATA + "/pp" + std::to_string(file);
        PlatformImage img;
        ASSERT_TRUE(img.load(path.c_str())) << path;
        EXPECT_EQ(std::pair(img.width(), img.height()), std::pair(sizes[file][0], sizes[file][1]));
        ASSERT_EQ(img.depth(), 32) << path;
        // A pixel is either fully transparent and black, or opaque and not
        // black after the game's 16-bit conversion (which would hide it).
        int bad = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const uint32_t v = reinterpret_cast<const uint32_t*>(img.scanLine(y))[x];
                bad += (v >> 24) != 0 ? colourRule(v) == 0 : (v & 0xFFFFFF) != 0;
            }
        EXPECT_EQ(bad, 0) << path;
    }
}

// Loads every picture the way the game does and creates the game's sprites.
class GameSheets : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (int i = 1; i <= 9; ++i)
            std::snprintf(picturePaths[i], PATH_SIZE, "%s/pp%d", DATA.c_str(), i);
        allocateBuffers();
        loadAllPictures();
        createSprites();
    }
};

// One frame's place on its sheet.
struct FrameBox {
    const uint16_t* pixels;
    int sheetWidth, x, y, w, h;
    std::string what;
    bool opaque(int px, int py) const { return pixels[size_t(py) * sheetWidth + px] != 0; }
};

TEST_F(GameSheets, EveryShownFrameFitsIsPaintedAndCollidesWithNoOther) {
    // Every strip the game shows, and how many of its frames it can show
    // (0: all of them).
    std::vector<std::pair<const Sprite*, int>> shown;
    for (const Sprite* s : shipSprites) shown.push_back({s, 0});
    for (const Sprite* s : bigRocks) shown.push_back({s, 0});
    for (const Sprite* s : menuItemSprites) shown.push_back({s, 0});
    for (const Sprite* s :
         {bonusCarrier, powerUpIcon, bossShip, shotSprites[0], bossShot, scoreDigits[0],
          highScoreDigits[0], levelDigits[0], levelLabel, messageSprite, keyPromptSprite,
          livesDigit, livesIcon, shipExplosion, driftingScenery, bossHitFlash, shieldSprite,
          bossWarp, bigRockExplosions[0], mediumRocks[0], smallRocks[0]})
        shown.push_back({s, 0});
    shown.push_back({keyInUseSprite, 1});  // only its first frame is ever shown
    shown.push_back({trackNameSprite, 3});

    std::map<std::tuple<const uint16_t*, int, int, int, int>, FrameBox> boxes;
    for (auto [sp, frames] : shown) {
        const uint16_t* pixels = sp->sheetWidth == 200   ? rockSheetPixels
                                 : sp->sheetWidth == 500 ? textSheetPixels
                                 : sp->sheetWidth == 774 ? by64SheetPixels
                                                         : menuItemPixels;
        for (int f = 0; f < (frames ? frames : sp->frameCount); ++f) {
            const FrameBox b{pixels, sp->sheetWidth, f * (sp->width + 1),
                             sp->sheetRow * (sp->height + 1), sp->width, sp->height,
                             "sheet " + std::to_string(sp->sheetWidth) + " row " +
                                 std::to_string(sp->sheetRow) + " frame " + std::to_string(f)};
            ASSERT_LE(b.x + b.w, sp->sheetWidth) << b.what;
            ASSERT_LE(b.y + b.h, sp->sheetHeight) << b.what;
            int ink = 0;
            for (int y = b.y; y < b.y + b.h; ++y)
                for (int x = b.x; x < b.x + b.w; ++x) ink += b.opaque(x, y);
            EXPECT_GT(ink, 0) << b.what << " is empty";
            boxes.emplace(std::make_tuple(b.pixels, b.x, b.y, b.w, b.h), b);
        }
    }
    EXPECT_GE(boxes.size(), 200u);  // every strip of the game took part
    for (auto a = boxes.begin(); a != boxes.end(); ++a)
        for (auto b = std::next(a); b != boxes.end() && b->second.pixels == a->second.pixels; ++b) {
            const FrameBox &p = a->second, &q = b->second;
            int shared = 0;
            for (int y = std::max(p.y, q.y); y < std::min(p.y + p.h, q.y + q.h); ++y)
                for (int x = std::max(p.x, q.x); x < std::min(p.x + p.w, q.x + q.w); ++x)
                    shared += p.opaque(x, y);
            EXPECT_EQ(shared, 0) << p.what << " and " << q.what << " share opaque pixels";
        }
}

TEST_F(GameSheets, MenuWordsStayInsideTheirPenAreasOverADarkBackground) {
    // Screen columns the pen can press for each item.
    const int penLeft[MENU_ITEMS] = {0, 10, 10, 170, 170, 0, 0};
    const int penRight[MENU_ITEMS] = {239, 87, 87, 229, 229, 239, 239};
    for (int i = 0; i < MENU_ITEMS; ++i) {
        const Sprite& s = *menuItemSprites[i];
        int outside = 0, ink = 0;
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x) {
                if (!menuItemPixels[size_t(s.sheetRow * (s.height + 1) + y) * s.sheetWidth + x])
                    continue;
                ++ink;
                outside += int(s.x) + x < penLeft[i] || int(s.x) + x > penRight[i];
            }
        EXPECT_GT(ink, 0) << "menu item " << i;
        EXPECT_EQ(outside, 0) << "menu item " << i;
    }
    // The play stays readable: the background's mean level (0..255) is low.
    double sum = 0;
    for (int i = 0; i < SCREEN_PIXELS; ++i) {
        const uint16_t p = backgroundPixels[i];
        sum += (((p >> 11) & 31) * 8 + ((p >> 5) & 63) * 4 + (p & 31) * 8) / 3.0;
    }
    EXPECT_LT(sum / SCREEN_PIXELS, 40.0);
}

TEST(ArtGenerators, TwoRunsWriteTheSameBytesAsTheBuild) {
    const fs::path tools = fs::path(CORVUS_BIN_DIR) / ".." / "tools";
    const fs::path root = makeTempDir("art");
    for (const char* run : {"0", "1"}) {
        fs::create_directories(root / run);
        for (const char* g : {"corvus_genpictures", "corvus_gensounds", "corvus_genmusic"}) {
            const std::string cmd = (tools / g).string() + " " + (root / run).string();
            ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        }
    }
    int files = 0;
    for (const auto& entry : fs::directory_iterator(root / "0")) {
        const fs::path name = entry.path().filename();
        const std::string first = readTextFile(entry.path());
        EXPECT_FALSE(first.empty()) << name;
        EXPECT_TRUE(first == readTextFile(root / "1" / name)) << name;
        EXPECT_TRUE(first == readTextFile(DATA + "/" + name.string())) << name;
        ++files;
    }
    EXPECT_EQ(files, 9 + 11 + 1);
}

} // namespace
