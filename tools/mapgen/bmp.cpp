// The BMP encoder. Every field is written byte by byte in little-endian order, so the file is
// the same whatever the host's byte order.
#include "bmp.h"

#include <cstdio>
#include <stdexcept>

namespace brallo::mapgen {

namespace {

void put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

constexpr uint32_t fileHeaderSize = 14;
constexpr uint32_t infoHeaderSize = 40;

}  // namespace

std::string encodeBmp(const Canvas& canvas) {
    const auto w = static_cast<uint32_t>(canvas.width());
    const auto h = static_cast<uint32_t>(canvas.height());
    const uint64_t pixelBytes = uint64_t{w} * h * 4;
    const uint64_t fileSize = fileHeaderSize + infoHeaderSize + pixelBytes;
    if (fileSize > 0xFFFFFFFFu) throw std::runtime_error("Picture too large for a BMP file");

    std::string out;
    out.reserve(static_cast<size_t>(fileSize));
    out += "BM";
    put32(out, static_cast<uint32_t>(fileSize));
    put32(out, 0);  // reserved
    put32(out, fileHeaderSize + infoHeaderSize);
    put32(out, infoHeaderSize);
    put32(out, w);
    put32(out, h);  // positive height: rows run bottom-up
    put16(out, 1);  // planes
    put16(out, 32);
    put32(out, 0);  // BI_RGB
    put32(out, static_cast<uint32_t>(pixelBytes));
    put32(out, 2835);  // 72 dpi, in pixels per metre
    put32(out, 2835);
    put32(out, 0);  // palette size
    put32(out, 0);  // important colours
    for (int32_t y = canvas.height() - 1; y >= 0; --y) {
        for (int32_t x = 0; x < canvas.width(); ++x) {
            const Pixel p = canvas.at(x, y);
            out += static_cast<char>(p.b);
            out += static_cast<char>(p.g);
            out += static_cast<char>(p.r);
            out += static_cast<char>(p.a);
        }
    }
    return out;
}

void writeBmp(const std::string& path, const Canvas& canvas) {
    const std::string bytes = encodeBmp(canvas);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) throw std::runtime_error("Cannot write \"" + path + "\"");
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !ok) {
        std::remove(path.c_str());
        throw std::runtime_error("Cannot write \"" + path + "\"");
    }
}

}  // namespace brallo::mapgen
