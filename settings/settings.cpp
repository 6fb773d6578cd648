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

// A saved high score never goes down: another copy of the game sharing the
// folder may have saved a better one since this copy read the file, and the
// better one is then kept, on disk and in this copy from now on. The file is
// read here under its lock (Config::Update), so no other copy's save can come
// between this reading and this copy's write.
void writeHighScore(Config& config) {
    const int onFile = config.readNumEntry("hiscore", highScore);
    if (onFile > highScore) highScore = onFile;
    config.writeEntry("hiscore", highScore);
}

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

// Values are taken as they are: no range check on reading or writing, except
// that a save never lowers the high score on disk.
bool loadSettings() {
    Config config(SETTINGS_FILE, Config::User);
    config.setGroup(SETTINGS_GROUP);
    highScore = config.readNumEntry("hiscore", DEFAULT_HIGH_SCORE);
    musicVolume = config.readNumEntry("music_volume", DEFAULT_VOLUME);
    sfxVolume = config.readNumEntry("sfx_volume", DEFAULT_VOLUME);
    musicTrack = config.readNumEntry("track", DEFAULT_TRACK);
    // A missing key keeps the binding it has now.
    keyBindings.left = config.readNumEntry("key_left", keyBindings.left);
    keyBindings.right = config.readNumEntry("key_right", keyBindings.right);
    keyBindings.thrust = config.readNumEntry("key_thrust", keyBindings.thrust);
    keyBindings.fire = config.readNumEntry("key_fire", keyBindings.fire);
    keyBindings.pause = config.readNumEntry("key_pause", keyBindings.pause);
    keyBindings.shields = config.readNumEntry("key_shields", keyBindings.shields);
    return true;
}

bool saveHighScore() {
    if (writesHeld)
        return false;
    Config config(SETTINGS_FILE, Config::User, Config::Update);
    config.setGroup(SETTINGS_GROUP);
    writeHighScore(config);
    return true;
}

bool saveSettings() {
    if (writesHeld)
        return false;
    Config config(SETTINGS_FILE, Config::User, Config::Update);
    config.setGroup(SETTINGS_GROUP);
    writeHighScore(config);
    config.writeEntry("music_volume", musicVolume);
    config.writeEntry("sfx_volume", sfxVolume);
    config.writeEntry("track", musicTrack);
    config.writeEntry("key_left", keyBindings.left);
    config.writeEntry("key_right", keyBindings.right);
    config.writeEntry("key_thrust", keyBindings.thrust);
    config.writeEntry("key_fire", keyBindings.fire);
    config.writeEntry("key_pause", keyBindings.pause);
    config.writeEntry("key_shields", keyBindings.shields);
    return true;
}
