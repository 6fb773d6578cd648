// The tests' model of the mixer: channels taken first free, -1 for all of them.
#include "support/fake_mixer.h"

FakeMixer fakeMixer;

namespace {

template <class F> void eachChannel(int channel, F f) {
    for (int c = 0; c < FakeMixer::CHANNELS; ++c)
        if (channel == -1 || channel == c) f(fakeMixer.channels[c]);
}

int sample;  // what fakeEffect points at

} // namespace

int FakeMixer::playingCount() const {
    int n = 0;
    for (const Channel& c : channels) n += c.playing;
    return n;
}

void resetFakeMixer() {
    fakeMixer = FakeMixer{};
}

Mix_Chunk* fakeEffect() {
    return reinterpret_cast<Mix_Chunk*>(&sample);
}

const SoundDevice FAKE_SOUND = {
    [] { return true; },
    [] {},
    [](const unsigned char*, size_t) { return fakeEffect(); },
    [](Mix_Chunk*) {},
    [](const unsigned char*, size_t) { return static_cast<_Mix_Music*>(nullptr); },
    [](_Mix_Music*) {},
    [](Mix_Chunk* effect) {
        for (int c = 0; effect && c < FakeMixer::CHANNELS; ++c) {
            if (!fakeMixer.channels[c].playing) {
                fakeMixer.channels[c].playing = true;
                fakeMixer.channels[c].paused = false;
                return c;
            }
        }
        return -1;
    },
    [](int channel, int level) { eachChannel(channel, [level](auto& c) { c.volume = level; }); },
    [](int channel) { eachChannel(channel, [](auto& c) { c.paused = c.playing; }); },
    [](int channel) { eachChannel(channel, [](auto& c) { c.paused = false; }); },
    [](int channel) {
        bool any = false;
        eachChannel(channel, [&any](auto& c) { any |= c.playing; });
        return any;
    },
    [](int level) { fakeMixer.musicVolume = level; },
    [](_Mix_Music*) { fakeMixer.musicPlaying = true; },
    [] { fakeMixer.musicPaused = true; },
    [] { fakeMixer.musicPaused = false; },
    [] { return fakeMixer.musicPlaying; },
    [] { fakeMixer.musicPlaying = false; },
};
