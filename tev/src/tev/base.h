// TEV reader: a cursor that walks a text of lines made of words (atoms) and brace groups
// (brackets), yielding views into the text and never copying or allocating. Reads UTF-8 text
// owned by the caller; used by the game configuration (brallo/main/config.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace tev {

/// An unclosed "{" or bytes that are not well-formed UTF-8.
struct TEVError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// How the lexer treats a character: blanks separate elements, terminators end lines.
enum class CharType : int { data = 0, blank = 1, terminator = 2 };

/// CR, LF and ";" are terminators; space and tab are blanks; everything else is data.
constexpr CharType skipType(char32_t c) {
    switch (c) {
        case U'\r':
        case U'\n':
        case U';':
            return CharType::terminator;
        case U' ':
        case U'\t':
            return CharType::blank;
        default:
            return CharType::data;
    }
}

struct DecodedChar {
    char32_t c = 0;
    std::size_t length = 0;  ///< bytes taken by the character, 1 to 4
};

/// The character that starts at byte `at` of `text` (requires at < text.size()). Overlong forms,
/// surrogates, values above U+10FFFF and cut-off sequences throw a TEVError that gives the byte
/// offset `base + at`.
DecodedChar decodeChar(std::string_view text, std::size_t at, std::size_t base = 0);

/// The whole text as 32-bit characters; throws like decodeChar.
std::u32string toUtf32(std::string_view text);

/// One lexical element. Its text is a view into the source, valid while the source lives.
struct Element {
    enum class Type : int { atom = 0, bracket = 1, newline = 2 };

    /// Atom: the run itself. Bracket: everything between the outer braces. Newline: empty.
    std::string_view text;
    Type type = Type::atom;
};

/// Adapts anything with empty()/front()/popFront() to a range-for loop; walks its own copy.
template <typename Cursor>
class CursorIterator {
  public:
    using difference_type = std::ptrdiff_t;
    using value_type = decltype(std::declval<const Cursor&>().front());

    CursorIterator() = default;
    explicit CursorIterator(const Cursor& c) : cursor_(c) {}

    value_type operator*() const { return cursor_.front(); }
    CursorIterator& operator++() {
        cursor_.popFront();
        return *this;
    }
    void operator++(int) { cursor_.popFront(); }
    bool operator==(std::default_sentinel_t) const {
        if constexpr (requires(const Cursor& c) { c.empty(); }) {
            return cursor_.empty();
        } else {
            return cursor_.empty;  // TEVRange keeps it as a field
        }
    }

  private:
    Cursor cursor_;
};

/// The cursor: a small value, copied freely; walking a copy never moves the original.
struct TEVRange {
    std::string_view range;    ///< the unread rest of the source
    bool empty = true;         ///< no element left; set only by popFront
    Element computedFront;     ///< the current element
    std::size_t consumed = 0;  ///< bytes read since parseTEV, so errors can say where

    /// The current element; only valid while !empty.
    Element front() const { return computedFront; }
    /// Steps to the next element, or sets empty. Does nothing on an empty cursor.
    void popFront();

    CursorIterator<TEVRange> begin() const { return CursorIterator<TEVRange>(*this); }
    std::default_sentinel_t end() const { return {}; }

  private:
    /// Consumes blanks and terminators; true when at least one terminator was among them.
    bool skipDataless();
    /// Reads a bracket; the cursor stands on its "{".
    void lookForParens();
    /// Reads an atom; the cursor stands on a data character other than "{".
    void lookForAtom();
    void consume(std::size_t bytes);
};

/// A cursor standing on the first element of `text` (a whole text or an element's text), or
/// empty. A line break before the first atom or bracket is passed over, so no line is empty.
TEVRange parseTEV(std::string_view text);

/// A lazy sequence of element texts over a copy of a cursor: either one line (stops before the
/// next newline element) or the whole rest of the document with newline elements skipped.
template <bool wholeDocument>
class Texts {
  public:
    explicit Texts(const TEVRange& cursor) : cursor_(cursor) {
        if constexpr (wholeDocument) skipNewline();
    }

    bool empty() const {
        return cursor_.empty || (!wholeDocument && cursor_.front().type == Element::Type::newline);
    }
    std::string_view front() const { return cursor_.front().text; }
    void popFront() {
        cursor_.popFront();
        if constexpr (wholeDocument) skipNewline();
    }

    CursorIterator<Texts> begin() const { return CursorIterator<Texts>(*this); }
    std::default_sentinel_t end() const { return {}; }

  private:
    void skipNewline() {
        if (!cursor_.empty && cursor_.front().type == Element::Type::newline) cursor_.popFront();
    }

    TEVRange cursor_;
};

/// The texts of one line's elements.
using Line = Texts<false>;
/// The texts of all atoms and brackets to the end, across lines.
using List = Texts<true>;

/// The lines of a document, each a Line; holds only a cursor standing at a line's start.
struct Lines {
    TEVRange tev;

    bool empty() const { return tev.empty; }
    /// The current line, from a copy of the cursor; asking twice gives the same line.
    Line front() const { return Line(tev); }
    /// Moves past the next newline element onto the first element of the next line.
    void popFront();

    CursorIterator<Lines> begin() const { return CursorIterator<Lines>(*this); }
    std::default_sentinel_t end() const { return {}; }
};

/// The lines from the cursor's current element on; the cursor itself does not move.
inline Lines lines(const TEVRange& r) {
    return Lines{r};
}
/// The texts of all non-newline elements from the cursor's current element on.
inline List list(const TEVRange& r) {
    return List(r);
}

}  // namespace tev
