// The pen on each screen (hit areas, slider values, the drag band) and the
// slider knobs drawn for a volume.
#include <algorithm>
#include <climits>
#include <iterator>
#include <tuple>

#include "support/world_fixture.h"
#include "ui/ui.h"

namespace {

constexpr uint16_t KNOB = 0x8235;

class Menus : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        audioOpen = false;
        gameState = STATE_MENU;
        resumeState = STATE_GAME_OVER;  // a screen no tap pauses from
        sfxVolume = musicVolume = 128;
    }
    static uint16_t px(int x, int y) { return backBuffer[y * SCREEN_WIDTH + x]; }
};

TEST_F(Menus, SlidersTakeThePenInTheirRowsAndValueItsColumn) {
    // Pen at x, y; effect and music volume after, from 77 each. Column 98 is
    // silence, each pixel right adds 2, and from 226 the slider is full.
    const int presses[][4] = {
        {87, 130, 77, 77},   {88, 130, 0, 77},    {97, 130, 0, 77},    {98, 130, 0, 77},
        {99, 130, 2, 77},    {160, 130, 124, 77}, {225, 130, 254, 77}, {226, 130, 255, 77},
        {240, 130, 255, 77}, {97, 150, 77, 0},    {99, 150, 77, 2},    {226, 150, 77, 255},
        {150, 126, 77, 77},  {150, 127, 104, 77}, {150, 139, 104, 77}, {150, 140, 77, 77},
        {150, 141, 77, 77},  {150, 142, 77, 104}, {150, 154, 77, 104}, {150, 155, 77, 77}};
    for (auto& [x, y, sfx, music] : presses) {
        sfxVolume = musicVolume = 77;
        handleMenuPen(STATE_MENU, x, y);
        EXPECT_EQ(sfxVolume, sfx) << x << "," << y;
        EXPECT_EQ(musicVolume, music) << x << "," << y;
    }
}

TEST_F(Menus, OnlyTheUpperEffectSliderFollowsADrag) {
    // Pen moved to x, y, and the effect volume after; no move reaches the music
    // slider or an item, and nothing follows the pen outside the menus.
    const int moves[][3] = {{98, 127, 0},    {226, 135, 255}, {150, 135, 104}, {97, 130, 128},
                            {227, 130, 128}, {150, 136, 128}, {150, 126, 128}, {150, 145, 128},
                            {60, 300, 128},  {190, 250, 128}};
    for (GameState s : {STATE_MENU, STATE_PAUSED, STATE_PLAYING}) {
        for (auto& [x, y, sfx] : moves) {
            gameState = s;
            sfxVolume = musicVolume = 128;
            onPenMove(x, y);
            EXPECT_EQ(sfxVolume, s == STATE_PLAYING ? 128 : sfx) << s << " at " << x << "," << y;
            EXPECT_EQ(musicVolume, 128);
            EXPECT_EQ(gameState, s);
        }
    }
}

TEST_F(Menus, PenPressesByScreen) {
    // Screen, pen position, and the screen after the press: every state has
    // its rows.
    const std::tuple<GameState, int, int, GameState> taps[] = {
        {STATE_PLAYING, 120, 60, STATE_PAUSED},          {STATE_LEVEL_CLEARED, 10, 280, STATE_PAUSED},
        {STATE_NEXT_LEVEL, 5, 5, STATE_PAUSED},          {STATE_SHIP_LOST, 10, 280, STATE_SHIP_LOST},
        {STATE_GAME_OVER, 120, 60, STATE_GAME_OVER},     {STATE_TITLE, 120, 160, STATE_MENU},
        {STATE_EXITING, 10, 10, STATE_EXITING},          {STATE_REDEFINE_KEYS, 120, 240, STATE_REDEFINE_KEYS},
        {STATE_REDEFINE_KEYS, 10, 280, STATE_REDEFINE_KEYS},
        {STATE_MENU, 10, 280, STATE_PLAYING},            {STATE_MENU, 140, 320, STATE_PLAYING},
        {STATE_MENU, 9, 300, STATE_MENU},                {STATE_MENU, 120, 279, STATE_MENU},
        {STATE_MENU, 155, 300, STATE_MENU},              {STATE_MENU, 170, 280, STATE_EXITING},
        {STATE_MENU, 231, 300, STATE_MENU},              {STATE_MENU, 49, 230, STATE_REDEFINE_KEYS},
        {STATE_MENU, 48, 240, STATE_MENU},               {STATE_MENU, 100, 321, STATE_MENU},
        {STATE_MENU, 192, 257, STATE_MENU},              {STATE_PAUSED, 10, 320, STATE_GAME_OVER},
        {STATE_PAUSED, 230, 320, STATE_SHIP_LOST},       {STATE_PAUSED, 191, 257, STATE_REDEFINE_KEYS},
        {STATE_PAUSED, 155, 300, STATE_PAUSED}};
    for (auto [from, x, y, want] : taps) {
        SetUp();
        gameState = from;
        shipVelocityX = 2.5f;  // as a game given up from the pause screen leaves it
        onPenPress(x, y);
        EXPECT_EQ(gameState, want) << from << " tapped at " << x << "," << y;
        // A game given up blows up.
        EXPECT_EQ(played(EFFECT_SHIP_LOST), from != want && want == STATE_SHIP_LOST);
        EXPECT_EQ(shipVelocityX, want == STATE_PLAYING ? 0.0f : 2.5f);  // a new game starts at rest
        EXPECT_EQ(exitCountdown, from == STATE_EXITING ? 1 : 100);
        // Pausing, or a redefinition, remembers the screen to go back to.
        const bool remembers = want == STATE_PAUSED || want == STATE_REDEFINE_KEYS;
        EXPECT_EQ(resumeState, remembers && from != want ? from : STATE_GAME_OVER);
    }
}

TEST_F(Menus, KnobsStandAtHalfTheVolume) {
    // Volume and knob column; the music slider shows the next row's volume.
    // Hand-edited volumes past 0..255 stand at half the volume too, unless
    // the knob would leave the screen.
    const std::pair<int, int> knobs[] = {{0, 97},     {3, 98},       {128, 161},    {255, 224},
                                         {256, 225},  {279, 236},    {280, 236},    {-1, 96},
                                         {-188, 3},   {-189, 3},     {INT_MIN, 3},  {INT_MAX, 236}};
    constexpr int N = std::size(knobs);
    for (int i = 0; i < N; i++) {
        std::memset(backBuffer, 0, SCREEN_BYTES);
        sfxVolume = knobs[i].first;
        musicVolume = knobs[(i + 1) % N].first;
        musicTrack = 9;  // the panel names the one tune there is, and that is saved
        drawOptions();
        EXPECT_EQ(musicTrack, 2);
        // A one-pixel column over the track between two seven-pixel caps.
        for (auto [c, top] : {std::pair{knobs[i].second, 129}, {knobs[(i + 1) % N].second, 144}}) {
            // The track: six rows from `top`, starting at column 92.
            EXPECT_TRUE(px(92, top) && px(92, top + 5) && !px(92, top - 1) && !px(92, top + 6));
            EXPECT_TRUE(!px(91, top + 2) && px(229, top + 2) && !px(230, top + 2));
            for (int y = top - 3; y <= top + 8; y++)
                EXPECT_EQ(px(c, y) == KNOB, y >= top - 2 && y <= top + 7) << c << "," << y;
            for (int dx = std::max(-4, -c); dx <= std::min(4, 239 - c); dx++) {
                EXPECT_EQ(px(c + dx, top - 2) == KNOB, std::abs(dx) <= 3) << c + dx << "," << top;
                EXPECT_EQ(px(c + dx, top + 2) == KNOB, dx == 0) << c + dx << "," << top;
            }
        }
    }
}

} // namespace
