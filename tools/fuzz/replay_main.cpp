// Replays a fuzz target on stored inputs without the fuzzing engine, so the
// normal build checks every seed and every input that once failed.
//
//     corvus_fuzz_<target> FOLDER...          runs the target on every file
//     corvus_fuzz_<target> --write-seeds DIR  writes the target's seed inputs
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/target.h"

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-seeds") == 0) {
        std::filesystem::create_directories(argv[2]);
        writeSeeds(argv[2]);
        return 0;
    }
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i)
        for (const auto& e : std::filesystem::directory_iterator(argv[i]))
            if (e.is_regular_file()) inputs.push_back(e.path());
    std::sort(inputs.begin(), inputs.end());
    for (const auto& path : inputs) {
        FILE* f = std::fopen(path.c_str(), "rb");
        std::vector<uint8_t> data;
        for (int c; f && (c = std::fgetc(f)) != EOF;)
            data.push_back(uint8_t(c));
        if (f) std::fclose(f);
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    std::printf("%zu passed, 0 failed\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}
