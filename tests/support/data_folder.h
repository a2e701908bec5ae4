// A scratch working folder for the real client: a small map1 (pictures and text) and the four
// shared pictures, removed with everything in it; and the environment that runs the client
// without a display. Header-only; used by the client tests that run the brallo binary.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace brallo::testing {

/// A 32-bit BMP of one colour, its fourth byte opaque.
inline void writeBmp(const std::filesystem::path& path, int width, int height, uint32_t argb) {
    std::ofstream out(path, std::ios::binary);
    auto u16 = [&](uint16_t v) { out.put(char(v & 255)).put(char(v >> 8)); };
    auto u32 = [&](uint32_t v) { u16(uint16_t(v & 0xFFFF)), u16(uint16_t(v >> 16)); };
    const uint32_t pixels = uint32_t(width * height * 4);
    out << "BM";
    u32(54 + pixels), u32(0), u32(54);
    u32(40), u32(uint32_t(width)), u32(uint32_t(height)), u16(1), u16(32), u32(0), u32(pixels);
    u32(2835), u32(2835), u32(0), u32(0);
    for (int i = 0; i < width * height; ++i) u32(argb);
}

/// No display, no sound, the software renderer; in a sanitizer build the SDL objects the client
/// keeps until it exits are not reported as leaks.
inline std::vector<std::string> headlessClientEnv() {
    std::filesystem::path suppressions =
        std::filesystem::path(__FILE__).parent_path() / "lsan_sdl.supp";
    return {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy", "SDL_RENDER_DRIVER=software",
            "LSAN_OPTIONS=suppressions=" + suppressions.string() + ":print_suppressions=0"};
}

class DataFolder {
  public:
    DataFolder() {
        static int counter = 0;
        dir_ = std::filesystem::temp_directory_path() /
               ("brallo-data-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(dir_ / "maps");
        for (const char* name : {"maps/map1.fg.bmp", "maps/map1.p2.bmp", "maps/map1.p5.bmp"})
            writeBmp(dir_ / name, 64, 32, 0xFF336699);
        for (const char* name : {"l.bmp", "r.bmp", "winner.bmp", "loser.bmp"})
            writeBmp(dir_ / name, 20, 10, 0xFFFFFFFF);
        std::ofstream(dir_ / "maps/map1.txt", std::ios::binary)
            << "c:10|20|30|0\r\nb:0|400|800|20\r\ns:300|390|0|0\r\n";
    }
    ~DataFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    DataFolder(const DataFolder&) = delete;
    DataFolder& operator=(const DataFolder&) = delete;

    std::string path() const { return dir_.string(); }

  private:
    std::filesystem::path dir_;
};

}  // namespace brallo::testing
