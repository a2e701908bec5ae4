// Fuzz target for the TEV reader: walks every element of the input (and of the brackets inside
// it, a few levels deep), every line and the list, and checks the shape the reader promises.
// Built only by the fuzz build (fuzz/run).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tev/base.h"

namespace {

// A broken promise of the reader; the fuzzer reports the abort with its input.
void require(bool holds) {
    if (!holds) std::abort();
}

bool inside(std::string_view part, std::string_view whole) {
    return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

void walk(std::string_view source, int depth) {
    tev::TEVRange cursor = tev::parseTEV(source);

    std::size_t contentElements = 0;
    bool previousWasNewline = true;  // a newline may not stand first either
    for (tev::TEVRange r = cursor; !r.empty; r.popFront()) {
        const tev::Element e = r.front();
        require(inside(e.text, source));
        if (e.type == tev::Element::Type::newline) {
            require(e.text.empty());
            require(!previousWasNewline);
            previousWasNewline = true;
            continue;
        }
        previousWasNewline = false;
        ++contentElements;
        if (e.type == tev::Element::Type::atom) {
            require(!e.text.empty() && e.text.front() != '{');
            // The reader has decoded every character of an atom, so this cannot fail.
            tev::toUtf32(e.text);
        } else if (depth < 4) {
            walk(e.text, depth + 1);
        }
    }
    require(cursor.empty || !previousWasNewline);  // no newline stands last

    std::size_t inLines = 0;
    for (tev::Line line : tev::lines(cursor)) {
        std::size_t inLine = 0;
        for (std::string_view text : line) {
            require(inside(text, source));
            ++inLine;
        }
        require(inLine > 0);
        inLines += inLine;
    }
    require(inLines == contentElements);

    std::size_t inList = 0;
    for (std::string_view text : tev::list(cursor)) {
        require(inside(text, source));
        ++inList;
    }
    require(inList == contentElements);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view source(reinterpret_cast<const char*>(data), size);
    try {
        walk(source, 0);
    } catch (const tev::TEVError&) {
        // Unbalanced braces and malformed UTF-8 are refused with this error, as they should be.
    }
    return 0;
}
