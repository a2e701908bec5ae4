// Fixed-point numbers and two-component vectors of the simulation.
// Fint holds a value times 1024 in a 32-bit raw field; all of its arithmetic wraps like
// 32-bit two's complement, computed in unsigned so it is never undefined behaviour.
// Used by every part of the simulation; nothing here touches floating point.
#pragma once

#include <cstdint>
#include <type_traits>

namespace brallo::game {

/// Wrapping 32-bit arithmetic: the results of two's complement hardware, without signed overflow.
constexpr int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
constexpr int32_t wrapSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
constexpr int32_t wrapMul(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
constexpr int32_t wrapShl(int32_t a, int bits) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) << bits);
}
/// Division truncating toward zero; the one quotient that overflows (INT32_MIN / -1) wraps.
constexpr int32_t wrapDiv(int32_t a, int32_t b) {
    if (b == -1) return wrapSub(0, a);
    return a / b;
}

/// Signed fixed-point number with ten fraction bits: the value is `a` / 1024.
struct Fint {
    int32_t a = 0;  ///< raw value

    constexpr Fint() = default;
    /// A whole number: a = from * 1024 (wrapping).
    constexpr explicit Fint(int32_t from) : a(wrapShl(from, 10)) {}
    /// (numerator * 1024) / denominator, truncated toward zero. The denominator is never 0.
    constexpr Fint(int32_t numerator, int32_t denominator)
        : a(wrapDiv(wrapShl(numerator, 10), denominator)) {}

    static constexpr Fint raw(int32_t value) {
        Fint f;
        f.a = value;
        return f;
    }

    /// Negative, zero or positive as this is less than, equal to or greater than `other`.
    constexpr int32_t compare(Fint other) const { return wrapSub(a, other.a); }
    constexpr int32_t compare(int32_t other) const { return wrapSub(a, wrapShl(other, 10)); }

    /// Truncation toward zero, the same as a / 1024 in C.
    constexpr int32_t toInt() const {
        int32_t t = a < 0 ? wrapAdd(a, 1023) : a;
        return t >> 10;  // arithmetic shift (guaranteed since C++20)
    }

    constexpr Fint& operator+=(Fint rhs) {
        a = wrapAdd(a, rhs.a);
        return *this;
    }
    constexpr bool operator==(const Fint&) const = default;
};

/// The second value if the first compares less than it, otherwise the first.
constexpr Fint max(Fint first, Fint second) {
    return first.compare(second) < 0 ? second : first;
}

/// Two components, x to the right and y downwards; over int for positions and sizes, over Fint
/// for speeds and accelerations.
template <typename T>
struct Vec {
    T x{};
    T y{};

    constexpr Vec() = default;
    constexpr Vec(T ax, T ay) : x(ax), y(ay) {}
    /// A Fint vector from whole numbers.
    constexpr Vec(int32_t ax, int32_t ay) requires(!std::is_same_v<T, int32_t>) : x(ax), y(ay) {}
    constexpr bool operator==(const Vec&) const = default;
};

}  // namespace brallo::game
