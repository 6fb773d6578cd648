// Drawing of the play field, back to front, and the shield's energy step with
// its bar. Drawing only adds to the background the frame driver copied in.
#include "audio/audio.h"
#include "game/game.h"
#include "game/world.h"

namespace {

// Shield energy, in energy units per frame.
constexpr int32_t SHIELD_FAST_DRAIN_LEVEL = 8;   // from this level on
constexpr float SHIELD_DRAIN = 1.52f;
constexpr float SHIELD_DRAIN_HARD = 2.52f;
constexpr float SHIELD_RECHARGE = 4.2f;
constexpr float SHIELD_RECHARGE_HARD = 1.23f;
constexpr float SHIELD_LOW = 50.0f;
constexpr int32_t SHIELD_FLASH_FRAMES = 7;

// Energy bar: three columns standing on row 307, one row per energy unit.
constexpr int32_t BAR_LEFT = 228;
constexpr int32_t BAR_RIGHT = 230;
constexpr int32_t BAR_BASE = 308;                // first row below the bar
constexpr uint16_t COLOUR_RED = 0xF800;
constexpr uint16_t COLOUR_YELLOW = 0xFFE0;

constexpr int32_t ICON_VISIBLE_ABOVE = 7;        // blink counter values that show the icon

inline void drawFrom(Sprite* s, const uint16_t* sheet) {
    if (s->active) s->draw(sheet, backBuffer);
}

} // namespace

void updateShieldBar() {
    const bool hard = level >= SHIELD_FAST_DRAIN_LEVEL;
    if (shieldsUp) {
        if (shieldEnergy > 0.0f) {
            shieldEnergy -= hard ? SHIELD_DRAIN_HARD : SHIELD_DRAIN;
        } else {
            // Down once empty; the energy may stay slightly below zero.
            shieldsUp = false;
            shieldSprite->active = false;
        }
    } else if (shieldEnergy < SHIELD_FULL) {
        shieldEnergy += hard ? SHIELD_RECHARGE_HARD : SHIELD_RECHARGE;
    }

    if (shieldEnergy < SHIELD_LOW && !lowShieldWarned) {
        playEffect(EFFECT_SHIELD_LOW);
        lowShieldWarned = true;
    }
    // Only a recharge that overshoots re-arms the warning and flashes the bar.
    if (shieldEnergy > SHIELD_FULL) {
        lowShieldWarned = false;
        shieldEnergy = SHIELD_FULL;
        shieldFullFlash = SHIELD_FLASH_FRAMES;
    }
    uint16_t colour = COLOUR_RED;
    if (shieldEnergy == SHIELD_FULL && shieldFullFlash != 0) {
        --shieldFullFlash;
        colour = COLOUR_YELLOW;
    }
    fillRect(BAR_LEFT, BAR_BASE - int32_t(shieldEnergy), BAR_RIGHT, BAR_BASE, colour, backBuffer);
}

void drawWorld() {
    updateShieldBar();
    updateScoreDigits();

    for (int k = 0; k < DIGITS; ++k) {
        drawFrom(highScoreDigits[k], textSheetPixels);
        drawFrom(scoreDigits[k], textSheetPixels);
    }

    // The icon of a running power-up blinks: shown 7 frames, hidden 7.
    if (powerUpIcon->active) {
        const int32_t old = powerUpIconBlink;
        --powerUpIconBlink;
        if (old > ICON_VISIBLE_ABOVE) powerUpIcon->draw(textSheetPixels, backBuffer);
        if (powerUpIconBlink <= 0) powerUpIconBlink = POWER_UP_ICON_BLINK;
    }

    drawFrom(livesDigit, textSheetPixels);
    drawFrom(livesIcon, rockSheetPixels);
    for (Sprite* s : bigRocks) drawFrom(s, by64SheetPixels);
    for (Sprite* s : mediumRocks) drawFrom(s, rockSheetPixels);
    for (Sprite* s : bigRockExplosions) drawFrom(s, by64SheetPixels);
    for (Sprite* s : smallRocks) drawFrom(s, rockSheetPixels);
    for (Sprite* s : mediumRockExplosions) drawFrom(s, by64SheetPixels);
    for (Sprite* s : shotSprites) drawFrom(s, rockSheetPixels);
    drawFrom(bonusCarrier, textSheetPixels);
    drawFrom(bossShip, rockSheetPixels);
    drawFrom(bossWarp, by64SheetPixels);
    drawFrom(bossShot, rockSheetPixels);
    drawFrom(shipExplosion, by64SheetPixels);
    drawFrom(bossExplosion, by64SheetPixels);
    drawFrom(carrierExplosion, by64SheetPixels);
    drawFrom(bossHitFlash, rockSheetPixels);
    drawFrom(shieldSprite, rockSheetPixels);
    drawFrom(shipSprites[shipDirection], rockSheetPixels);
    drawFrom(driftingScenery, by64SheetPixels);

    if (levelBannerTimer != 0) {
        drawFrom(levelDigits[0], textSheetPixels);
        drawFrom(levelDigits[1], textSheetPixels);
        drawFrom(levelLabel, textSheetPixels);
    }
    if (gameOverTimer != 0 || levelEndTimer != 0 || highScoreMessageTimer != 0)
        drawFrom(messageSprite, textSheetPixels);
}
