// The game's command line: read before the windowing system is touched, so
// that --help, --version and mistakes are answered on a machine with no
// display at all.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "app/replay.h"

namespace {

const char* const PROGRAM = "corvusraiders";
const char* const USAGE =
    "usage: corvusraiders [--fullscreen] [--scale N] [--rotate 0|90|180|270] [--help] [--version]\n"
    "       corvusraiders --replay [FILE] [--verify]\n"
    "       corvusraiders --replays\n";
const char* const HELP =
    "Fly, shoot and shield your way through fields of splitting rocks.\n"
    "\n"
    "  --fullscreen       start on the whole monitor\n"
    "  --scale N          start with each screen pixel N x N monitor pixels (1..16)\n"
    "  --rotate DEGREES   turn the device screen: 0, 90, 180 or 270\n"
    "                     (as QWS_DISPLAY=Transformed:RotDEGREES does)\n"
    "  --replay [FILE]    show a recorded game in the window (no FILE: the best\n"
    "                     game, else the last); Escape leaves. Every game is\n"
    "                     recorded: the last, the best and the newest 20 are\n"
    "                     kept in ~/.local/state/corvusraiders/\n"
    "  --replays          list the newest 20 games, newest first: the file to\n"
    "                     give --replay, the date, score, level and length\n"
    "  --verify           with --replay: play it headless at full speed and check\n"
    "                     it frame for frame (exit 0 same, 1 differs, 2 unreadable)\n"
    "  -h, --help         show this help and exit\n"
    "  --version          show the version and exit\n"
    "\n"
    "Keys: arrows turn, thrust and raise the shield, Space fires, F11 pauses,\n"
    "Escape in the menu leaves. A gamepad plays too. See corvusraiders(6).\n";

constexpr int MAX_SCALE = 16;

// A whole number in [low, high] written in plain decimal digits; false for
// anything else (signs, spaces, trailing text, overflow).
bool wholeNumber(const char* text, int low, int high, int& out) {
    if (!text || !*text || std::strlen(text) > 4)
        return false;
    int value = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        value = value * 10 + (*p - '0');
    }
    if (value < low || value > high)
        return false;
    out = value;
    return true;
}

// The value of "--name V" or "--name=V"; advances `i` past a separate value.
// Null when `arg` is not this option; `missing` when it is but has no value.
const char* optionValue(const char* name, int argc, char** argv, int& i, bool& missing) {
    const char* arg = argv[i];
    const size_t n = std::strlen(name);
    if (std::strncmp(arg, name, n) != 0)
        return nullptr;
    if (arg[n] == '=')
        return arg + n + 1;
    if (arg[n] != '\0')
        return nullptr;
    if (i + 1 >= argc) {
        missing = true;
        return nullptr;
    }
    return argv[++i];
}

CommandLine refuse(CommandLine result, const char* what, const char* arg) {
    std::snprintf(result.error, sizeof result.error, "%s: %s '%s'\n", PROGRAM, what, arg);
    result.action = CommandLine::REFUSE;
    return result;
}

} // namespace

// Every word is checked before any of them acts: a mistake anywhere is refused,
// even next to --help or --version. Of those two, the first one answers.
CommandLine parseCommandLine(int argc, char** argv) {
    CommandLine result;
    CommandLine::Action answer = CommandLine::PLAY;
    bool listing = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        bool missing = false;
        if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) {
            if (answer == CommandLine::PLAY)
                answer = CommandLine::HELP;
            continue;
        }
        if (!std::strcmp(arg, "--version")) {
            if (answer == CommandLine::PLAY)
                answer = CommandLine::VERSION;
            continue;
        }
        if (!std::strcmp(arg, "--fullscreen")) {
            result.display.fullScreen = true;
            continue;
        }
        if (!std::strcmp(arg, "--verify")) {
            result.verify = true;
            continue;
        }
        if (!std::strcmp(arg, "--replays")) {
            listing = true;
            continue;
        }
        // The file is optional: the next word is taken unless it is an option.
        if (!std::strcmp(arg, "--replay") || !std::strncmp(arg, "--replay=", 9)) {
            result.action = CommandLine::REPLAY;
            if (arg[8] == '=')
                result.replayFile = arg + 9;
            else if (i + 1 < argc && argv[i + 1][0] != '-')
                result.replayFile = argv[++i];
            if (result.replayFile && !*result.replayFile)
                return refuse(result, "--replay takes the name of a file, not", "");
            continue;
        }
        if (const char* v = optionValue("--scale", argc, argv, i, missing)) {
            if (!wholeNumber(v, 1, MAX_SCALE, result.display.scale))
                return refuse(result, "--scale takes a whole number from 1 to 16, not", v);
            continue;
        }
        if (const char* v = optionValue("--rotate", argc, argv, i, missing)) {
            int degrees = 0;
            if (!wholeNumber(v, 0, 270, degrees) || degrees % 90 != 0)
                return refuse(result, "--rotate takes 0, 90, 180 or 270, not", v);
            result.display.orientation = degrees / 90;
            continue;
        }
        return refuse(result,
                      missing         ? "missing value for"
                      : arg[0] == '-' ? "unrecognised option"
                                      : "unexpected argument",
                      arg);
    }
    if (result.verify && result.action != CommandLine::REPLAY)
        return refuse(result, "--verify checks a replay and needs", "--replay");
    if (listing) {
        if (result.action == CommandLine::REPLAY)
            return refuse(result, "--replays lists the kept games; it does not go with", "--replay");
        result.action = CommandLine::LIST_REPLAYS;
    }
    if (answer != CommandLine::PLAY)
        result.action = answer;
    return result;
}

// The answer's exit status; 1 when the answer could not be written (a full
// disk), so that whoever reads it learns that it has nothing.
int answerCommandLine(const CommandLine& line) {
    switch (line.action) {
    case CommandLine::HELP:
        std::fputs(USAGE, stdout);
        std::fputs(HELP, stdout);
        break;
    case CommandLine::VERSION:
        std::printf("CorvusRaiders %s\n", CORVUS_VERSION);
        break;
    case CommandLine::REFUSE:
        std::fputs(line.error, stderr);
        std::fputs(USAGE, stderr);
        return 2;
    case CommandLine::LIST_REPLAYS:
        return listKeptGames();
    default:
        return -1;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: cannot write to standard output: %s\n", PROGRAM,
                     std::strerror(errno));
        return 1;
    }
    return 0;
}
