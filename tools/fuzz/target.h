// What every fuzz target provides: the entry the fuzzing engine calls with one
// input, and a writer of the seed inputs it starts from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Writes the target's seed inputs into the existing folder `dir`.
void writeSeeds(const std::string& dir);

// Writes `size` bytes to `path`; aborts when it cannot.
void writeInput(const std::string& path, const void* data, size_t size);

// A scratch folder of this process (ends with a slash); left for the system's
// temporary-file cleaning, since a fuzzing run is ended by a signal.
std::string scratchFolder();

// Creates the platform application (offscreen) unless it exists.
void startPlatform();
