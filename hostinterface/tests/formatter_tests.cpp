// The parameter-text formatters: exact texts, the "Huge!" and "-oo" limits, and that no
// formatter writes past maxLen + 1 bytes.
#include "audioeffect.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

class FormatterEffect : public AudioEffect {
public:
    FormatterEffect() : AudioEffect(nullptr, 1, 1) {}
    void renderReplacing(float**, float**, int32_t) override {}
};

// A buffer with guard bytes after maxLen + 1, so an overrun is seen.
class Formatters : public ::testing::Test {
protected:
    static constexpr char kGuard = '#';
    template <typename Format>
    std::string run(Format format, int32_t maxLen = 8) {
        std::memset(buffer_, kGuard, sizeof(buffer_));
        format(buffer_, maxLen);
        for (size_t i = static_cast<size_t>(maxLen) + 1; i < sizeof(buffer_); ++i)
            EXPECT_EQ(buffer_[i], kGuard) << "byte " << i << " written past maxLen + 1";
        EXPECT_EQ(buffer_[maxLen], '\0') << "no NUL at maxLen";
        return buffer_;
    }
    std::string floatText(double value, int32_t maxLen = 8) {
        return run([&](char* t, int32_t n) { effect_.formatFloat(float(value), t, n); }, maxLen);
    }
    std::string integerText(int32_t value, int32_t maxLen = 8) {
        return run([&](char* t, int32_t n) { effect_.formatInteger(value, t, n); }, maxLen);
    }

    FormatterEffect effect_;
    char buffer_[64];
};

TEST_F(Formatters, FloatTextsAreEightCharactersWide) {
    EXPECT_EQ(floatText(0.5), "0.500000");
    EXPECT_EQ(floatText(1.0), "1.000000");
    EXPECT_EQ(floatText(100.0), "100.0000");
    EXPECT_EQ(floatText(0.0), "0.000000");
    EXPECT_EQ(floatText(123.25), "123.2500");
    EXPECT_EQ(floatText(-1.5), "-1.50000");
    EXPECT_EQ(floatText(0.506276), "0.506276");
    EXPECT_EQ(floatText(-0.25), "-0.25000");
}

TEST_F(Formatters, FloatKeepsOnlyTheLowestIntegerDigits) {
    EXPECT_EQ(floatText(1234567.0), "1234567.");
    EXPECT_EQ(floatText(12345678.0), "2345678.");
    EXPECT_EQ(floatText(-1234567.0), "-234567.");
}

TEST_F(Formatters, FloatBeyondTheLimitsIsHuge) {
    EXPECT_EQ(floatText(100000000.0), "Huge!");
    EXPECT_EQ(floatText(-10000000.0), "Huge!");
    // 99999992 is the largest float below the limit.
    EXPECT_EQ(floatText(99999992.0), "9999992.");
    EXPECT_EQ(floatText(-9999999.0), "-999999.");
    EXPECT_EQ(floatText(std::numeric_limits<double>::infinity()), "Huge!");
    EXPECT_EQ(floatText(-std::numeric_limits<double>::infinity()), "Huge!");
}

TEST_F(Formatters, FloatOfNaNIsTextNotGarbage) {
    EXPECT_EQ(floatText(std::nan("")), "NaN");
}

TEST_F(Formatters, FloatIsCutAtMaxLen) {
    EXPECT_EQ(floatText(0.5, 4), "0.50");
    EXPECT_EQ(floatText(123.25, 3), "123");
    EXPECT_EQ(floatText(-1.5, 1), "-");
    EXPECT_EQ(floatText(0.5, 0), "");
    EXPECT_EQ(floatText(100000000.0, 3), "Hug");
    EXPECT_EQ(floatText(0.5, 12), "0.500000");
}

TEST_F(Formatters, IntegerSkipsLeadingZeros) {
    EXPECT_EQ(integerText(0), "");
    EXPECT_EQ(integerText(-42), "-42");
    EXPECT_EQ(integerText(7), "7");
    EXPECT_EQ(integerText(1000), "1000");
    EXPECT_EQ(integerText(99999999), "99999999");
    EXPECT_EQ(integerText(100000000), "Huge!");
    EXPECT_EQ(integerText(-99999999, 9), "-99999999");
}

TEST_F(Formatters, IntegerStaysWithinMaxLenForAnyValue) {
    EXPECT_EQ(integerText(12345, 3), "123");
    EXPECT_EQ(integerText(INT_MIN, 8), "-2147483");
    EXPECT_EQ(integerText(INT_MIN, 16), "-2147483648");
    EXPECT_EQ(integerText(INT_MAX, 2), "Hu");
}

TEST_F(Formatters, DecibelsOfSilenceIsMinusInfinity) {
    auto dB = [&](float v) {
        return run([&](char* t, int32_t n) { effect_.formatDecibels(v, t, n); });
    };
    EXPECT_EQ(dB(0.0f), "-oo");
    EXPECT_EQ(dB(-1.0f), "-oo");
    EXPECT_EQ(dB(1.0f), "0.000000");
    EXPECT_EQ(dB(0.5f), "-6.02060");
    EXPECT_EQ(dB(10.0f), "20.00000");
}

TEST_F(Formatters, HertzAndMillisecondsUseTheSampleRate) {
    auto hz = [&](float samples) {
        return run([&](char* t, int32_t n) { effect_.formatHertz(samples, t, n); });
    };
    auto ms = [&](float samples) {
        return run([&](char* t, int32_t n) { effect_.formatMilliseconds(samples, t, n); });
    };
    EXPECT_EQ(hz(441.0f), "100.0000");
    EXPECT_EQ(hz(0.0f), "0.000000");
    EXPECT_EQ(ms(44100.0f), "1000.000");
    EXPECT_EQ(ms(441.0f), "10.00000");
    effect_.changeSampleRate(48000.0f);
    EXPECT_EQ(hz(480.0f), "100.0000");
    EXPECT_EQ(ms(48.0f), "1.000000");
}

TEST(BoundedCopy, WritesNothingPastItsTerminator) {
    char buffer[16];
    std::memset(buffer, '#', sizeof(buffer));
    copyBounded(buffer, "amount", 3);
    EXPECT_STREQ(buffer, "amo");
    EXPECT_EQ(buffer[4], '#');
    std::memset(buffer, '#', sizeof(buffer));
    // A short text in a host buffer smaller than the limit stays inside it.
    copyBounded(buffer, "dB", 11);
    EXPECT_STREQ(buffer, "dB");
    EXPECT_EQ(buffer[3], '#');
    EXPECT_EQ(buffer[11], '#');
}

} // namespace
