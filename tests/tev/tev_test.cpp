// The TEV reader: the element sequence of documents, lines and lists, cursor copies, and the
// UTF-8 decoding with its errors.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tev/base.h"

namespace {

using tev::Element;

// "A text" for an atom, "B text" for a bracket, "N" for a newline, separated by ", ".
std::string describe(std::string_view source) {
    std::string out;
    for (tev::TEVRange r = tev::parseTEV(source); !r.empty; r.popFront()) {
        if (!out.empty()) out += ", ";
        const Element e = r.front();
        switch (e.type) {
            case Element::Type::atom:
                out += "A " + std::string(e.text);
                break;
            case Element::Type::bracket:
                out += "B " + std::string(e.text);
                break;
            case Element::Type::newline:
                out += "N";
                EXPECT_TRUE(e.text.empty());
                break;
        }
    }
    return out;
}

template <typename Seq>
std::vector<std::string> collect(const Seq& seq) {
    std::vector<std::string> out;
    for (std::string_view s : seq) out.emplace_back(s);
    return out;
}

using LineList = std::vector<std::vector<std::string>>;

LineList linesOf(std::string_view source) {
    LineList out;
    for (const tev::Line& line : tev::lines(tev::parseTEV(source))) out.push_back(collect(line));
    return out;
}

struct ElementCase {
    std::string_view source;
    std::string_view elements;
};

class Elements : public testing::TestWithParam<ElementCase> {};

TEST_P(Elements, AreCutAsDocumented) {
    EXPECT_EQ(describe(GetParam().source), GetParam().elements);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, Elements,
    testing::Values(ElementCase{"winPoints 5", "A winPoints, A 5"},
                    ElementCase{"a;b", "A a, N, A b"},
                    ElementCase{"  a  b ;; \r\n  c ;", "A a, A b, N, A c"},
                    ElementCase{"x\r\n \r\n;\r\ny", "A x, N, A y"},
                    ElementCase{"{fireBall  miniBall}", "B fireBall  miniBall"},
                    ElementCase{"{a {b} c} d", "B a {b} c, A d"},
                    ElementCase{"ab{c d}", "A ab{c, A d}"}, ElementCase{"{a}b{}", "B a, A b{}"},
                    ElementCase{"x {a;b\r\nc} y", "A x, B a;b\r\nc, A y"}, ElementCase{"{}", "B "},
                    ElementCase{"a}", "A a}"},
                    // Only space, tab, CR, LF and ";" separate: form feed, vertical tab and
                    // no-break space are data.
                    ElementCase{"a\fb\vc\u00A0d\te", "A a\fb\vc\u00A0d, A e"}, ElementCase{"", ""},
                    ElementCase{" \t;\r\n ;", ""},
                    // A line break before the first element is passed over.
                    ElementCase{";\r\n a b", "A a, A b"}));

TEST(Elements, UnclosedBraceIsAnError) {
    for (std::string_view source : {"{a", "{a {b}", "x y\n{", "ok {a {b} c"}) {
        try {
            describe(source);
            ADD_FAILURE() << "no error for " << source;
        } catch (const tev::TEVError& e) {
            EXPECT_STREQ(e.what(), "Unbalanced Parens in TEV") << source;
        }
    }
}

TEST(Elements, TextsAreViewsIntoTheSource) {
    const std::string source = "word {inner text}\n";
    tev::TEVRange r = tev::parseTEV(source);
    EXPECT_EQ(r.front().text.data(), source.data());
    r.popFront();
    EXPECT_EQ(r.front().text.data(), source.data() + 6);
    EXPECT_EQ(r.front().text.size(), 10u);
}

TEST(Cursor, CopyAdvancesIndependently) {
    const tev::TEVRange original = tev::parseTEV("a b c");
    tev::TEVRange copy = original;
    copy.popFront();
    copy.popFront();
    EXPECT_EQ(copy.front().text, "c");
    EXPECT_EQ(original.front().text, "a");
    EXPECT_FALSE(original.empty);
    // Walking lines and lists of the original does not move it either.
    EXPECT_EQ(collect(tev::list(original)), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(original.front().text, "a");
}

TEST(Cursor, PopFrontOnEmptyChangesNothing) {
    tev::TEVRange r = tev::parseTEV("x");
    r.popFront();
    ASSERT_TRUE(r.empty);
    r.popFront();
    EXPECT_TRUE(r.empty);
    EXPECT_TRUE(r.range.empty());
}

struct LinesCase {
    std::string_view source;
    LineList lines;
};

class LinesOf : public testing::TestWithParam<LinesCase> {};

TEST_P(LinesOf, GroupElementsBetweenBreaks) {
    EXPECT_EQ(linesOf(GetParam().source), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Breaks, LinesOf,
    testing::Values(LinesCase{"", {}}, LinesCase{" \r\n;; ", {}},
                    // Any run of separators holding a terminator makes exactly one break.
                    LinesCase{"a;b", {{"a"}, {"b"}}}, LinesCase{"a\nb", {{"a"}, {"b"}}},
                    LinesCase{"a\r\nb", {{"a"}, {"b"}}}, LinesCase{"a ; ; b", {{"a"}, {"b"}}},
                    LinesCase{"a b\r\n", {{"a", "b"}}},
                    LinesCase{"\n\n;a b\n\n\r\nc\r\n \r\n", {{"a", "b"}, {"c"}}},
                    LinesCase{"mode m; winPoints {4}  extra\n",
                              {{"mode", "m"}, {"winPoints", "4", "extra"}}},
                    LinesCase{"x {a;b\r\nc} y\nz", {{"x", "a;b\r\nc", "y"}, {"z"}}}));

TEST(Lines, FrontTwiceGivesTheSameLine) {
    const tev::Lines ls = tev::lines(tev::parseTEV("a b\nc"));
    EXPECT_EQ(collect(ls.front()), collect(ls.front()));
    EXPECT_EQ(collect(ls.front()), (std::vector<std::string>{"a", "b"}));
}

TEST(Lines, BracketTextIsADocumentOfItsOwn) {
    tev::TEVRange r = tev::parseTEV("x {a;b\r\nc} y");
    r.popFront();
    ASSERT_EQ(r.front().type, Element::Type::bracket);
    EXPECT_EQ(linesOf(r.front().text), (LineList{{"a"}, {"b"}, {"c"}}));
}

TEST(List, SkipsBreaksAndUnwrapsBrackets) {
    EXPECT_EQ(collect(tev::list(tev::parseTEV("x\ny;z {w}"))),
              (std::vector<std::string>{"x", "y", "z", "w"}));
    EXPECT_EQ(collect(tev::list(tev::parseTEV("fireBall {miniBall}\n\n{a {b}}"))),
              (std::vector<std::string>{"fireBall", "miniBall", "a {b}"}));
    EXPECT_TRUE(tev::list(tev::parseTEV(" ;\n")).empty());
}

TEST(Utf8, MultiByteCharactersAreData) {
    // 2-, 3- and 4-byte characters; none of their bytes may be taken for a separator.
    const std::string source = "\u00E9\u20AC\U0001F600 {\u00FC;x}";
    tev::TEVRange r = tev::parseTEV(source);
    EXPECT_EQ(r.front().text, "\u00E9\u20AC\U0001F600");
    EXPECT_EQ(tev::toUtf32(r.front().text), U"\u00E9\u20AC\U0001F600");
    r.popFront();
    EXPECT_EQ(r.front().text, "\u00FC;x");
    r.popFront();
    EXPECT_TRUE(r.empty);
}

TEST(Utf8, DecodeReportsLengthInBytes) {
    EXPECT_EQ(tev::decodeChar("a", 0).length, 1u);
    EXPECT_EQ(tev::decodeChar("x\u00E9", 1).c, U'\u00E9');
    EXPECT_EQ(tev::decodeChar("x\u00E9", 1).length, 2u);
    EXPECT_EQ(tev::decodeChar("\U0010FFFF", 0).c, U'\U0010FFFF');
    EXPECT_EQ(tev::decodeChar("\U0010FFFF", 0).length, 4u);
}

struct MalformedCase {
    std::string_view source;
    std::size_t offset;
};

class Malformed : public testing::TestWithParam<MalformedCase> {};

TEST_P(Malformed, IsAnErrorThatSaysWhere) {
    try {
        describe(GetParam().source);
        FAIL() << "no error";
    } catch (const tev::TEVError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("Malformed UTF-8"), std::string::npos) << message;
        EXPECT_NE(message.find("byte offset " + std::to_string(GetParam().offset)),
                  std::string::npos)
            << message;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, Malformed,
    testing::Values(MalformedCase{"a\xC3", 1},                 // cut off at the end
                    MalformedCase{"\x80", 0},                  // stray continuation byte
                    MalformedCase{"ab \xC0\xAF", 3},           // overlong "/"
                    MalformedCase{"\xE0\x80\xAF", 0},          // overlong 3-byte form
                    MalformedCase{"\xED\xA0\x80", 0},          // surrogate
                    MalformedCase{"\xF4\x90\x80\x80", 0},      // above U+10FFFF
                    MalformedCase{"\xF8\x88\x80\x80\x80", 0},  // 5-byte form
                    MalformedCase{"x;\xFF", 2},
                    MalformedCase{"{a\xE2\x82}", 2},      // inside a bracket
                    MalformedCase{"ok \xF0\x9F\x98", 3},  // 4-byte form cut off
                    MalformedCase{"a\xC3 b", 1}));        // continuation replaced by a blank

TEST(Utf8, ToUtf32RejectsMalformedText) {
    EXPECT_THROW(tev::toUtf32("fire\xC3"), tev::TEVError);
    EXPECT_EQ(tev::toUtf32("fireBall"), U"fireBall");
}

}  // namespace
