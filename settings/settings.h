// Saved settings: high score, volumes, music track and key bindings, kept in
// the user's settings file "corvusraiders", group "registry". A save never
// lowers the high score on disk: a better one found there is kept and taken
// over by the game.
//
// The values live here, below everything that reads them: the world keeps its
// best score, the audio its volumes and the controls their keys in these
// globals.
//
// Folder rule (CMakeLists.txt declares it, the include_direction test holds the
// sources to it): settings/ uses platform/ only (the settings file).
#pragma once

#include <cstdint>

// Device key codes, the numbers the bindings hold (see deviceKeyCode).
constexpr int KEY_ESCAPE = 0x1000;
constexpr int KEY_LEFT = 0x1012;
constexpr int KEY_UP = 0x1013;
constexpr int KEY_RIGHT = 0x1014;
constexpr int KEY_DOWN = 0x1015;
constexpr int KEY_SPACE = 0x20;
constexpr int KEY_F11 = 0x103a;

struct KeyBindings {
    int32_t thrust;    // one impulse per press
    int32_t left;      // turn anticlockwise while held
    int32_t right;     // turn clockwise while held
    int32_t shields;   // raise the shields
    int32_t fire;
    int32_t pause;
};

// ---------------------------------------------------------------------------
// Whole run: the defaults until the file is read
// ---------------------------------------------------------------------------
extern int32_t highScore;          // points
extern int32_t musicVolume;        // 0..255 from the sliders; a file may hold any int
extern int32_t sfxVolume;          // 0..255 from the sliders; a file may hold any int
extern int32_t musicTrack;         // track number, always 2 once the music started
extern KeyBindings keyBindings;

// The saved values, one entry each, in the order the file has them; the
// high score comes first. An entry missing from the file reads as
// `fallback`, or, when `keepsCurrent`, as the value its global has now.
struct SettingsEntry {
    const char* key;
    int32_t* value;
    int32_t fallback;
    bool keepsCurrent;
};
constexpr int SETTINGS_ENTRY_COUNT = 10;
extern const SettingsEntry SETTINGS_ENTRIES[SETTINGS_ENTRY_COUNT];

bool loadSettings();    // reads the ten entries into their globals
bool saveHighScore();   // writes "hiscore" only
bool saveSettings();    // writes all ten entries

// While held, nothing is written to the settings file (a replay is shown).
void holdSettingsWrites(bool hold);
