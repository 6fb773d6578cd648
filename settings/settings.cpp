// Saved settings: the high score, both volumes, the music track and the six
// key bindings, in group "registry" of the user's "corvusraiders" file.
#include "settings/settings.h"

#include "platform/config.h"

namespace {

constexpr const char* SETTINGS_FILE = "corvusraiders";
constexpr const char* SETTINGS_GROUP = "registry";

constexpr int DEFAULT_HIGH_SCORE = 35000; // points
constexpr int DEFAULT_VOLUME = 128;       // 0..255
constexpr int DEFAULT_TRACK = 2;

bool writesHeld = false;

} // namespace

int32_t highScore = DEFAULT_HIGH_SCORE;
int32_t musicVolume = DEFAULT_VOLUME;
int32_t sfxVolume = DEFAULT_VOLUME;
int32_t musicTrack = DEFAULT_TRACK;
// The bindings start at the arrow keys, Space and F11; the loader overwrites
// those the file names.
KeyBindings keyBindings = {KEY_UP, KEY_LEFT, KEY_RIGHT, KEY_DOWN, KEY_SPACE, KEY_F11};

void holdSettingsWrites(bool hold) {
    writesHeld = hold;
}

// The one list of the saved values, in the order they are read and written.
// A key binding missing from the file keeps the binding it has now.
const SettingsEntry SETTINGS_ENTRIES[SETTINGS_ENTRY_COUNT] = {
    {"hiscore", &highScore, DEFAULT_HIGH_SCORE, false},
    {"music_volume", &musicVolume, DEFAULT_VOLUME, false},
    {"sfx_volume", &sfxVolume, DEFAULT_VOLUME, false},
    {"track", &musicTrack, DEFAULT_TRACK, false},
    {"key_left", &keyBindings.left, 0, true},
    {"key_right", &keyBindings.right, 0, true},
    {"key_thrust", &keyBindings.thrust, 0, true},
    {"key_fire", &keyBindings.fire, 0, true},
    {"key_pause", &keyBindings.pause, 0, true},
    {"key_shields", &keyBindings.shields, 0, true},
};

namespace {

// Writes the entries from `first` on. A saved high score never goes down:
// another copy of the game sharing the folder may have saved a better one
// since this copy read the file, and the better one is then kept, on disk and
// in this copy from now on. The file is read here under its lock
// (Config::Update), so no other copy's save can come between this reading and
// this copy's write.
bool save(size_t entries) {
    if (writesHeld)
        return false;
    Config config(SETTINGS_FILE, Config::User, Config::Update);
    config.setGroup(SETTINGS_GROUP);
    const int onFile = config.readNumEntry(SETTINGS_ENTRIES[0].key, highScore);
    if (onFile > highScore) highScore = onFile;
    for (size_t i = 0; i < entries; ++i)
        config.writeEntry(SETTINGS_ENTRIES[i].key, *SETTINGS_ENTRIES[i].value);
    return true;
}

} // namespace

// Values are taken as they are: no range check on reading or writing, except
// that a save never lowers the high score on disk.
bool loadSettings() {
    Config config(SETTINGS_FILE, Config::User);
    config.setGroup(SETTINGS_GROUP);
    for (const SettingsEntry& e : SETTINGS_ENTRIES)
        *e.value = config.readNumEntry(e.key, e.keepsCurrent ? *e.value : e.fallback);
    return true;
}

bool saveHighScore() {
    return save(1);
}

bool saveSettings() {
    return save(SETTINGS_ENTRY_COUNT);
}
