// Writing and strict reading of match records.
#include "record.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace brallo::relay {

namespace {

constexpr std::string_view magic = "brallo-record 1";
constexpr std::string_view droppedToken = "-";
constexpr std::size_t maxConfigBytes = 1 << 20;
constexpr char hexDigits[] = "0123456789ABCDEF";

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class LineReader {
  public:
    explicit LineReader(std::istream& in) : in_(in) {}

    std::int64_t number() const { return number_; }

    [[noreturn]] void fail(const std::string& what) const {
        throw RecordError("record line " + std::to_string(number_) + ": " + what);
    }

    /// The next line without its "\n"; nullopt at the end of the input.
    std::optional<std::string> next() {
        std::string line;
        if (!std::getline(in_, line)) {
            if (in_.bad()) fail("read error");
            return std::nullopt;
        }
        ++number_;
        if (in_.eof()) fail("torn line (no line end)");
        return line;
    }

    std::string expect(std::string_view what) {
        auto line = next();
        if (!line) {
            ++number_;
            fail("missing " + std::string(what));
        }
        return *line;
    }

    void readBytes(std::string& out, std::size_t count) {
        out.resize(count);
        in_.read(out.data(), static_cast<std::streamsize>(count));
        if (static_cast<std::size_t>(in_.gcount()) != count) fail("configuration text cut short");
        number_ += static_cast<std::int64_t>(std::count(out.begin(), out.end(), '\n'));
        if (in_.get() != '\n') fail("no line end after the configuration text");
        ++number_;
    }

  private:
    std::istream& in_;
    std::int64_t number_ = 0;
};

// "key value" with value plain decimal digits within [0, high].
template <typename T>
T keyedNumber(LineReader& reader, const std::string& line, std::string_view key, T high) {
    std::string prefix = std::string(key) + " ";
    if (line.compare(0, prefix.size(), prefix) != 0)
        reader.fail("expected \"" + std::string(key) + " <number>\"");
    std::string_view text = std::string_view(line).substr(prefix.size());
    T value{};
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text.find_first_not_of("0123456789") != text.npos || ec != std::errc{} ||
        end != text.data() + text.size() || value > high)
        reader.fail("bad number \"" + std::string(text) + "\" after " + std::string(key));
    return value;
}

std::vector<std::string_view> splitSpaces(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t start = 0;
    while (true) {
        std::size_t space = line.find(' ', start);
        words.push_back(line.substr(start, space - start));
        if (space == line.npos) break;
        start = space + 1;
    }
    return words;
}

}  // namespace

std::string encodeCommand(std::string_view command) {
    std::string token;
    for (char c : command) {
        auto byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7F && c != '%') {
            token.push_back(c);
        } else {
            token.push_back('%');
            token.push_back(hexDigits[byte >> 4]);
            token.push_back(hexDigits[byte & 15]);
        }
    }
    return token;
}

std::string decodeCommand(std::string_view token) {
    std::string command;
    for (std::size_t i = 0; i < token.size(); ++i) {
        if (token[i] != '%') {
            command.push_back(token[i]);
            continue;
        }
        int high = i + 2 < token.size() ? hexValue(token[i + 1]) : -1;
        int low = high >= 0 ? hexValue(token[i + 2]) : -1;
        if (low < 0) throw RecordError("bad escape in command \"" + std::string(token) + "\"");
        command.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return command;
}

void RecordWriter::header(std::int32_t players, std::uint32_t seed, std::string_view config) {
    out_ << magic << '\n'
         << "players " << players << '\n'
         << "seed " << seed << '\n'
         << "config " << config.size() << '\n';
    out_.write(config.data(), static_cast<std::streamsize>(config.size()));
    out_ << '\n' << std::flush;
}

void RecordWriter::tick(const std::vector<std::optional<std::string>>& commands) {
    ++ticks_;
    out_ << "tick " << ticks_;
    for (const auto& command : commands) out_ << ' ' << (command ? encodeCommand(*command) : "-");
    out_ << '\n' << std::flush;
}

void RecordWriter::end() {
    out_ << "end " << ticks_ << '\n' << std::flush;
}

Recording readRecording(std::istream& in) {
    LineReader reader(in);
    Recording recording;
    if (reader.expect("the first line") != magic)
        reader.fail("not a brallo record (expected \"" + std::string(magic) + "\")");
    recording.players =
        keyedNumber<std::int32_t>(reader, reader.expect("players"), "players", 1 << 20);
    if (recording.players < 1) reader.fail("a match has at least one player");
    recording.seed = keyedNumber<std::uint32_t>(reader, reader.expect("seed"), "seed", 4294967295u);
    auto configBytes =
        keyedNumber<std::size_t>(reader, reader.expect("config"), "config", maxConfigBytes);
    reader.readBytes(recording.config, configBytes);

    std::vector<bool> gone(static_cast<std::size_t>(recording.players), false);
    while (auto line = reader.next()) {
        if (recording.finished) reader.fail("text after the end line");
        auto words = splitSpaces(*line);
        if (words[0] == "end") {
            auto count = keyedNumber<std::size_t>(reader, *line, "end", SIZE_MAX);
            if (count != recording.ticks.size())
                reader.fail("end line counts " + std::to_string(count) + " ticks, found " +
                            std::to_string(recording.ticks.size()));
            recording.finished = true;
            continue;
        }
        if (words[0] != "tick") reader.fail("expected \"tick\" or \"end\"");
        std::string expected = std::to_string(recording.ticks.size() + 1);
        if (words.size() < 2 || words[1] != expected)
            reader.fail("expected tick number " + expected);
        if (words.size() != 2 + gone.size())
            reader.fail("expected " + std::to_string(gone.size()) + " commands");
        std::vector<std::string> commands;
        for (std::size_t p = 0; p < gone.size(); ++p) {
            std::string_view token = words[2 + p];
            if (token == droppedToken) {
                gone[p] = true;
                commands.emplace_back();
                continue;
            }
            if (gone[p]) reader.fail("command of player " + std::to_string(p) + " after its drop");
            std::string command;
            try {
                command = decodeCommand(token);
            } catch (const RecordError& e) {
                reader.fail(e.what());
            }
            if (command.size() != 3)
                reader.fail("command \"" + std::string(token) + "\" is not three bytes");
            commands.push_back(std::move(command));
        }
        recording.ticks.push_back(std::move(commands));
    }
    return recording;
}

}  // namespace brallo::relay
