// Audio on the dummy SDL driver: which file each effect comes from, the
// volume rule, effect channels, and silent play when no device opens.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_mixer.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "audio/audio.h"
#include "audio/sound_device.h"
#include "support/runner.h"

namespace {

constexpr uint32_t RATE = 22050; // Hz, the mixer's own rate, so samples are not resampled

// Bytes of sample data in file fx<m>: different for every file.
uint32_t bytesOfFile(int m) { return 8820 * uint32_t(m + 1); }

// The header fields of a WAV file as written by writeWav.
struct WavHeader {
    uint32_t encoding = 1, channels = 2, rate = RATE, blockAlign = 4, bits = 16;
    std::string before = "";  // chunks between "WAVE" and the format chunk
    uint32_t dataBytes = 0; // declared sample bytes; 0: the real count
    std::string extra = ""; // after the common format record
};

std::string le(uint32_t v, int n) { return std::string(reinterpret_cast<const char*>(&v), n); }

// A PCM WAV file of `bytes` bytes of silence (stereo 16-bit by default).
std::string wav(uint32_t bytes, const WavHeader& h = {}) {
    return "RIFF" + le(36 + bytes, 4) + "WAVE" + h.before + "fmt " +
           le(16 + uint32_t(h.extra.size()), 4) + le(h.encoding, 2) + le(h.channels, 2) +
           le(h.rate, 4) + le(h.rate * h.blockAlign, 4) + le(h.blockAlign, 2) + le(h.bits, 2) +
           h.extra + "data" + le(h.dataBytes ? h.dataBytes : bytes, 4) + std::string(bytes, '\0');
}
void writeWav(const std::string& path, uint32_t bytes, const WavHeader& h = {}) {
    std::ofstream(path, std::ios::binary) << wav(bytes, h);
}
std::string be(uint32_t v, int n) {
    std::string s = le(v, n);
    return std::string(s.rbegin(), s.rend());
}
// A rate in hertz as the 80-bit number AIFF files keep it in.
std::string extended(uint32_t rate) {
    int top = 31;
    while (!(rate >> top)) --top;
    const uint64_t mantissa = uint64_t(rate) << (63 - top);
    return be(0x3FFF + top, 2) + be(uint32_t(mantissa >> 32), 4) + be(uint32_t(mantissa), 4);
}
// An AIFF file of 16-bit frames of silence.
std::string aiff(uint32_t channels, uint32_t frames, uint32_t bytes, uint32_t rate = RATE) {
    return "FORM" + be(46 + bytes, 4) + "AIFFCOMM" + be(18, 4) + be(channels, 2) +
           be(frames, 4) + be(16, 2) + extended(rate) + "SSND" + be(8 + bytes, 4) +
           std::string(8 + bytes, '\0');
}
// An 8SVX file of `bytes` 8-bit samples, its header cut to `headerBytes`.
std::string svx(uint32_t rate, uint32_t bytes, uint32_t headerBytes = 20) {
    const std::string header = be(bytes, 4) + be(0, 4) + be(0, 4) + be(rate, 2) + '\1' + '\0' +
                               be(0x10000, 4);
    return "FORM" + be(4 + 8 + headerBytes + 8 + bytes, 4) + "8SVXVHDR" + be(headerBytes, 4) +
           header.substr(0, headerBytes) + "BODY" + be(bytes, 4) + std::string(bytes, '\0');
}
// One Ogg page: its flags (2: a stream's first), the granule position, and the
// body in one segment (up to 255 bytes).
std::string oggPage(int flags, uint64_t granule, const std::string& body) {
    return "OggS" + std::string(1, '\0') + char(flags) + le(uint32_t(granule), 4) +
           le(uint32_t(granule >> 32), 4) + le(0, 4) + le(0, 4) + le(0, 4) + '\1' +
           char(body.size()) + body;
}
// A page of `packets` one-byte packets (up to 255).
std::string oggPackets(int packets) {
    return "OggS" + std::string(1, '\0') + '\0' + le(0, 4) + le(0, 4) + le(0, 4) + le(0, 4) +
           le(0, 4) + char(packets) + std::string(size_t(packets), '\1') +
           std::string(size_t(packets), '\0');
}
// The pages of `packets` one-byte packets.
std::string oggAudio(int packets) {
    std::string pages;
    for (; packets > 0; packets -= 255) pages += oggPackets(std::min(packets, 255));
    return pages;
}
// A Vorbis identification header for mono sound at `rate`, blocks of 256 and
// 2048 samples.
std::string vorbisId(uint32_t rate) {
    return "\x01vorbis" + le(0, 4) + '\1' + le(rate, 4) + le(0, 4) + le(64000, 4) + le(0, 4) +
           '\xb8' + '\1';
}
// A Creative voice file of the given blocks (type, then contents).
std::string voc(const std::string& blocks) {
    return "Creative Voice File\x1a" + le(26, 2) + le(0x10A, 2) + le(0x1129, 2) + blocks + '\0';
}
std::string vocBlock(int type, const std::string& body) {
    return char(type) + le(uint32_t(body.size()), 3) + body;
}

class AudioData : public ::testing::Test {
  protected:
    std::string dir = makeTempDir("audio");

    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1); // never a real sound card
        // fx5, fx7, fx8 and fx9 do not exist; fx12 is left out as a missing file.
        for (int m : {0, 1, 2, 3, 4, 6, 10, 11, 13, 14})
            writeWav(dir + "fx" + std::to_string(m), bytesOfFile(m));
        setUpAudio(dir.c_str(), nullptr);  // no tune there
        musicVolume = sfxVolume = 128;
    }
    void TearDown() override { shutdownAudio(); }
};

std::vector<std::string> boxes; // the message boxes shown
void recordBox(bool critical, const char* title, const char* text) {
    boxes.push_back(std::string(critical ? "critical " : "warning ") + title + ": " + text);
}

// The rule's result is what the mixer gets, whatever int the settings file
// holds: the mixer caps it at 128 and ignores a negative one, keeping the
// volume it had (here its starting 128).
TEST_F(AudioData, VolumeRuleScalesRoundingDownAndTheMixerTakesWhatItGives) {
    ASSERT_TRUE(initAudio() && audioOpen);
    // Setting, the rule's result, the volume the effects and the music play at.
    const int rows[][3] = {{255, 128, 128},  {200, 100, 100},       {1, 0, 0},
                           {300, 150, 128},  {-1, 0, 0},            {-2, -1, 128},
                           {-70000, -35137, 128}, {INT_MAX, 1077952575, 128},
                           {INT_MIN, -1077952576, 128}};
    for (const auto& [v, handed, plays] : rows) {
        Mix_Volume(-1, MIX_MAX_VOLUME);
        Mix_VolumeMusic(MIX_MAX_VOLUME);
        sfxVolume = musicVolume = v;
        applyEffectVolume();
        applyMusicVolume();
        EXPECT_EQ(mixerVolume(v), handed) << v;
        EXPECT_EQ(std::pair(Mix_Volume(0, -1), Mix_VolumeMusic(-1)), std::pair(plays, plays)) << v;
    }
}

// Only what the mixer cannot survive is refused, up to the exact limit, and a
// header is read where its format puts each field.
TEST(EffectHeaders, RefusedOnlyPastTheLimitsTheMixerSurvives) {
    const std::string ima = le(2, 2) + le(249, 2); // 249 samples in each 256-byte stereo block
    const std::string ima3 = le(2, 2) + le(169, 2); // 169 in 264 bytes for three channels
    const std::string sound = vocBlock(1, "\xd3" + std::string(41, '\0'));
    const std::string body = std::string(40, '\0');
    // A minute at 22050 Hz is 1291 long blocks of 2048 (1024 samples each)
    // and a bit; the three header packets come on top.
    const int minuteOfPackets = 1291 + 3;
    const std::tuple<const char*, std::string, bool> rows[] = {
        {"IMA ADPCM, stereo",
         wav(512, {.encoding = 0x11, .blockAlign = 256, .bits = 4, .extra = ima}), true},
        {"IMA ADPCM, 3 channels", wav(528, {.encoding = 0x11, .channels = 3, .blockAlign = 264,
                                            .bits = 4, .extra = ima3}),
         true},
        // 133 bytes in blocks of 8: at most 2 x 133 + 2 x 17 = 300 samples.
        {"IMA ADPCM, at most a minute at 5 Hz",
         wav(133, {.encoding = 0x11, .channels = 1, .rate = 5, .blockAlign = 8, .bits = 4}), true},
        {"IMA ADPCM, more than a minute at 4 Hz",
         wav(133, {.encoding = 0x11, .channels = 1, .rate = 4, .blockAlign = 8, .bits = 4}), false},
        {"a chunk of odd length before the format, and its pad byte",
         wav(400, {.before = "JUNK" + le(3, 4) + std::string(4, '\0')}), true},
        {"AIFF at 1000 Hz", aiff(1, 200, 400, 1000), true},
        {"AIFF at 1 Hz, which the reader refuses", aiff(1, 200, 400, 1), false},
        {"AIFF, 9 channels", aiff(9, 20, 360), false},
        {"8SVX at 22050 Hz", svx(RATE, 400), true},
        {"8SVX at 0 Hz", svx(0, 400), false},
        {"8SVX, the shortest header", svx(RATE, 400, 14), true},
        {"MS ADPCM, the shortest format record",
         wav(512, {.encoding = 2, .channels = 1, .blockAlign = 256, .bits = 4,
                   .extra = le(32, 2) + le(500, 2) + le(7, 2) + std::string(28, '\0')}),
         true},
        {"voice, 60 s at 4000 Hz", voc(vocBlock(1, "\x06" + std::string(240001, '\0'))), true},
        {"voice, a sample more", voc(vocBlock(1, "\x06" + std::string(240002, '\0'))), false},
        {"voice, a block longer than the file", voc(sound).substr(0, 50), false},
        {"voice, extended stereo block",
         voc(vocBlock(8, le(59731, 2) + '\0' + '\1') + sound), true},
        {"voice, extended mono block", voc(vocBlock(8, le(0xD3D3, 2) + '\0' + '\0') + sound), true},
        {"voice, a marker", voc(sound + vocBlock(4, le(7, 2)) + std::string(2, '\0')), true},
        {"voice, a silence of no length", voc(sound + vocBlock(3, le(0, 2) + "\xd3")), false},
        {"voice, a short silence", voc(sound + vocBlock(3, le(100, 2) + "\xd3")), true},
        // The reader takes three bytes of a silence, whatever its length, and
        // the rest as blocks of their own.
        {"voice, a silence holding a short silence",
         voc(sound + vocBlock(3, le(100, 2) + "\xd3" + vocBlock(3, le(100, 2) + "\xd3"))), true},
        {"voice, a silence holding a silence of no length",
         voc(sound + vocBlock(3, le(100, 2) + "\xd3" + vocBlock(3, le(0, 2) + "\xd3"))), false},
        {"voice, a block at another rate", voc(sound + vocBlock(1, "\xd4" + body)), false},
        {"voice, 16-bit samples with the rate in hertz",
         voc(vocBlock(9, le(RATE, 4) + '\x10' + '\1' + le(4, 2) + le(0, 4) + body)), true},
        {"voice, 12-bit samples",
         voc(vocBlock(9, le(RATE, 4) + '\x0c' + '\1' + le(4, 2) + le(0, 4) + body)), false},
        {"voice, no end mark after an empty block",
         voc(sound).substr(0, voc(sound).size() - 1) + vocBlock(5, ""), true},
        {"Ogg Vorbis, 1 s", oggPage(2, 0, vorbisId(RATE)) + oggPage(0, RATE, body), true},
        {"Ogg Vorbis ending on an empty page",
         oggPage(2, 0, vorbisId(RATE)) + oggPage(0, RATE, body) + oggPage(0, RATE, ""), true},
        {"Ogg Vorbis, packets for a minute of long blocks",
         oggPage(2, 0, vorbisId(RATE)) + oggAudio(minuteOfPackets - 1), true},
        {"Ogg Vorbis, a packet more, whatever the pages claim",
         oggPage(2, 0, vorbisId(RATE)) + oggAudio(minuteOfPackets), false},
        {"Ogg Vorbis, an identification header a byte short",
         oggPage(2, 0, vorbisId(RATE).substr(0, 29)) + oggPage(0, RATE, body), false},
        {"Ogg without an identification header", oggPage(0, RATE, body), false},
        {"Ogg cut in its segment table", oggPage(2, 0, vorbisId(RATE)).substr(0, 27), false},
        {"Ogg cut in a page", oggPage(2, 0, vorbisId(RATE)) + oggPage(0, RATE, body).substr(0, 40),
         false},
    };
    for (const auto& [what, bytes, usable] : rows) {
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
        EXPECT_EQ(effectDataUsable(data, bytes.size()), usable) << what;
    }

    // A file is read whole up to its limit exactly, also as descriptor 0 (a
    // game started with standard input closed); what failed leaves nothing.
    const std::string file = makeTempDir("data") + "ten";
    std::ofstream(file, std::ios::binary) << "0123456789";
    std::vector<unsigned char> out{1, 2, 3};
    EXPECT_FALSE(readDataFile((file + "-missing").c_str(), 10, out));
    EXPECT_TRUE(out.empty());
    out = {1, 2, 3};
    EXPECT_FALSE(readDataFile(file.c_str(), 9, out));
    EXPECT_TRUE(out.empty());
    const int input = dup(0);
    close(0);
    EXPECT_TRUE(readDataFile(file.c_str(), 10, out));
    dup2(input, 0);
    close(input);
    EXPECT_EQ(std::string(out.begin(), out.end()), "0123456789");
}

TEST_F(AudioData, EffectsLoadFromTheirFilesAndPlayOnFreeChannels) {
    testdriver::setMessageBoxHook(recordBox);
    musicVolume = 200;
    musicTrack = 9;
    unsetenv("PULSE_LATENCY_MSEC");
    EXPECT_TRUE(initAudio());
    EXPECT_STREQ(getenv("PULSE_LATENCY_MSEC"), "100");  // the sound server's buffering of SDL 1.2
    setenv("PULSE_LATENCY_MSEC", "40", 1);  // the player's choice stays
    shutdownAudio();
    EXPECT_TRUE(initAudio());
    EXPECT_STREQ(getenv("PULSE_LATENCY_MSEC"), "40");
    testdriver::setMessageBoxHook(nullptr);
    ASSERT_TRUE(audioOpen);
    EXPECT_TRUE(boxes.empty());
    for (int n = 0; n < EFFECT_COUNT; ++n) { // sample lengths tell the files apart
        const int m = n == 9 ? 2 : (n == 5 || n == 7 || n == 8) ? 3 : n;
        EXPECT_EQ(effectChunks[n] ? effectChunks[n]->alen : 0, m == 12 ? 0 : bytesOfFile(m)) << n;
        EXPECT_EQ(effectChannels[n], -1);
    }
    EXPECT_NE(effectChunks[5], effectChunks[3]); // each effect has a sample of its own
    // Track 2 whatever was set, its volume by the rule; a missing module is silent.
    EXPECT_TRUE(musicTrack == 2 && music == nullptr && Mix_VolumeMusic(-1) == 100);

    playEffect(EFFECT_CARRIER_ARRIVES); // not loaded
    EXPECT_EQ(effectChannels[EFFECT_CARRIER_ARRIVES], -1);
    playEffect(EFFECT_SHOT);
    const int first = effectChannels[EFFECT_SHOT];
    playEffect(EFFECT_SHOT);
    EXPECT_TRUE(first >= 0 && effectChannels[EFFECT_SHOT] == first + 1);
    EXPECT_NE(Mix_Playing(first), 0); // the earlier instance keeps playing
}

// The pause screen holds every effect still sounding, the first one too, also
// when every effect has a channel of its own from earlier plays. The effect
// loops for ever, so it sounds whatever the mixer's thread has played of it.
TEST_F(AudioData, PauseHoldsEveryEffectStillSounding) {
    EXPECT_TRUE(initAudio());
    // The mixer marks a pause with SDL's millisecond count, and a mark of 0
    // reads as "not paused": the pause must come after SDL's first millisecond.
    while (SDL_GetTicks() == 0) SDL_Delay(1);
    for (int32_t& channel : effectChannels) channel = 7;  // each played long ago
    const int channel = effectChannels[0] = Mix_PlayChannel(-1, effectChunks[0], -1);
    ASSERT_TRUE(channel >= 0 && channel != 7);
    pauseEffects();
    EXPECT_NE(Mix_Paused(channel), 0);
    resumeEffects();
    EXPECT_EQ(Mix_Paused(channel), 0);
}

// Headers the mixer cannot survive (or that claim more sound than an effect
// has) are refused before it sees them, and pipes are not waited for: such an
// effect stays silent like a missing one.
TEST_F(AudioData, EffectFilesInTheMixersFormatsLoadDamagedOnesAreTreatedAsMissing) {
    alarm(60); // a loader that waits on a pipe fails the test instead of hanging it
    std::filesystem::remove(dir + "fx2");
    ASSERT_EQ(mkfifo((dir + "fx2").c_str(), 0600) | mkfifo((dir + "tinytune.xm").c_str(), 0600), 0);
    EXPECT_TRUE(initAudio());
    ASSERT_TRUE(audioOpen);
    EXPECT_TRUE(effectChunks[EFFECT_BIG_ROCK] == nullptr && effectChunks[0] != nullptr);
    const std::string ima = le(2, 2) + le(505, 2); // 505 samples in each 256-byte block
    const std::string rock = std::string(400, '\0');
    const std::pair<const char*, WavHeader> damaged[] = {
        {"no channels", {.channels = 0, .blockAlign = 0}},
        {"0 Hz", {.rate = 0}},
        {"absurd rate", {.rate = 4000000000u}},
        {"32 channels at 1 kHz", {.channels = 32, .rate = 1000, .blockAlign = 64}},
        {"IMA ADPCM in blocks of 0 bytes", {.encoding = 0x11, .blockAlign = 0, .bits = 4,
                                            .extra = ima}},
        {"huge chunk first", {.before = "LIST" + le(0x7fffffff, 4)}},
        {"samples past the end", {.dataBytes = 0x40000000}},
    };
    for (const auto& [what, header] : damaged) {
        writeWav(dir + "bad", 400, header);
        EXPECT_EQ(loadEffectFile((dir + "bad").c_str()), nullptr) << what;
    }
    std::string silences;
    for (int i = 0; i < 900; ++i) silences += vocBlock(3, le(0xFFFF, 2) + "\xd3");
    const std::pair<const char*, std::string> others[] = {
        {"AIFF claiming more frames than it holds", aiff(1, 100000, 400)},
        {"voice, a silence at rate 256 Hz, where the reader divides by 0",
         voc(vocBlock(9, le(256, 4) + '\x08' + '\1' + std::string(6, '\0') + rock) +
             vocBlock(3, le(100, 2) + "\xd3"))},
        {"voice, a sample block after the end mark",
         voc(vocBlock(1, "\xd3" + std::string(41, '\0'))) + vocBlock(1, "\xd3" + rock)},
        {"voice, 45 minutes of silence",
         voc(vocBlock(1, "\xd3" + std::string(41, '\0')) + silences)},
        {"FLAC", "fLaC" + rock},
        {"a tracker module, which never ends when it loops",
         readTextFile(buildDataRoot() + "lib/corvusraiders_demo/tinytune.xm")},
    };
    for (const auto& [what, bytes] : others) {
        std::ofstream(dir + "bad", std::ios::binary) << bytes;
        EXPECT_EQ(loadEffectFile((dir + "bad").c_str()), nullptr) << what;
    }
    // A sample chunk of 2 GiB in a sparse file of that size: too large for an effect.
    writeWav(dir + "bad", 0, {.dataBytes = 0x7fffff00});
    std::filesystem::resize_file(dir + "bad", 44 + 0x7fffff00u);
    EXPECT_EQ(loadEffectFile((dir + "bad").c_str()), nullptr);
    alarm(0);
}

// Runs in a fresh process: SDL is told to use a driver that does not exist.
int runWithoutDevice() {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    testdriver::setMessageBoxHook(recordBox);
    if (!initAudio() || audioOpen || music != nullptr || musicTrack != 2) return 1;
    const std::vector<std::string> warning = {
        "warning Failed to open audio device: <qt>The audio device could not be opened. No sounds "
        "will be played during the game.</qt>"};
    if (boxes != warning) return 2;
    for (int n = 0; n < EFFECT_COUNT; ++n) {
        if (effectChunks[n] != nullptr || effectChannels[n] != -1) return 3;
        playEffect(n);
        if (effectChannels[n] != 0) return 4;
    }
    // The silent device answers as a closed mixer does.
    pauseEffects();
    resumeEffects();
    if (effectPlaying(EFFECT_SHOT) || soundDevice != &SILENT_SOUND) return 6;
    shutdownAudio();
    return boxes == warning ? 0 : 5;
}

TEST_F(AudioData, NoDeviceWarnsOnceAndPlaysSilently) {
    EXPECT_EXIT(std::exit(runWithoutDevice()), ::testing::ExitedWithCode(0), "");
}

} // namespace
