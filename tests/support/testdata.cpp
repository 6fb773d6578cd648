// Picture files, temporary folders, file reading and runs of the executable for tests.
#include <QBuffer>
#include <QImage>

#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/runner.h"

namespace {

struct PictureSpec {
    int width, height;  // pixels
    uint32_t rgb;       // 0xRRGGBB; every channel a multiple of 8 so RGB565 keeps it exactly
};

// Index = file number: pp1 background, pp2 rock sheet, pp3 text sheet, pp4
// banner, pp5 by64 sheet, pp6 title, pp7 exit, pp8 menu items, pp9 menu.
const PictureSpec TEST_PICTURES[10] = {
    {0, 0, 0},           {240, 320, 0x204080}, {200, 850, 0x808000}, {500, 300, 0x00f8f8},
    {240, 60, 0xf8f800}, {774, 459, 0x800080}, {240, 320, 0xf80000}, {240, 180, 0x00f800},
    {142, 200, 0x406080}, {240, 100, 0x0000f8}};

std::string tempBase;
pid_t tempBaseOwner = 0;  // a child forked by a test leaves the folders to its parent

void removeTempBase() {
    std::error_code ignored;
    if (getpid() == tempBaseOwner)
        std::filesystem::remove_all(tempBase, ignored);
}

} // namespace

std::string makeTempDir(const char* what) {
    if (tempBase.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "corvus-test-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        tempBase = pattern;
        tempBaseOwner = getpid();
        std::atexit(removeTempBase);
    }
    static int counter = 0;
    const std::string dir = tempBase + "/" + what + std::to_string(++counter) + "/";
    std::filesystem::create_directories(dir);
    return dir;
}

uint16_t testPictureColour(int file) {
    return file < 1 || file > 9 ? 0 : colourRule(0xff000000u | TEST_PICTURES[file].rgb);
}

std::string makeTestDataRoot() {
    const std::string root = makeTempDir("data");
    const std::string data = root + "lib/corvusraiders_demo/";
    std::filesystem::create_directories(data);
    static QByteArray encoded[10];  // encoded once per process
    for (int file = 1; file <= 9; ++file) {
        if (encoded[file].isEmpty()) {
            const PictureSpec& p = TEST_PICTURES[file];
            QImage image(p.width, p.height, QImage::Format_RGB32);
            image.fill(QColor::fromRgb(p.rgb));
            QBuffer buffer(&encoded[file]);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
        }
        std::ofstream out(data + "pp" + std::to_string(file), std::ios::binary);
        if (!out.write(encoded[file].constData(), encoded[file].size()))
            std::abort();
    }
    return root;
}

std::string buildDataRoot() {
    return std::filesystem::weakly_canonical(std::string(CORVUS_BIN_DIR) + "/..").string() + "/";
}

std::string readTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int runExecutable(const std::string& env, const std::string& args, const std::string& dir,
                  int seconds) {
    const std::string command = "env " + env + " timeout " + std::to_string(seconds) + " '" +
                                CORVUS_BIN_DIR "/corvusraiders' " + args + " >'" + dir +
                                "out' 2>'" + dir + "err'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
