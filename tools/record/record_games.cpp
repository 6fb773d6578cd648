// Records one of the games the suite replays: the real program in its window
// (the offscreen platform) with its real 20 ms timer, played by a simple bot
// that looks at the screen's objects and answers with real key and pen events
// sent to the window. The game records itself, as every game does; the bot
// copies the replay out when the game is over.
//
//     corvus_record_game SCRIPT OUT      SCRIPT: long, keys or quit
//
//   long  plays until the last ship is lost (levels, the boss, power-ups, a
//         new high score)
//   keys  pauses and resumes by key, redefines the keys from the pause
//         screen, moves the effect slider, then plays on with the new keys
//   quit  plays two levels and gives the game up from the pause screen
#include <QCoreApplication>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/app.h"
#include "app/replay.h"
#include "game/game.h"
#include "platform/testdriver.h"
#include "ui/ui.h"

namespace {

// Host (Qt 6) key codes.
constexpr int QT_LEFT = 0x01000012, QT_UP = 0x01000013, QT_RIGHT = 0x01000014;
constexpr int QT_DOWN = 0x01000015, QT_F11 = 0x0100003a, QT_SPACE = 0x20;
constexpr double PI = 3.14159265358979;
constexpr float THREAT_DISTANCE = 70.0f;   // pixels from the ship's centre
constexpr int BOT_PERIOD = 7;              // ms between looks at the screen

struct Keys {
    int left, right, thrust, fire, shields, pause;
};
Keys keys = {QT_LEFT, QT_RIGHT, QT_UP, QT_SPACE, QT_DOWN, QT_F11};
const Keys NEW_KEYS = {'A', 'D', 'W', 'J', 'S', 'P'};

std::string script;
int heldTurn = 0;         // the turn key held down, 0 for none
bool played = false;      // a game has started
int pauses = 0;           // pauses made by the script
int redefined = 0;        // keys given on the redefinition screen
int lastFire = -100;      // levelFrames of the last fire press

void key(int k) {
    testdriver::sendKey(k, true);
    testdriver::sendKey(k, false);
}

void hold(int turn) {
    if (heldTurn == turn) return;
    if (heldTurn) testdriver::sendKey(heldTurn, false);
    if (turn) testdriver::sendKey(turn, true);
    heldTurn = turn;
}

float centreX(const Sprite* s) { return s->x + s->width / 2.0f; }
float centreY(const Sprite* s) { return s->y + s->height / 2.0f; }

// The nearest thing worth a shot, aimed where it will be when the shot gets there.
bool aim(float sx, float sy, float& ax, float& ay) {
    float best = 1e9f;
    auto consider = [&](const Sprite* s) {
        if (!s || !s->active) return;
        const float d = std::hypot(centreX(s) - sx, centreY(s) - sy);
        if (d >= best) return;
        const float t = d / (shotSpeed > 0 ? shotSpeed : 6.0f);
        best = d;
        ax = centreX(s) + s->vx * t;
        ay = centreY(s) + s->vy * t;
    };
    for (const Sprite* s : bigRocks) consider(s);
    for (const Sprite* s : mediumRocks) consider(s);
    for (const Sprite* s : smallRocks) consider(s);
    consider(bonusCarrier);
    consider(bossShip);
    return best < 1e9f;
}

bool threatened(float sx, float sy) {
    auto near = [&](const Sprite* s) {
        return s && s->active && std::hypot(centreX(s) - sx, centreY(s) - sy) < THREAT_DISTANCE;
    };
    for (const Sprite* s : bigRocks) if (near(s)) return true;
    for (const Sprite* s : mediumRocks) if (near(s)) return true;
    for (const Sprite* s : smallRocks) if (near(s)) return true;
    return near(bossShip) || near(bossShot);
}

void fight() {
    const Sprite* ship = shipSprites[shipDirection];
    const float sx = centreX(ship), sy = centreY(ship);
    if (threatened(sx, sy) && shieldEnergy == SHIELD_FULL && !shieldSprite->active)
        key(keys.shields);
    float ax = 0, ay = 0;
    if (!aim(sx, sy, ax, ay)) {
        hold(0);
        return;
    }
    double angle = std::atan2(ax - sx, -(ay - sy)) * 180.0 / PI;
    if (angle < 0) angle += 360.0;
    const int want = int(std::lround(angle / 22.5)) % SHIP_HEADINGS;
    const int turn = (want - shipDirection + SHIP_HEADINGS) % SHIP_HEADINGS;
    if (turn == 0) {
        hold(0);
        if (levelFrames != lastFire) {
            key(keys.fire);
            lastFire = levelFrames;
        }
    } else {
        hold(turn <= SHIP_HEADINGS / 2 ? keys.right : keys.left);
    }
}

// What the script does on the pause screen; false to resume by key.
void onPause() {
    if (script == "quit") {
        testdriver::sendMouse(200, 300, 0);  // give the game up
        testdriver::sendMouse(200, 300, 2);
        return;
    }
    if (script == "keys" && pauses == 2 && redefined == 0) {
        // The effect slider, then the redefinition.
        for (int x = 110; x <= 190; x += 20) testdriver::sendMouse(x, 131, x == 110 ? 0 : 1);
        testdriver::sendMouse(190, 131, 2);
        testdriver::sendMouse(120, 240, 0);
        testdriver::sendMouse(120, 240, 2);
        return;
    }
    key('R');
}

void look() {
    switch (gameState) {
    case STATE_TITLE:
        key(QT_SPACE);
        break;
    case STATE_MENU:
        if (played) {
            hold(0);
            PlatformApplication::quit();
        } else {
            played = true;
            key('N');
        }
        break;
    case STATE_PLAYING:
    case STATE_LEVEL_CLEARED:
    case STATE_NEXT_LEVEL: {
        // The scripted pauses: once on level 1 (and a second one for the keys
        // script), once on level 3 for the quit script.
        const bool pauseNow =
            (script == "keys" && ((level == 1 && pauses == 0 && levelFrames > 300) ||
                                  (level == 1 && pauses == 1 && levelFrames > 600))) ||
            (script == "quit" && level == 3 && pauses == 0 && levelFrames > 200) ||
            (script == "long" && level == 2 && pauses == 0 && levelFrames > 100);
        if (pauseNow && gameState == STATE_PLAYING) {
            hold(0);
            ++pauses;
            if (pauses == 1) key(keys.pause);
            else testdriver::sendMouse(30, 200, 0), testdriver::sendMouse(30, 200, 2);
            break;
        }
        fight();
        break;
    }
    case STATE_PAUSED:
        onPause();
        break;
    case STATE_REDEFINE_KEYS: {
        const int order[] = {NEW_KEYS.left, NEW_KEYS.right, NEW_KEYS.thrust, NEW_KEYS.fire,
                             NEW_KEYS.shields, NEW_KEYS.pause};
        if (redefined < 6) key(order[redefined++]);
        if (redefined == 6) keys = NEW_KEYS;
        break;
    }
    default:
        hold(0);
        break;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: corvus_record_game long|keys|quit OUT\n", stderr);
        return 2;
    }
    script = argv[1];
    const std::string home = std::filesystem::temp_directory_path() /
                             ("corvus-record-" + script + "-" + std::to_string(getpid()));
    std::filesystem::create_directories(home + "/config/corvusraiders");
    // A low best score, so that the game sets a new one.
    std::ofstream(home + "/config/corvusraiders/corvusraiders.conf") << "[registry]\nhiscore = 3000\n";
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("XDG_STATE_HOME", (home + "/state").c_str(), 1);
    setenv("QPEDIR", CORVUS_DATA_ROOT, 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);

    int platformArgc = 1;
    PlatformApplication app(platformArgc, argv);
    if (!initApplication()) return 1;
    theWidget->start();
    testdriver::setActive(true);  // the offscreen window is never activated by itself
    QTimer bot;
    QObject::connect(&bot, &QTimer::timeout, look);
    bot.start(BOT_PERIOD);
    app.exec();
    shutdown();

    std::error_code error;
    std::filesystem::copy_file(lastReplayPath(), argv[2],
                               std::filesystem::copy_options::overwrite_existing, error);
    std::filesystem::remove_all(home);
    if (error) {
        std::fprintf(stderr, "corvus_record_game: no replay to copy (%s)\n", error.message().c_str());
        return 1;
    }
    std::printf("%s: level %d, score %d\n", argv[2], level, score);
    return 0;
}
