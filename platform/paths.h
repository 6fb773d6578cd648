// Where the game keeps what it saves for the user: the per-user folders under
// the XDG base folders.
//
// A folder is $VAR/corvusraiders/ when the variable is set and not empty, and
// otherwise the home folder ($HOME, or else the user's entry in the password
// database) followed by the XDG default. Each is returned with a trailing
// slash; an empty result means there is no home at all, and nothing is kept
// between runs then. Nothing here creates a folder.
#pragma once

#include <string>

// Settings files: $XDG_CONFIG_HOME/corvusraiders/ or ~/.config/corvusraiders/.
std::string settingsDirectory();

// What is kept between runs that is not a setting (the saved replays):
// $XDG_STATE_HOME/corvusraiders/ or ~/.local/state/corvusraiders/.
std::string stateDirectory();
