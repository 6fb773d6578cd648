// Application shell: entry, the game widget, the frame driver, resource
// set-up and teardown, fatal errors and exit.
//
// Folder rule (CMakeLists.txt declares it, the include_direction test holds the
// sources to it): app/ may use every other folder and nothing uses
// app/; it reaches Qt and SDL only through platform/, input/ and audio/.
#pragma once

#include <cstdint>

#include "input/clock.h"
#include "input/pad.h"
#include "platform/platform.h"

// The one window of the game. Keys (the host sends no auto-repeats), pen,
// focus and the pad's keys go through the input seam; focus also suspends the
// frames and pauses the music. Geometry and drawing members forward to the
// platform and gfx.
class GameWidget : public DeviceWidget {
public:
    GameWidget();
    ~GameWidget() override;

    bool start();

    void timerEvent() override;
    void mousePressEvent(const PenEvent& e) override;
    void mouseReleaseEvent(const PenEvent& e) override;
    void mouseMoveEvent(const PenEvent& e) override;
    void keyPressEvent(const KeyEvent& e) override;
    void keyReleaseEvent(const KeyEvent& e) override;
    void focusInEvent() override;
    void focusOutEvent() override;
    void resizeEvent() override;
    bool wantsKeyAtOnce(int key) const override;

    void enterFullScreen();
    void pollPad();                 // one reading of the pad, before a frame
    void fatalError(const char* text);

    bool suspended = true;          // no frames run
    bool fullScreenDone = false;    // already made full screen

    static GameWidget* instance;
};

// ---------------------------------------------------------------------------
// Whole run
// ---------------------------------------------------------------------------
constexpr int PATH_SIZE = 4096;

extern GameWidget* theWidget;
extern char dataDirectory[PATH_SIZE];        // Latin-1, "<qpeDir>lib/corvusraiders_demo"
extern char picturePaths[10][PATH_SIZE];     // entries 1..9: "<data>/pp1" .. "<data>/pp9"
extern bool frameInProgress;                 // runFrame is composing or presenting
extern PadReader padReader;                  // the pad read on each frame tick; null: no pad

// Seed for the random generator: -1 seeds from the time of day (a new game
// every run); tests set a fixed value before resource set-up.
extern int64_t randomSeedOverride;
extern uint32_t startSeed;                   // the seed the world's generator got at set-up

// ---------------------------------------------------------------------------
// Operations
// ---------------------------------------------------------------------------
int corvusMain(int argc, char** argv);       // the whole program; main() calls it
// The keeper process (app/keeper.cpp): started by corvusMain before the
// windowing system when a game is to be played, told after every frame what
// the settings are, and told at the teardown's end that nothing is left for
// it to save.
void startKeeper();
void keeperFrameEnd();
void keeperDone();
bool initApplication();
void runFrame();
void composeFrame();                         // runFrame's composing step alone (benchmarks)
bool setupResources();                       // false after a fatal failure
void shutdown();

// The command line, read before anything of the platform exists. PLAY and
// REPLAY carry the display choices on to the host window; every other action
// is answered by answerCommandLine (help or version on standard output,
// status 0, or 1 when it cannot be written; a refused argument and the usage
// line on standard error, status 2).
struct CommandLine {
    enum Action { PLAY, HELP, VERSION, REFUSE, REPLAY, LIST_REPLAYS };
    Action action = PLAY;
    HostLaunch display;                      // --fullscreen, --scale N, --rotate DEGREES
    const char* replayFile = nullptr;        // REPLAY: the file; null for the best (else the last) game
    bool verify = false;                     // --verify: headless check of the replay
    char error[160] = {};                    // REFUSE: the line naming the refused argument
};
CommandLine parseCommandLine(int argc, char** argv);
int answerCommandLine(const CommandLine& line);  // exit status; -1 for PLAY

// ---------------------------------------------------------------------------
// The input seam (see app/seam.cpp); the inputs are described in replay.h.
// ---------------------------------------------------------------------------
struct Input;
// Behind the seam, picked once at start: the live game alone (tools), the
// live game recorded (the default: every run that plays), or a recording
// played back (--replay).
enum class InputSource { LIVE, RECORDED, PLAYED };
void seamUseSource(InputSource source);
void seamInput(Input in);                    // from the window; tagged with the frame it came in
void seamPadKey(int key, bool press);        // a pad control as the key it stands for
void seamReplayInput(const Input& in);       // a recorded input, played back
void seamFrameBegin();                       // the frame driver's steps, in order
void seamFrameEvents();                      // lets pending window events in
void seamFrameEnd();
int32_t seamClock();                         // the game clock's reader (setClockReader)

// Parts of setupResources that tests and tools use on their own; each stops
// at its first fatal failure and returns false.
bool allocateBuffers();                      // the eleven pixel arrays and nine records
bool loadAllPictures();
bool createSprites();                        // every Sprite of the game, placed
void buildDirectionTables();
class Sprite;
// Every sprite of the game, in one fixed order, into `out` (at most
// `capacity`); returns how many there are.
int listSprites(Sprite** out, int capacity);

// Presents backBuffer into the framebuffer at address `fb` for rotation
// `orientation` (0, 1, 3; anything else copies nothing).
void presentFrame(uint8_t* fb, int orientation);

// A set-up failure: the box with `text`; when the failure is about one file,
// `file` is then named on standard error. Then the program is asked to end
// (exitGame); the set-up stops, and no frame runs.
void fatalError(const char* text, const char* file = nullptr);
void showErrorMessage(const char* text, const char* file = nullptr);
// Leaves full screen and ends the event loop; the entry function's teardown
// follows, as on every other way out.
void exitGame(GameWidget* widget);
