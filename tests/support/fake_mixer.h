// A sound device for tests: a small model of the mixer in place of SDL's,
// which keeps what the game asked of it (each channel's effect, pause and
// volume, the music's volume and state) with no sound thread to wait for.
#pragma once

#include "audio/sound_device.h"

struct FakeMixer {
    static constexpr int CHANNELS = 8;
    struct Channel {
        bool playing = false, paused = false;
        int volume = 128;  // 0..128
    };
    Channel channels[CHANNELS];
    int musicVolume = 128;
    bool musicPlaying = false, musicPaused = false;

    int playingCount() const;
};

// The model the fake device drives; fresh (nothing playing, full volumes)
// after resetFakeMixer.
extern FakeMixer fakeMixer;
void resetFakeMixer();
extern const SoundDevice FAKE_SOUND;

// A sample to hand to the fake device's play: any effect that is loaded.
Mix_Chunk* fakeEffect();
