// The sound device as the game drives it: a few operations, each of them one
// call of the mixer. The SDL member plays through SDL2_mixer; the silent
// member stands in for the whole run once no device has opened, and answers
// as a closed mixer does (an effect "starts" on channel 0, nothing is ever
// playing); tests put in a member of their own to see every call.
//
// Only audio/audio.cpp calls through the table, from the GUI thread.
#pragma once

#include <cstddef>

struct Mix_Chunk;
struct _Mix_Music;

struct SoundDevice {
    bool (*open)();                      // the device and its mixer; false: none here
    void (*close)();
    Mix_Chunk* (*decodeEffect)(const unsigned char* data, size_t size);  // null: unusable
    void (*freeEffect)(Mix_Chunk* effect);
    // The tune from `size` bytes that stay in place while it is loaded.
    _Mix_Music* (*decodeTune)(const unsigned char* data, size_t size);
    void (*freeTune)(_Mix_Music* tune);

    int (*play)(Mix_Chunk* effect);      // once, on the first free channel; -1: none
    void (*setVolume)(int channel, int level);  // -1: every channel; level 0..128
    void (*pause)(int channel);          // -1: every channel
    void (*resume)(int channel);
    bool (*playing)(int channel);

    void (*setMusicVolume)(int level);
    void (*playMusic)(_Mix_Music* tune); // looping for ever
    void (*pauseMusic)();
    void (*resumeMusic)();
    bool (*musicPlaying)();
    void (*stopMusic)();                 // faded out over no time at all
};

extern const SoundDevice SDL_SOUND;      // audio/sdl_sound.cpp
extern const SoundDevice SILENT_SOUND;

// The member in use: the silent one until initAudio has opened another, and
// again after shutdownAudio. initAudio opens SDL's unless a test or tool has
// named its own here first.
extern const SoundDevice* soundDevice;
void useSoundDevice(const SoundDevice* device);
