// Fuzz target: an effect file of any content goes through the game's effect
// loading (one reading of the file, the header checks, then the mixer's own
// decoders on the dummy sound driver). Nothing may crash, hang or set aside
// more memory than a few effects need (run with -malloc_limit_mb).
#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdlib>
#include <string>

#include "audio/audio.h"
#include "audio/sound_device.h"
#include "fuzz/target.h"

namespace {

constexpr int RATE = 22050; // Hz, as the game opens the device

std::string le(uint32_t v, int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += char(v >> 8 * i);
    return s;
}
std::string be(uint32_t v, int n) {
    std::string s;
    for (int i = n - 1; i >= 0; --i)
        s += char(v >> 8 * i);
    return s;
}
std::string chunk(const char* name, const std::string& body, bool bigEndian = false) {
    return name + (bigEndian ? be : le)(uint32_t(body.size()), 4) + body;
}
// A RIFF WAVE file: format record (encoding, channels, block align, bits and
// any extra bytes), then `bytes` bytes of samples.
std::string wave(int encoding, int channels, int align, int bits, const std::string& extra,
                 size_t bytes) {
    const std::string format = le(encoding, 2) + le(channels, 2) + le(RATE, 4) +
                               le(RATE * align, 4) + le(align, 2) + le(bits, 2) + extra;
    const std::string samples(bytes, '\1');
    const std::string body = "WAVE" + chunk("fmt ", format) + chunk("data", samples);
    return chunk("RIFF", body);
}
std::string voc(const std::string& blocks) {
    return "Creative Voice File\x1a" + le(26, 2) + le(0x10A, 2) + le(0x1129, 2) + blocks + '\0';
}
std::string vocBlock(int type, const std::string& body) {
    return char(type) + le(uint32_t(body.size()), 3) + body;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = scratchFolder() + "effect";
    static const bool opened = [] {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        soundDevice = &SDL_SOUND;  // decoding through the mixer opened here
        return SDL_Init(SDL_INIT_AUDIO) == 0 && Mix_OpenAudio(RATE, AUDIO_S16LSB, 2, 1024) == 0;
    }();
    if (!opened) std::abort();
    writeInput(path, data, size);
    if (Mix_Chunk* chunk = loadEffectFile(path.c_str())) Mix_FreeChunk(chunk);
    return 0;
}

void writeSeeds(const std::string& dir) {
    const std::string samples(400, 'U');
    const std::string seeds[][2] = {
        {"pcm16.wav", wave(1, 2, 4, 16, "", 400)},
        {"pcm8.wav", wave(1, 1, 1, 8, "", 400)},
        {"ima.wav", wave(0x11, 1, 256, 4, le(2, 2) + le(505, 2), 512)},
        {"ms.wav",
         wave(2, 1, 256, 4, le(32, 2) + le(500, 2) + le(7, 2) + std::string(28, '\1'), 512)},
        {"mulaw.wav", wave(7, 1, 1, 8, "", 400)},
        {"aiff", chunk("FORM",
                       "AIFF" +
                           chunk("COMM",
                                 be(1, 2) + be(200, 4) + be(16, 2) + be(0x400DAC44, 4) +
                                     std::string(6, '\0'),
                                 true) +
                           chunk("SSND", std::string(8, '\0') + samples, true),
                       true)},
        {"8svx",
         chunk("FORM",
               "8SVX" +
                   chunk("VHDR", std::string(12, '\0') + be(RATE, 2) + std::string(6, '\0'), true) +
                   chunk("BODY", samples, true),
               true)},
        {"voc8", voc(vocBlock(1, "\xd3" + std::string(1, '\0') + samples) +
                     vocBlock(3, le(100, 2) + "\xd3") + vocBlock(2, samples))},
        {"voc16",
         voc(vocBlock(9, le(RATE, 4) + char(16) + char(1) + std::string(6, '\0') + samples))},
        {"voc-stereo", voc(vocBlock(8, le(65536 - 256000000 / (2 * RATE), 2) + '\0' + '\1') +
                           vocBlock(1, "\xd3" + std::string(1, '\0') + samples))},
    };
    for (const auto& [name, bytes] : seeds)
        writeInput(dir + "/" + name, bytes.data(), bytes.size());
}
