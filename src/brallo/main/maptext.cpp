// The map text reader. The syntax is strict so that every client builds the same world from
// the same file; any deviation stops the load with the line and what was expected there.
#include "brallo/main/maptext.h"

#include <cstdio>
#include <optional>

#include "brallo/main/config.h"

namespace brallo {

namespace {

class RecordReader {
  public:
    explicit RecordReader(std::string_view bytes) : bytes_(bytes) {}

    bool atEnd() const { return pos_ == bytes_.size(); }

    MapRecord record() {
        MapRecord r;
        r.name = name();
        r.x = number("x");
        expect('|', "\"|\" after x");
        r.y = number("y");
        expect('|', "\"|\" after y");
        r.width = number("width");
        expect('|', "\"|\" after width");
        r.height = number("height");
        expect('\r', "CR LF after height");
        expect('\n', "CR LF after height");
        ++line_;
        return r;
    }

  private:
    [[noreturn]] void fail(const std::string& what) const {
        throw MapError("Map text line " + std::to_string(line_) + ": " + what);
    }

    [[noreturn]] void expected(std::string_view what) const {
        std::string found;
        if (atEnd()) {
            found = "the end of the file";
        } else {
            const auto b = static_cast<unsigned char>(bytes_[pos_]);
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", b);
            found = (b > 32 && b < 127) ? "\"" + std::string(1, static_cast<char>(b)) + "\""
                                        : std::string("byte ") + hex;
        }
        fail("expected " + std::string(what) + ", found " + found);
    }

    void expect(char c, std::string_view what) {
        if (atEnd() || bytes_[pos_] != c) expected(what);
        ++pos_;
    }

    // A line end inside the letter means a blank line or a missing ":"; both are errors, and
    // stopping here reports them on the line where they are.
    std::string name() {
        const std::size_t start = pos_;
        while (!atEnd() && bytes_[pos_] != ':') {
            if (bytes_[pos_] == '\r' || bytes_[pos_] == '\n') break;
            ++pos_;
        }
        const std::string_view letter = bytes_.substr(start, pos_ - start);
        expect(':', "\":\" after the record letter");
        return std::string(letter);
    }

    int32_t number(std::string_view field) {
        const std::size_t start = pos_;
        if (!atEnd() && (bytes_[pos_] == '+' || bytes_[pos_] == '-')) ++pos_;
        const std::size_t digits = pos_;
        while (!atEnd() && bytes_[pos_] >= '0' && bytes_[pos_] <= '9') ++pos_;
        if (pos_ == digits) expected("a digit in " + std::string(field));
        const std::optional<int32_t> value = decimalInt32(bytes_.substr(start, pos_ - start));
        if (!value) fail(std::string(field) + " is outside the 32-bit signed range");
        return *value;
    }

    std::string_view bytes_;
    std::size_t pos_ = 0;
    int64_t line_ = 1;
};

uint8_t low8(int32_t v) {
    return static_cast<uint8_t>(static_cast<uint32_t>(v) & 0xFF);
}

}  // namespace

void readMapText(std::string_view bytes, const std::function<void(const MapRecord&)>& onRecord) {
    RecordReader reader(bytes);
    while (!reader.atEnd()) {
        const MapRecord r = reader.record();
        if (!r.name.empty()) onRecord(r);
    }
}

void applyMapText(std::string_view bytes, game::World& world, game::Color& bgColor) {
    readMapText(bytes, [&](const MapRecord& r) {
        const game::Vec<int32_t> pos{r.x, r.y};
        if (r.name == "b" || r.name == "p") {
            world.blocks.push_back(game::Block{pos, {r.width, r.height}, r.name == "p"});
        } else if (r.name == "c") {
            bgColor = game::Color{low8(r.x), low8(r.y), low8(r.width)};
        } else if (r.name == "s" || r.name == "g") {
            game::addThing(world.things, game::weaponSpot(world, pos, r.name == "g"));
        } else {
            throw MapError("Map error");
        }
    });
}

std::string readFileBytes(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) throw MapError("Cannot open file \"" + path + "\"");
    std::string bytes;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
    // A directory opens but fails on the first read; that must not pass for an empty map.
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) throw MapError("Cannot read file \"" + path + "\"");
    return bytes;
}

}  // namespace brallo
