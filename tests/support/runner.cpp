// Headless runner of the real program for scenario tests (work in progress).
#include "support/runner.h"

std::string makeTestDataRoot() { return "/nonexistent/"; }
std::string buildDataRoot() { return std::string(CORVUS_BIN_DIR) + "/../"; }

HeadlessRunner::HeadlessRunner(const std::string&, uint32_t) {}
HeadlessRunner::~HeadlessRunner() {}
void HeadlessRunner::frames(int) {}
void HeadlessRunner::pressKey(int) {}
void HeadlessRunner::keyDown(int, bool) {}
void HeadlessRunner::keyUp(int) {}
void HeadlessRunner::penPress(int, int) {}
void HeadlessRunner::penMove(int, int) {}
void HeadlessRunner::penRelease(int, int) {}
void HeadlessRunner::setFocus(bool) {}
int32_t HeadlessRunner::nowMs() const { return 0; }
std::string HeadlessRunner::settingsPath() const { return ""; }
std::string HeadlessRunner::configHome() const { return ""; }
