// The generated pictures as the game loads them: exact sizes, every frame the
// game's sprites can show lies inside its sheet and is not empty, no two
// frames share an opaque pixel, opaque pixels never turn into the transparent
// value, the menu words stay inside their pen areas, and the generators give
// the same bytes on every run.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "app/app.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;
const std::string DATA = CORVUS_DATA_DIR;

struct Expected {
    int file, width, height;
};
const Expected PICTURES[] = {{1, 240, 320}, {2, 200, 850}, {3, 500, 300}, {4, 240, 60}, {5, 774, 459},
                             {6, 240, 320}, {7, 240, 180}, {8, 142, 200}, {9, 240, 100}};

TEST(ArtPictures, NinePicturesHaveTheirExactSizesAndKeepTransparencyExact) {
    for (const Expected& e : PICTURES) {
        const std::string path = DATA + "/pp" + std::to_string(e.file);
        PlatformImage img;
        ASSERT_TRUE(img.load(path.c_str())) << path;
        EXPECT_EQ(img.width(), e.width) << path;
        EXPECT_EQ(img.height(), e.height) << path;
        ASSERT_EQ(img.depth(), 32) << path;
        // A pixel is either fully transparent and black, or opaque and not
        // black after the game's 16-bit conversion (which would hide it).
        int bad = 0;
        for (int y = 0; y < img.height(); ++y) {
            const auto* line = reinterpret_cast<const uint32_t*>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x) {
                const uint32_t v = line[x];
                const bool opaque = (v >> 24) != 0;
                if (opaque ? colourRule(v) == 0 : (v & 0xFFFFFF) != 0) ++bad;
            }
        }
        EXPECT_EQ(bad, 0) << path;
    }
}

// Loads every picture the way the game does and creates the game's sprites.
class GameSheets : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (int i = 1; i <= 9; ++i) std::snprintf(picturePaths[i], PATH_SIZE, "%s/pp%d", DATA.c_str(), i);
        allocateBuffers();
        loadAllPictures();
        createSprites();
    }
};

struct Shown {
    const Sprite* sprite;
    const uint16_t* pixels;
    int frames;        // frames the game can put on screen
    std::string name;
};

const uint16_t* sheetPixels(const Sprite* s) {
    switch (s->sheetWidth) {
    case 200: return rockSheetPixels;
    case 500: return textSheetPixels;
    case 774: return by64SheetPixels;
    case 142: return menuItemPixels;
    default: return nullptr;
    }
}

std::vector<Shown> shownSprites() {
    std::vector<Shown> list;
    const auto add = [&](const Sprite* s, const std::string& name, int frames = -1) {
        list.push_back({s, sheetPixels(s), frames < 0 ? s->frameCount : frames, name});
    };
    for (int i = 0; i < SHIP_HEADINGS; ++i) add(shipSprites[i], "ship " + std::to_string(i));
    add(bonusCarrier, "carrier");
    add(powerUpIcon, "power-up icon");
    add(bossShip, "boss");
    add(shotSprites[0], "shot");
    add(bossShot, "boss shot");
    add(scoreDigits[0], "score digits");
    add(highScoreDigits[0], "high score digits");
    for (int i = 0; i < MENU_ITEMS; ++i) add(menuItemSprites[i], "menu item " + std::to_string(i));
    add(levelDigits[0], "level digits");
    add(levelLabel, "level label");
    add(messageSprite, "messages");
    add(keyPromptSprite, "key prompts");
    add(keyInUseSprite, "key in use", 1);   // only its first frame is ever shown
    add(livesDigit, "lives digit");
    add(livesIcon, "lives icon");
    add(shipExplosion, "explosion");
    add(driftingScenery, "scenery");
    add(bossHitFlash, "boss hit flash");
    add(shieldSprite, "shield");
    add(bossWarp, "boss warp");
    add(trackNameSprite, "track name", 3);
    for (int i = 0; i < BIG_ROCKS; ++i) add(bigRocks[i], "big rock " + std::to_string(i));
    add(bigRockExplosions[0], "big rock explosion");
    add(mediumRocks[0], "medium rock");
    add(smallRocks[0], "small rock");
    return list;
}

struct FrameBox {
    const uint16_t* pixels;
    int sheetWidth, x, y, w, h;
    std::string what;
};

bool opaqueAt(const FrameBox& b, int x, int y) { return b.pixels[size_t(y) * b.sheetWidth + x] != 0; }

TEST_F(GameSheets, EveryShownFrameFitsIsPaintedAndCollidesWithNoOther) {
    std::map<std::tuple<const uint16_t*, int, int, int, int>, FrameBox> boxes;
    for (const Shown& s : shownSprites()) {
        ASSERT_NE(s.pixels, nullptr) << s.name;
        for (int f = 0; f < s.frames; ++f) {
            const Sprite& sp = *s.sprite;
            const FrameBox b{s.pixels, sp.sheetWidth, f * (sp.width + 1), sp.sheetRow * (sp.height + 1),
                             sp.width, sp.height, s.name + " frame " + std::to_string(f)};
            ASSERT_LE(b.x + b.w, sp.sheetWidth) << b.what;
            ASSERT_LE(b.y + b.h, sp.sheetHeight) << b.what;
            int ink = 0;
            for (int y = b.y; y < b.y + b.h; ++y)
                for (int x = b.x; x < b.x + b.w; ++x) ink += opaqueAt(b, x, y);
            EXPECT_GT(ink, 0) << b.what << " is empty";
            boxes.emplace(std::make_tuple(b.pixels, b.x, b.y, b.w, b.h), b);
        }
    }
    std::vector<FrameBox> all;
    for (auto& [key, b] : boxes) all.push_back(b);
    EXPECT_GE(all.size(), 200u);   // every strip of the game took part
    for (size_t i = 0; i < all.size(); ++i)
        for (size_t j = i + 1; j < all.size(); ++j) {
            const FrameBox &a = all[i], &b = all[j];
            if (a.pixels != b.pixels) continue;
            const int x0 = std::max(a.x, b.x), x1 = std::min(a.x + a.w, b.x + b.w);
            const int y0 = std::max(a.y, b.y), y1 = std::min(a.y + a.h, b.y + b.h);
            int shared = 0;
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x) shared += opaqueAt(a, x, y);
            EXPECT_EQ(shared, 0) << a.what << " and " << b.what << " share opaque pixels";
        }
}

TEST_F(GameSheets, MenuWordsStayInsideTheirPenAreas) {
    // Screen columns the pen can press for the lower items, and the last
    // row the item picture covers.
    const int penLeft[MENU_ITEMS] = {0, 10, 10, 170, 170, 0, 0};
    const int penRight[MENU_ITEMS] = {239, 87, 87, 229, 229, 239, 239};
    for (int i = 0; i < MENU_ITEMS; ++i) {
        const Sprite& s = *menuItemSprites[i];
        int outside = 0, ink = 0;
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x) {
                if (!menuItemPixels[size_t(s.sheetRow * (s.height + 1) + y) * s.sheetWidth + x]) continue;
                ++ink;
                const int sx = int(s.x) + x;
                outside += sx < penLeft[i] || sx > penRight[i];
            }
        EXPECT_GT(ink, 0) << "menu item " << i;
        EXPECT_EQ(outside, 0) << "menu item " << i;
    }
}

TEST_F(GameSheets, BackgroundStaysDarkBehindThePlay) {
    double sum = 0;
    for (int i = 0; i < SCREEN_PIXELS; ++i) {
        const uint16_t p = backgroundPixels[i];
        sum += (((p >> 11) & 31) * 8 + ((p >> 5) & 63) * 4 + (p & 31) * 8) / 3.0;
    }
    EXPECT_LT(sum / SCREEN_PIXELS, 40.0);   // mean level of 0..255
}

std::vector<char> bytesOf(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

TEST(ArtGenerators, TwoRunsWriteTheSameBytesAsTheBuild) {
    const fs::path tools = fs::path(CORVUS_BIN_DIR) / ".." / "tools";
    const fs::path root = fs::temp_directory_path() / ("corvus_art_" + std::to_string(getpid()));
    const char* generators[] = {"corvus_genpictures", "corvus_gensounds", "corvus_genmusic"};
    for (int run = 0; run < 2; ++run) {
        const fs::path dir = root / std::to_string(run);
        fs::create_directories(dir);
        for (const char* g : generators) {
            const std::string cmd = (tools / g).string() + " " + dir.string();
            ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        }
    }
    int files = 0;
    for (const auto& entry : fs::directory_iterator(root / "0")) {
        const fs::path name = entry.path().filename();
        const std::vector<char> first = bytesOf(entry.path());
        EXPECT_FALSE(first.empty()) << name;
        EXPECT_EQ(first, bytesOf(root / "1" / name)) << name;
        EXPECT_EQ(first, bytesOf(fs::path(DATA) / name)) << name;
        ++files;
    }
    EXPECT_EQ(files, 9 + 11 + 1);
    fs::remove_all(root);
}

} // namespace
