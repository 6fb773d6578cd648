// Replays: every game is kept as the world it started from and the inputs
// the game then saw, in order, as they passed the input seam; a replay feeds
// the same inputs back through the seam and checks that the frames come out
// the same. The file format is in replay_file.h; the recorder, the player and
// --replay have a file each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/replay_file.h"
#include "game/game.h"

// ---------------------------------------------------------------------------
// The world as bytes: every value the course of a game depends on (the
// world's globals, the bindings, the volumes, the random generator, every
// sprite), in a fixed order, four bytes each.
// ---------------------------------------------------------------------------
size_t worldStateBytes();                    // this build's size
void writeWorldState(uint8_t* out);          // worldStateBytes() bytes
bool worldStateValid(const uint8_t* in);     // every value one the game can take
void readWorldState(const uint8_t* in);      // only after worldStateValid
uint64_t worldStateHash();                   // the world as it is now
uint64_t hashBytes(const void* data, size_t size);  // 64-bit FNV-1a
uint64_t backBufferHash();                   // the picture checks of a recording

// The screens of a game under way; any other (menu, title, exit) means no
// game is being played.
bool gameUnderWay(GameState s);

// Where the game keeps its replays (empty without a home folder).
std::string lastReplayPath();                // the last game played
std::string bestReplayPath();                // the last game that set a high score
// The kept games (app/kept_games.cpp): the path a game saved now with `points`
// takes in games/; the oldest removed beyond the newest twenty; and the list
// --replays prints (its exit status).
std::string keptGamePath(int32_t points);
void pruneKeptGames();
int listKeptGames();

// ---------------------------------------------------------------------------
// Recorder and player, driven by the seam
// ---------------------------------------------------------------------------
enum class ReplayMode { NONE, WATCH, VERIFY };
extern ReplayMode replayMode;                // whole run: what --replay asked for

// Recording (live play). recorderPrepare makes the recording's memory, which
// the keeper shares; the first input at the menu does it otherwise.
void recorderPrepare();
void recorderBeforeInput(const Input& in);   // may start a game's recording
void recorderAfterInput();                   // may end it
void recorderInput(const Input& in);         // while recording
void recorderFrameEnd();                     // checks, end of the game
void recorderClock(int32_t value);
// Saves a game still under way as it stood at its last whole frame, marked as
// ended early: as the last game when `asLast`, and as the best one when it has
// set a new high score. Nothing without a game or a whole frame.
void recorderSaveUnderWay(bool asLast);
void recorderStop();                         // leaving the program: keeps a game under way
bool recording();

// Playing back: the seam asks for the inputs due and the clock readings.
// playerStart sets the recorded world up; false when it is not one the game
// can be in.
bool playerStart(const ReplayFile& file, std::string& error);
void playerBeforeFrame();                    // the inputs that came between frames
void playerFrameEvents();                    // the inputs that came in the frame
void playerFrameEnd();                       // the check, and the end
int32_t playerClock();
bool playerFinished();                       // the last record has been played
const char* playerDivergence();              // the first difference found, or null
uint32_t playerFrames();                     // frames played so far
void watcherInput(const Input& in);          // the viewer's own input: Escape leaves

// The whole of --replay: watch in the window (status when the window closes)
// or verify headless (0 all matches, 1 a difference, 2 an unreadable file).
int runReplay(const char* path, bool verify, int argc, char** argv);
