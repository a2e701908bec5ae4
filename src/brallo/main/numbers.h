// Strict conversion of the decimal texts that arrive from the console and the server: the whole
// text must be the number, nothing before or after it. Used by match setup and the tick exchange.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace brallo {

struct ConversionError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// Digits only, within 0 to 65535. `what` names the value in the error.
uint16_t parsePort(std::string_view text, std::string_view what = "port");
/// Digits only, within 0 to 4294967295.
uint32_t parseSeed(std::string_view text, std::string_view what = "seed");
/// Digits with an optional leading "+" or "-", within the signed 32-bit range.
int32_t parseInt32(std::string_view text, std::string_view what);

}  // namespace brallo
