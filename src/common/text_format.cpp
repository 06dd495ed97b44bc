#include "common/text_format.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace qrt::common::detail {

namespace {

// Appends prefix (sign, "0x"), zeros and body as one field, padded as printf pads:
// spaces before (or after, with '-'), or zeros between prefix and body.
void appendField(FormatBuffer& out, const Conversion& conversion, std::string_view prefix,
                 std::size_t zeros, std::string_view body, bool zeroPadAllowed) {
    const std::size_t length = prefix.size() + zeros + body.size();
    std::size_t fill = static_cast<std::size_t>(std::max(conversion.width, 0));
    fill = fill > length ? fill - length : 0;
    std::size_t spacesBefore = 0;
    std::size_t spacesAfter = 0;
    if (conversion.left) {
        spacesAfter = fill;
    } else if (conversion.zero && zeroPadAllowed) {
        zeros += fill;
    } else {
        spacesBefore = fill;
    }
    if (length + fill > FormatBuffer::kSize) {  // a field wider than the buffer: in parts
        out.put(std::string(spacesBefore, ' '));
        out.put(prefix);
        out.put(std::string(zeros, '0'));
        out.put(body);
        out.put(std::string(spacesAfter, ' '));
        return;
    }
    // Plain loops: the pieces are a few characters, shorter than a library call.
    char* const start = out.room(length + fill);
    char* p = start;
    for (std::size_t i = 0; i < spacesBefore; ++i) {
        *p++ = ' ';
    }
    for (const char c : prefix) {
        *p++ = c;
    }
    for (std::size_t i = 0; i < zeros; ++i) {
        *p++ = '0';
    }
    for (const char c : body) {
        *p++ = c;
    }
    for (std::size_t i = 0; i < spacesAfter; ++i) {
        *p++ = ' ';
    }
    out.commit(static_cast<std::size_t>(p - start));
}

void appendInteger(FormatBuffer& out, const Conversion& conversion, unsigned long long magnitude,
                   std::string_view prefix) {
    const bool hex = conversion.specifier == 'x' || conversion.specifier == 'X';
    std::array<char, 24> digits;
    char* end = digits.data();
    // An explicit precision of 0 prints nothing for the value 0.
    if (!(magnitude == 0 && conversion.precision == 0)) {
        end = std::to_chars(digits.data(), digits.data() + digits.size(), magnitude, hex ? 16 : 10)
                  .ptr;
    }
    if (conversion.specifier == 'X') {
        std::transform(digits.data(), end, digits.data(), [](char c) {
            return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c;
        });
    }
    const std::string_view body(digits.data(), static_cast<std::size_t>(end - digits.data()));
    const std::size_t zeros =
        conversion.precision > 0 && body.size() < static_cast<std::size_t>(conversion.precision)
            ? static_cast<std::size_t>(conversion.precision) - body.size()
            : 0;
    appendField(out, conversion, prefix, zeros, body, conversion.precision < 0);
}

std::string_view signOf(const Conversion& conversion, bool negative) {
    return negative ? "-" : conversion.plus ? "+" : conversion.space ? " " : "";
}

std::size_t fixedDigits(double magnitude, int precision, std::array<char, 400>& digits) {
    // One instance per precision: the divisions by a constant power become multiplications.
    using SmallFixed = std::size_t (*)(double, char*);
    static constexpr std::array<SmallFixed, 10> kSmall{
        &smallFixedDigits<0>, &smallFixedDigits<1>, &smallFixedDigits<2>, &smallFixedDigits<3>,
        &smallFixedDigits<4>, &smallFixedDigits<5>, &smallFixedDigits<6>, &smallFixedDigits<7>,
        &smallFixedDigits<8>, &smallFixedDigits<9>};
    if (precision < static_cast<int>(kSmall.size())) {
        if (const std::size_t length =
                kSmall[static_cast<std::size_t>(precision)](magnitude, digits.data())) {
            return length;
        }
    }
    const auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(), magnitude,
                                            std::chars_format::fixed, precision);
    return error == std::errc() ? static_cast<std::size_t>(end - digits.data()) : 0;
}

}  // namespace

template <int Precision>
std::size_t smallFixedDigits(double magnitude, char* digits) {
    constexpr std::uint32_t power = [] {
        std::uint32_t p = 1;
        for (int i = 0; i < Precision; ++i) {
            p *= 10;
        }
        return p;
    }();
    const double scaled = magnitude * power;
    // Below 2^32 the product is off by at most 2^-21 from the exact value, so a fraction
    // further than 2^-20 from one half rounds as the exact value does.
    if (!(scaled < 4294967296.0)) {
        return 0;
    }
    const auto whole = static_cast<std::uint32_t>(scaled);
    const double fraction = scaled - whole;
    if (std::fabs(fraction - 0.5) <= 1.0 / (1 << 20)) {
        return 0;
    }
    const std::uint64_t rounded = std::uint64_t{whole} + (fraction > 0.5 ? 1 : 0);
    char* end = std::to_chars(digits, digits + 10, rounded / power).ptr;
    if constexpr (Precision > 0) {
        *end++ = '.';
        auto decimals = static_cast<std::uint32_t>(rounded % power);
        for (int i = Precision - 1; i >= 0; --i) {
            end[i] = static_cast<char>('0' + decimals % 10);
            decimals /= 10;
        }
        end += Precision;
    }
    return static_cast<std::size_t>(end - digits);
}

template std::size_t smallFixedDigits<0>(double, char*);
template std::size_t smallFixedDigits<1>(double, char*);
template std::size_t smallFixedDigits<2>(double, char*);
template std::size_t smallFixedDigits<3>(double, char*);
template std::size_t smallFixedDigits<4>(double, char*);
template std::size_t smallFixedDigits<5>(double, char*);
template std::size_t smallFixedDigits<6>(double, char*);
template std::size_t smallFixedDigits<7>(double, char*);
template std::size_t smallFixedDigits<8>(double, char*);
template std::size_t smallFixedDigits<9>(double, char*);

void appendSigned(FormatBuffer& out, const Conversion& conversion, long long value) {
    const bool negative = value < 0;
    const unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value)
                                                  : static_cast<unsigned long long>(value);
    appendInteger(out, conversion, magnitude, signOf(conversion, negative));
}

void appendUnsigned(FormatBuffer& out, const Conversion& conversion, unsigned long long value) {
    std::string_view prefix;
    if (conversion.alternate && value != 0 &&
        (conversion.specifier == 'x' || conversion.specifier == 'X')) {
        prefix = conversion.specifier == 'X' ? "0X" : "0x";
    }
    appendInteger(out, conversion, value, prefix);
}

void appendFixed(FormatBuffer& out, const Conversion& conversion, double value) {
    const int precision = conversion.precision < 0 ? 6 : conversion.precision;
    const std::string_view sign = signOf(conversion, std::signbit(value));
    if (!std::isfinite(value)) {
        appendField(out, conversion, sign, 0, std::isnan(value) ? "nan" : "inf", false);
        return;
    }
    std::array<char, 400> digits;  // fixed notation of a double runs to 309 digits
    std::size_t length = fixedDigits(std::fabs(value), precision, digits);
    if (precision == 0 && conversion.alternate) {
        digits[length++] = '.';
    }
    appendField(out, conversion, sign, 0, std::string_view(digits.data(), length), true);
}

void appendText(FormatBuffer& out, const Conversion& conversion, std::string_view text) {
    if (conversion.precision >= 0 && text.size() > static_cast<std::size_t>(conversion.precision)) {
        text = text.substr(0, static_cast<std::size_t>(conversion.precision));
    }
    appendField(out, conversion, "", 0, text, false);
}

}  // namespace qrt::common::detail
