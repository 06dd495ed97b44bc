#pragma once

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace qrt::common {

/// One printf conversion: flags "-+ #0", width, precision, length modifier, conversion.
struct Conversion {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool alternate = false;
    bool zero = false;
    int width = 0;
    int precision = -1;      // -1: none given
    int lengthModifier = 0;  // 0 none, 1 "l", 2 "ll", -1 "h", -2 "hh", 3 "z"
    char specifier = 0;      // d i u x X f s c %
};

/// Parses a conversion that starts at `p` (just after the '%'); returns where it ends.
constexpr const char* parseConversion(const char* p, Conversion& conversion) {
    for (;; ++p) {
        if (*p == '-') {
            conversion.left = true;
        } else if (*p == '+') {
            conversion.plus = true;
        } else if (*p == ' ') {
            conversion.space = true;
        } else if (*p == '#') {
            conversion.alternate = true;
        } else if (*p == '0') {
            conversion.zero = true;
        } else {
            break;
        }
    }
    while (*p >= '0' && *p <= '9') {
        conversion.width = conversion.width * 10 + (*p++ - '0');
    }
    if (*p == '.') {
        conversion.precision = 0;
        for (++p; *p >= '0' && *p <= '9'; ++p) {
            conversion.precision = conversion.precision * 10 + (*p - '0');
        }
    }
    if (*p == 'h') {
        conversion.lengthModifier = p[1] == 'h' ? -2 : -1;
        p += p[1] == 'h' ? 2 : 1;
    } else if (*p == 'l') {
        conversion.lengthModifier = p[1] == 'l' ? 2 : 1;
        p += p[1] == 'l' ? 2 : 1;
    } else if (*p == 'z') {
        conversion.lengthModifier = 3;
        ++p;
    }
    conversion.specifier = *p;
    return *p == '\0' ? p : p + 1;
}

namespace detail {

/// The text of one format call, gathered on the stack and appended to the string at
/// once: a line costs one append, not one per piece.
class FormatBuffer {
  public:
    static constexpr std::size_t kSize = 256;

    explicit FormatBuffer(std::string& out) : out_(out) {}
    ~FormatBuffer() { flush(); }
    FormatBuffer(const FormatBuffer&) = delete;
    FormatBuffer& operator=(const FormatBuffer&) = delete;

    /// Room for `count` more characters (at most kSize), to be filled and committed.
    char* room(std::size_t count) {
        if (count > kSize - used_) {
            flush();
        }
        return buffer_.data() + used_;
    }
    void commit(std::size_t count) { used_ += count; }

    /// A piece whose length is known while compiling (a format's literal text): copied in
    /// a few moves, not by a library call.
    template <std::size_t N>
    void putFixed(const char* text) {
        if constexpr (N > kSize) {
            put(std::string_view(text, N));
        } else if constexpr (N > 0) {
            std::memcpy(room(N), text, N);
            commit(N);
        }
    }

    void put(std::string_view text) {
        if (text.size() > kSize) {
            flush();
            out_.append(text);
            return;
        }
        std::copy(text.begin(), text.end(), room(text.size()));
        commit(text.size());
    }

  private:
    void flush() {
        out_.append(buffer_.data(), used_);
        used_ = 0;
    }

    std::string& out_;
    std::array<char, kSize> buffer_;
    std::size_t used_ = 0;
};

void appendSigned(FormatBuffer& out, const Conversion& conversion, long long value);
void appendUnsigned(FormatBuffer& out, const Conversion& conversion, unsigned long long value);
void appendFixed(FormatBuffer& out, const Conversion& conversion, double value);
void appendText(FormatBuffer& out, const Conversion& conversion, std::string_view text);

/// A format string given as a template argument, parsed while compiling.
template <std::size_t N>
struct FormatText {
    consteval FormatText(const char (&text)[N]) { std::copy_n(text, N, chars.begin()); }
    std::array<char, N> chars{};
};

struct Piece {
    std::size_t literalBegin = 0;
    std::size_t literalLength = 0;
    Conversion conversion;  // specifier 0: the text ends after the literal
};

template <FormatText F>
consteval std::size_t pieceCount() {
    std::size_t count = 1;
    for (const char* p = F.chars.data(); *p != '\0'; ++p) {
        if (*p == '%') {
            Conversion conversion;
            p = parseConversion(p + 1, conversion) - 1;
            ++count;
        }
    }
    return count;
}

template <FormatText F>
consteval auto pieces() {
    std::array<Piece, pieceCount<F>()> result{};
    const char* text = F.chars.data();
    const char* p = text;
    for (Piece& piece : result) {
        piece.literalBegin = static_cast<std::size_t>(p - text);
        while (*p != '\0' && *p != '%') {
            ++p;
        }
        piece.literalLength = static_cast<std::size_t>(p - text) - piece.literalBegin;
        if (*p == '%') {
            p = parseConversion(p + 1, piece.conversion);
        }
    }
    return result;
}

/// The digits of `magnitude` in fixed notation with `Precision` (0 to 9) decimals, exactly
/// rounded, for the values the decoders print: small and far from a rounding tie, scaled
/// and rounded in integers; at most 20 characters. 0 for any other value (NaN and
/// infinities too): the general path takes it.
template <int Precision>
std::size_t smallFixedDigits(double magnitude, char* digits);

// A conversion whose flags and width are known while compiling and whose digits need no
// precision or length rule: the field is laid out without looking at the conversion.
template <Conversion S>
inline constexpr bool kSimpleField =
    !S.plus && !S.space && !S.alternate && S.lengthModifier == 0 && S.width <= 32;

// Sign and the first `length` of `digits` padded to the conversion's width: spaces
// before, or after with '-', or zeros between sign and digits with '0'. The whole digit
// array is copied, a fixed-size move, and the pointer advanced by `length`.
template <Conversion S, std::size_t N>
void appendPadded(FormatBuffer& out, bool negative, const std::array<char, N>& digits,
                  std::size_t length) {
    const std::size_t used = length + (negative ? 1 : 0);
    const std::size_t fill =
        static_cast<std::size_t>(S.width) > used ? static_cast<std::size_t>(S.width) - used : 0;
    char* const start = out.room(fill + 1 + N);
    char* p = start;
    if constexpr (!S.left && !S.zero) {
        p = std::fill_n(p, fill, ' ');
    }
    if (negative) {
        *p++ = '-';
    }
    if constexpr (!S.left && S.zero) {
        p = std::fill_n(p, fill, '0');
    }
    std::memcpy(p, digits.data(), N);
    p += length;
    if constexpr (S.left) {
        p = std::fill_n(p, fill, ' ');
    }
    out.commit(static_cast<std::size_t>(p - start));
}

// A plain "%u" or "%i" of a value that fits 32 bits: the digits go straight into the
// buffer, the most frequent conversion of every decoded line.
inline void appendPlainDecimal(FormatBuffer& out, bool negative, std::uint32_t magnitude) {
    char* const start = out.room(11);
    char* p = start;
    if (negative) {
        *p++ = '-';
    }
    p = std::to_chars(p, start + 11, magnitude).ptr;
    out.commit(static_cast<std::size_t>(p - start));
}

// The sign and magnitude of a value given to "%i", taken as an int as printf takes it;
// the magnitude is unsigned, so the most negative int has one.
template <typename Integer>
std::pair<bool, std::uint32_t> signAndMagnitude(Integer arg) {
    const auto value = static_cast<int>(static_cast<long long>(arg));
    return {value < 0,
            value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value)};
}

// "%u", "%i", "%x" of an int-sized value, with a width and flags but no precision.
template <Conversion S>
void appendSimpleInteger(FormatBuffer& out, bool negative, std::uint32_t magnitude) {
    std::array<char, 10> digits{};
    const char* end =
        S.specifier == 'x'
            ? std::to_chars(digits.data(), digits.data() + digits.size(), magnitude, 16).ptr
            : std::to_chars(digits.data(), digits.data() + digits.size(), magnitude).ptr;
    appendPadded<S>(out, negative, digits, static_cast<std::size_t>(end - digits.data()));
}

// "%f" with a precision up to 9: the decoders' temperatures and voltages.
template <Conversion S>
void appendSimpleFixed(FormatBuffer& out, double value) {
    constexpr int kPrecision = S.precision < 0 ? 6 : S.precision;
    std::array<char, 20> digits{};
    const std::size_t length = smallFixedDigits<kPrecision>(std::fabs(value), digits.data());
    if (length == 0) {
        appendFixed(out, S, value);
        return;
    }
    appendPadded<S>(out, std::signbit(value), digits, length);
}

// One argument through its conversion, with printf's argument promotions: an int given
// to "%u" or "%x" is taken as unsigned int, "h" and "hh" cut the value to their width.
template <Conversion S, typename Arg>
void appendArgument(FormatBuffer& out, const Arg& arg) {
    constexpr const Conversion& conversion = S;
    constexpr bool plain = !S.left && !S.plus && !S.space && !S.alternate && !S.zero &&
                           S.width == 0 && S.precision < 0 && S.lengthModifier == 0;
    constexpr bool simpleInteger = kSimpleField<S> && S.precision < 0 && std::is_integral_v<Arg>;
    if constexpr (plain && std::is_integral_v<Arg> && S.specifier == 'u') {
        appendPlainDecimal(out, false, static_cast<std::uint32_t>(static_cast<unsigned>(arg)));
    } else if constexpr (plain && std::is_integral_v<Arg> &&
                         (S.specifier == 'i' || S.specifier == 'd')) {
        const auto [negative, magnitude] = signAndMagnitude(arg);
        appendPlainDecimal(out, negative, magnitude);
    } else if constexpr (simpleInteger && (S.specifier == 'u' || S.specifier == 'x')) {
        appendSimpleInteger<S>(out, false, static_cast<std::uint32_t>(static_cast<unsigned>(arg)));
    } else if constexpr (simpleInteger && (S.specifier == 'i' || S.specifier == 'd')) {
        const auto [negative, magnitude] = signAndMagnitude(arg);
        appendSimpleInteger<S>(out, negative, magnitude);
    } else if constexpr (std::is_floating_point_v<Arg> && kSimpleField<S> && S.precision <= 9) {
        appendSimpleFixed<S>(out, static_cast<double>(arg));
    } else if constexpr (std::is_floating_point_v<Arg>) {
        appendFixed(out, conversion, static_cast<double>(arg));
    } else if constexpr (plain && std::is_convertible_v<const Arg&, std::string_view>) {
        out.put(std::string_view(arg));
    } else if constexpr (std::is_convertible_v<const Arg&, std::string_view>) {
        appendText(out, conversion, std::string_view(arg));
    } else {
        static_assert(std::is_integral_v<Arg>,
                      "format: an argument of a type printf does not take");
        if (conversion.specifier == 'c') {
            const auto c = static_cast<char>(arg);
            appendText(out, conversion, std::string_view(&c, 1));
        } else if (conversion.specifier == 'd' || conversion.specifier == 'i') {
            const auto wide = static_cast<long long>(arg);
            appendSigned(out, conversion,
                         conversion.lengthModifier == -1   ? static_cast<short>(wide)
                         : conversion.lengthModifier == -2 ? static_cast<signed char>(wide)
                         : conversion.lengthModifier == 0  ? static_cast<int>(wide)
                                                           : wide);
        } else {
            const auto wide = static_cast<unsigned long long>(arg);
            appendUnsigned(out, conversion,
                           conversion.lengthModifier == -1   ? static_cast<unsigned short>(wide)
                           : conversion.lengthModifier == -2 ? static_cast<unsigned char>(wide)
                           : conversion.lengthModifier == 0  ? static_cast<unsigned>(wide)
                                                             : wide);
        }
    }
}

template <FormatText F, std::size_t I, typename... Args>
void appendPieces(FormatBuffer& out, const Args&... args);

template <FormatText F, std::size_t I, typename First, typename... Rest>
void appendPiecesWith(FormatBuffer& out, const First& first, const Rest&... rest) {
    static constexpr auto kPieces = pieces<F>();
    appendArgument<kPieces[I].conversion>(out, first);
    appendPieces<F, I + 1>(out, rest...);
}

template <FormatText F, std::size_t I, typename... Args>
void appendPieces(FormatBuffer& out, const Args&... args) {
    static constexpr auto kPieces = pieces<F>();
    static constexpr Piece kPiece = kPieces[I];
    out.template putFixed<kPiece.literalLength>(F.chars.data() + kPiece.literalBegin);
    if constexpr (kPiece.conversion.specifier == 0) {
        static_assert(sizeof...(Args) == 0, "format: more arguments than conversions");
    } else if constexpr (kPiece.conversion.specifier == '%') {
        out.put("%");
        appendPieces<F, I + 1>(out, args...);
    } else {
        static_assert(sizeof...(Args) > 0, "format: fewer arguments than conversions");
        appendPiecesWith<F, I>(out, args...);
    }
}

}  // namespace detail

/// printf-style formatting, byte for byte as the C library's snprintf, without it. The
/// format is a template argument, parsed while compiling: flags "-+ #0", a width, a
/// precision, the length modifiers h, hh, l, ll, z, and the conversions d, i, u, x, X,
/// f, s (C strings and std::string), c and %%. Fixed notation is exactly rounded.
/// Appends to `out`, so a line being built keeps its buffer.
template <detail::FormatText F, typename... Args>
void appendFormat(std::string& out, const Args&... args) {
    detail::FormatBuffer buffer(out);
    detail::appendPieces<F, 0>(buffer, args...);
}

/// The same in place of what `out` held (its buffer is kept).
template <detail::FormatText F, typename... Args>
void assignFormat(std::string& out, const Args&... args) {
    out.clear();
    appendFormat<F>(out, args...);
}

/// The same into a new string.
template <detail::FormatText F, typename... Args>
[[nodiscard]] std::string format(const Args&... args) {
    std::string out;
    appendFormat<F>(out, args...);
    return out;
}

}  // namespace qrt::common
