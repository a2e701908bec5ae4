#include "brallo/main/numbers.h"

#include <charconv>
#include <string>

#include "brallo/main/config.h"

namespace brallo {
namespace {

std::string quoted(std::string_view text) {
    // Keep the message on one line and readable whatever bytes arrived.
    std::string out = "\"";
    for (unsigned char c : text.substr(0, 64)) {
        if (c >= 32 && c < 127 && c != '"' && c != '\\') {
            out.push_back(static_cast<char>(c));
        } else {
            static constexpr char hex[] = "0123456789ABCDEF";
            out += "\\x";
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    if (text.size() > 64) out += "...";
    return out + "\"";
}

[[noreturn]] void fail(std::string_view what, std::string_view text, std::string_view expected) {
    throw ConversionError("Cannot convert " + std::string(what) + " " + quoted(text) +
                          ": expected " + std::string(expected));
}

bool allDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

template <typename T>
T parseDigits(std::string_view text, std::string_view what, std::string_view expected) {
    if (!allDigits(text)) fail(what, text, expected);
    T value{};
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) fail(what, text, expected);
    return value;
}

}  // namespace

uint16_t parsePort(std::string_view text, std::string_view what) {
    return parseDigits<uint16_t>(text, what, "digits from 0 to 65535");
}

uint32_t parseSeed(std::string_view text, std::string_view what) {
    return parseDigits<uint32_t>(text, what, "digits from 0 to 4294967295");
}

int32_t parseInt32(std::string_view text, std::string_view what) {
    if (auto value = decimalInt32(text)) return *value;
    fail(what, text, "a signed 32-bit decimal number");
}

}  // namespace brallo
