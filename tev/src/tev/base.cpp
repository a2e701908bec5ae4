// The TEV lexer: decodes the source one UTF-8 character at a time and cuts it into elements.
// Every index is checked against the view's size before the byte is read, since the
// configuration text comes from the network.
#include "tev/base.h"

#include <string>

namespace tev {

namespace {

[[noreturn]] void malformed(std::size_t offset) {
    throw TEVError("Malformed UTF-8 in TEV at byte offset " + std::to_string(offset));
}

bool isContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

}  // namespace

DecodedChar decodeChar(std::string_view text, std::size_t at, std::size_t base) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char b0 = byte(0);
    if (b0 < 0x80) return {b0, 1};

    std::size_t length;
    char32_t c;
    // The allowed range of the second byte rules out overlong forms, surrogates and values
    // above U+10FFFF in one check.
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        c = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        c = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        c = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        malformed(base + at);
    }
    if (text.size() - at < length) malformed(base + at);
    const unsigned char b1 = byte(1);
    if (b1 < lo || b1 > hi) malformed(base + at);
    for (std::size_t i = 1; i < length; ++i) {
        if (!isContinuation(byte(i))) malformed(base + at);
        c = (c << 6) | (byte(i) & 0x3F);
    }
    return {c, length};
}

std::u32string toUtf32(std::string_view text) {
    std::u32string out;
    for (std::size_t at = 0; at < text.size();) {
        const DecodedChar d = decodeChar(text, at);
        out.push_back(d.c);
        at += d.length;
    }
    return out;
}

void TEVRange::consume(std::size_t bytes) {
    range.remove_prefix(bytes);
    consumed += bytes;
}

bool TEVRange::skipDataless() {
    bool passedTerminator = false;
    while (!range.empty()) {
        const DecodedChar d = decodeChar(range, 0, consumed);
        const CharType t = skipType(d.c);
        if (t == CharType::data) break;
        if (t == CharType::terminator) passedTerminator = true;
        consume(d.length);
    }
    return passedTerminator;
}

void TEVRange::lookForAtom() {
    std::size_t n = 0;
    while (n < range.size()) {
        const DecodedChar d = decodeChar(range, n, consumed);
        if (skipType(d.c) != CharType::data) break;
        n += d.length;
    }
    computedFront = Element{range.substr(0, n), Element::Type::atom};
    consume(n);
}

void TEVRange::lookForParens() {
    consume(1);  // the "{"
    std::size_t n = 0;
    std::size_t parenBalance = 1;
    while (n < range.size()) {
        const DecodedChar d = decodeChar(range, n, consumed);
        if (d.c == U'{') {
            ++parenBalance;
        } else if (d.c == U'}') {
            if (--parenBalance == 0) break;
        }
        n += d.length;
    }
    if (parenBalance != 0) throw TEVError("Unbalanced Parens in TEV");
    computedFront = Element{range.substr(0, n), Element::Type::bracket};
    consume(n + 1);  // the contents and the matching "}"
}

void TEVRange::popFront() {
    if (empty) return;
    const bool passedTerminator = skipDataless();
    if (range.empty()) {
        empty = true;
        return;
    }
    if (passedTerminator) {
        // Stays before the data character, so the next call passes no terminator: two newline
        // elements never follow each other and none stands last.
        computedFront = Element{range.substr(0, 0), Element::Type::newline};
        return;
    }
    if (range.front() == '{') {
        lookForParens();
    } else {
        lookForAtom();
    }
}

TEVRange parseTEV(std::string_view text) {
    TEVRange r;
    r.range = text;
    r.empty = false;
    r.popFront();
    if (!r.empty && r.front().type == Element::Type::newline) r.popFront();
    return r;
}

void Lines::popFront() {
    while (!tev.empty && tev.front().type != Element::Type::newline) tev.popFront();
    tev.popFront();
}

}  // namespace tev
