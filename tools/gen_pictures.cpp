// Builds the nine picture files of the game data directory: the sprite sheets
// laid out strip by strip, and the screen pictures.
//
// usage: corvus_genpictures <data directory>
#include <cstdio>
#include <string>

#include "platform/image_save.h"
#include "tools/art/layout.h"
#include "tools/pictures/pictures.h"

using namespace art;

namespace {

Image stripFrame(int strip, int frame) {
    if (strip >= STRIP_SHIP0 && strip < STRIP_SHIP0 + 16) return shipFrame(strip - STRIP_SHIP0, frame);
    if (strip >= STRIP_BIG_ROCK0 && strip < STRIP_BIG_ROCK0 + 3) return rockFrame(2, strip - STRIP_BIG_ROCK0, frame);
    if (strip >= STRIP_MENU_ITEM0) return menuItem(strip - STRIP_MENU_ITEM0);
    switch (strip) {
    case STRIP_MEDIUM_ROCK: return rockFrame(1, 0, frame);
    case STRIP_SMALL_ROCK: return rockFrame(0, 0, frame);
    case STRIP_SHOT: return shotFrame(frame);
    case STRIP_BOSS_SHOT: return bossShotFrame(frame);
    case STRIP_BOSS: return bossFrame(frame);
    case STRIP_BOSS_FLASH: return bossFlashFrame(frame);
    case STRIP_SHIELD: return shieldFrame(frame);
    case STRIP_EXPLOSION: return explosionFrame(frame);
    case STRIP_WARP: return warpFrame(frame);
    case STRIP_BIG_EXPLOSION: return bigExplosionFrame(frame);
    case STRIP_SCENERY: return sceneryFrame();
    case STRIP_SCORE_DIGITS: return scoreDigit(frame);
    case STRIP_LIVES_DIGITS: return livesDigit(frame);
    case STRIP_LEVEL_DIGITS: return levelDigit(frame);
    case STRIP_LEVEL_LABEL: return levelLabel();
    case STRIP_MESSAGES: return message(frame);
    case STRIP_KEY_PROMPTS: return keyPrompt(frame);
    case STRIP_KEY_IN_USE: return keyInUse();
    case STRIP_TRACK_NAMES: return trackName(frame);
    case STRIP_CARRIER: return carrierFrame(frame);
    default: return Image();
    }
}

bool save(const std::string& dir, SheetId id, const Image& img) {
    const SheetInfo& info = SHEETS[id];
    if (img.w != info.width || img.h != info.height) {
        std::fprintf(stderr, "%s: painted %dx%d, expected %dx%d\n", info.file, img.w, img.h, info.width, info.height);
        return false;
    }
    const std::string path = dir + "/" + info.file;
    if (!savePng(path.c_str(), img.w, img.h, img.px.data())) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <data directory>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    Image sheets[SHEET_COUNT];
    for (int i = 0; i < SHEET_COUNT; ++i) sheets[i] = Image(SHEETS[i].width, SHEETS[i].height);
    for (int s = 0; s < STRIP_COUNT; ++s) {
        const StripInfo& info = STRIPS[s];
        for (int f = info.firstFrame; f < info.firstFrame + info.shown; ++f) {
            const Image frame = stripFrame(s, f);
            const Rect r = frameRect(info, f);
            if (frame.w != r.w || frame.h != r.h) {
                std::fprintf(stderr, "%s frame %d: painted %dx%d, expected %dx%d\n", info.name, f, frame.w, frame.h, r.w, r.h);
                return 1;
            }
            sheets[info.sheet].paste(frame, r.x, r.y);
        }
    }
    sheets[SHEET_BACKGROUND] = backgroundPicture();
    sheets[SHEET_TITLE] = titlePicture();
    sheets[SHEET_BANNER] = bannerPicture();
    sheets[SHEET_MENU_PANEL] = menuPanelPicture();
    sheets[SHEET_EXIT] = exitPicture();
    bool ok = true;
    for (int i = 0; i < SHEET_COUNT; ++i) ok = save(dir, SheetId(i), sheets[i]) && ok;
    return ok ? 0 : 1;
}
