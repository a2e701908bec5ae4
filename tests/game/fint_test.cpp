// Fixed-point numbers and vectors: truncation, construction, comparison, wrapping.
#include "brallo/game/fint.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace brallo::game {
namespace {

struct ToIntCase {
    int32_t raw;
    int32_t whole;
};

class FintToInt : public testing::TestWithParam<ToIntCase> {};

TEST_P(FintToInt, TruncatesTowardZero) {
    EXPECT_EQ(Fint::raw(GetParam().raw).toInt(), GetParam().whole) << "raw " << GetParam().raw;
}

INSTANTIATE_TEST_SUITE_P(Table, FintToInt,
                         testing::Values(ToIntCase{1535, 1}, ToIntCase{3071, 2}, ToIntCase{3072, 3},
                                         ToIntCase{-1, 0}, ToIntCase{-1023, 0},
                                         ToIntCase{-1024, -1}, ToIntCase{-1025, -1},
                                         ToIntCase{-3071, -2}, ToIntCase{0, 0}, ToIntCase{1023, 0},
                                         ToIntCase{std::numeric_limits<int32_t>::max(), 2097151},
                                         ToIntCase{std::numeric_limits<int32_t>::min(), -2097152}));

struct ConstructCase {
    Fint value;
    int32_t raw;
};

class FintConstruct : public testing::TestWithParam<ConstructCase> {};

TEST_P(FintConstruct, RawValue) {
    EXPECT_EQ(GetParam().value.a, GetParam().raw);
}

INSTANTIATE_TEST_SUITE_P(Table, FintConstruct,
                         testing::Values(ConstructCase{Fint(2, 10), 204},
                                         ConstructCase{Fint(-2, 10), -204},
                                         ConstructCase{Fint(3), 3072},
                                         ConstructCase{Fint(-5), -5120}, ConstructCase{Fint(), 0},
                                         // Wraps like 32-bit hardware: 2^21 * 1024 = 2^31.
                                         ConstructCase{Fint(1 << 21), INT32_MIN},
                                         ConstructCase{Fint(-(1 << 21), -1), INT32_MIN}));

TEST(Fint, CompareReturnsTheDifference) {
    EXPECT_EQ(Fint::raw(5).compare(Fint::raw(9)), -4);
    EXPECT_EQ(Fint::raw(5).compare(0), 5);
    EXPECT_EQ(Fint::raw(2048).compare(2), 0);
    // The difference wraps rather than overflowing.
    EXPECT_EQ(Fint::raw(INT32_MIN).compare(Fint::raw(1)), INT32_MAX);
}

TEST(Fint, MaxClampsAtZero) {
    EXPECT_EQ(max(Fint::raw(-300), Fint()).a, 0);
    EXPECT_EQ(max(Fint::raw(700), Fint()).a, 700);
}

TEST(Fint, AdditionWraps) {
    Fint f = Fint::raw(INT32_MAX);
    f += Fint::raw(1);
    EXPECT_EQ(f.a, INT32_MIN);
}

TEST(Vec, DefaultsAndWholeNumberConstruction) {
    Vec<Fint> v(7, 0);
    EXPECT_EQ(v.x.a, 7168);
    EXPECT_EQ(v.y.a, 0);
    EXPECT_EQ(Vec<int32_t>(), Vec<int32_t>(0, 0));
    EXPECT_EQ(Vec<Fint>().x.a, 0);
    EXPECT_EQ(Vec<int32_t>(3, -4).y, -4);
}

}  // namespace
}  // namespace brallo::game
