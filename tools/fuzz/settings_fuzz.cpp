// Fuzz target: a settings file of any content is read, changed and saved, and
// read again. The values written must read back, the entries not written must
// keep their values, and nothing may crash.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/target.h"
#include "platform/config.h"

namespace {

constexpr const char* KEYS[] = {"hiscore", "music_volume", "key_left", "x", ""};
constexpr const char* GROUPS[] = {"registry", "", "other", "[x]"};

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "settings round trip broken: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string base = scratchFolder() + "settings";
    const std::string file = base + ".conf";
    writeInput(file, data, size);

    // What the file holds before, for every key and group probed; then one
    // key changed in each group (or added where it is missing).
    constexpr int G = int(std::size(GROUPS)), K = int(std::size(KEYS));
    constexpr int MISSING = -12345;
    int before[G][K];
    {
        Config config(base.c_str(), Config::File);
        for (int g = 0; g < G; ++g) {
            config.setGroup(GROUPS[g]);
            for (int k = 0; k < K; ++k)
                before[g][k] = config.readNumEntry(KEYS[k], MISSING);
            config.writeEntry(KEYS[g], before[g][g] == MISSING ? 7 : before[g][g] + 1);
        }
    }
    Config reread(base.c_str(), Config::File);
    for (int g = 0; g < G; ++g) {
        reread.setGroup(GROUPS[g]);
        for (int k = 0; k < K; ++k) {
            const int want = k != g ? before[g][k] : before[g][g] == MISSING ? 7 : before[g][g] + 1;
            check(reread.readNumEntry(KEYS[k], MISSING) == want, KEYS[k]);
        }
    }
    return 0;
}

void writeSeeds(const std::string& dir) {
    const std::string seeds[] = {
        "",
        "[registry]\nhiscore = 35000\nmusic_volume = 128\nsfx_volume = 128\ntrack = 2\n"
        "key_left = 4114\nkey_right = 4116\nkey_thrust = 4115\nkey_fire = 32\n"
        "key_pause = 4154\nkey_shields = 4117\n",
        "\xEF\xBB\xBF\xEF\xBB\xBF[registry]\r\nhiscore = 5\r\n",
        "\xEF\xBB\xBFx = 1\n[other]\nx=2\n[registry]\nx = 3\nmusic_volume = 90000\n",
        "# comment\n; another\nhiscore = 1\n\n[ registry ]\nkey_left = -70000\n[registry]\n"
        "key_left = 9\n[]\nx = 4\n[[x]]\nhiscore = 99999999999\n",
        "[registry\nhiscore\n= 5\nmusic_volume = 0x10\nx = 1.5\n[other]",
    };
    int n = 0;
    for (const std::string& s : seeds)
        writeInput(dir + "/seed" + std::to_string(n++), s.data(), s.size());
}
