// Saved settings: high score, volumes, music track and key bindings, kept in
// the user's settings file "corvusraiders", group "registry". A save never
// lowers the high score on disk: a better one found there is kept and taken
// over by the game.
#pragma once

bool loadSettings();    // reads the ten entries into their globals
bool saveHighScore();   // writes "hiscore" only
bool saveSettings();    // writes all ten entries

// While held, nothing is written to the settings file (a replay is shown).
void holdSettingsWrites(bool hold);
