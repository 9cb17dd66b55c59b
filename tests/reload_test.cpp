#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <random>
#include <string>

#include "calc/reload.h"

namespace {

constexpr int k12T = 0;
constexpr int k1T = 1;

struct ReloadCase {
  const char* fosc;
  int tclk;
  bool doubling;
  const char* baud;
  int reload;  // -1: refused
  const char* error;
};

void PrintTo(const ReloadCase& c, std::ostream* os) {
  *os << c.fosc << (c.tclk ? " 1T " : " 12T ") << (c.doubling ? "x2 " : "") << c.baud;
}

class ComputeReloadTest : public ::testing::TestWithParam<ReloadCase> {};

TEST_P(ComputeReloadTest, GivesReloadAndErrorText) {
  const ReloadCase& c = GetParam();
  ReloadResult r = ComputeReload(c.fosc, c.baud, c.doubling, c.tclk);
  if (c.reload < 0) {
    EXPECT_FALSE(r.accepted) << "reload " << r.reload;
    EXPECT_STREQ(r.error, "");
  } else {
    ASSERT_TRUE(r.accepted);
    EXPECT_EQ(r.reload, c.reload);
    EXPECT_STREQ(r.error, c.error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    WorkedValues, ComputeReloadTest,
    ::testing::Values(ReloadCase{"18.432", k1T, false, "9600", 0xC4, "0.00%"},
                      ReloadCase{"11.0592", k12T, false, "9600", 0xFD, "0.00%"},
                      // X / B is exactly 1.5: the half goes up
                      ReloadCase{"11.0592", k12T, false, "19200", 0xFE, "25.00%"},
                      ReloadCase{"11.0592", k12T, false, "57600", 0xFF, "50.00%"},
                      ReloadCase{"11.0592", k12T, false, "115200", -1, ""},
                      ReloadCase{"11.0592", k1T, false, "1200", -1, ""},
                      ReloadCase{"11.0592", k12T, true, "1200", 0xD0, "0.00%"},
                      ReloadCase{"12", k12T, false, "1200", 0xE6, "0.16%"},
                      ReloadCase{"12", k12T, false, "9600", 0xFD, "8.51%"},
                      ReloadCase{"24", k1T, true, "115200", 0xF3, "0.16%"},
                      ReloadCase{"22.1184", k1T, false, "19200", 0xDC, "0.00%"},
                      // an exact tie in the error, rounded up
                      ReloadCase{"1.0656", k12T, false, "1200", 0xFE, "15.63%"}));

INSTANTIATE_TEST_SUITE_P(
    TypedTexts, ComputeReloadTest,
    ::testing::Values(
        ReloadCase{"18.432", k1T, false, "0x2580", 0xC4, "0.00%"},
        ReloadCase{"18.432", k1T, false, "09600", -1, ""},  // octal stops at 9
        ReloadCase{"1.1d1", k12T, false, "9600", 0xFD, "0.54%"},
        ReloadCase{"  18.432MHz", k1T, false, " 9600 baud", 0xC4, "0.00%"},
        ReloadCase{"0.018432e3", k1T, false, "+9600", 0xC4, "0.00%"},
        ReloadCase{"", k1T, false, "9600", -1, ""}, ReloadCase{"18.432", k1T, false, "", -1, ""},
        ReloadCase{"abc", k1T, false, "9600", -1, ""},
        ReloadCase{"18.432", k1T, false, "0", -1, ""}, ReloadCase{"0", k1T, false, "0", -1, ""},
        ReloadCase{"1e400", k1T, false, "9600", -1, ""},
        ReloadCase{"1e400", k1T, false, "0", -1, ""}, ReloadCase{"inf", k1T, false, "9600", -1, ""},
        ReloadCase{"nan", k1T, false, "9600", -1, ""},
        // wraps round to +9600, a positive rate
        ReloadCase{"18.432", k1T, false, "-4294957696", 0xC4, "0.00%"}));

// Negative inputs are refused even where the signs cancel: a negative error
// rate means nothing to the user.
INSTANTIATE_TEST_SUITE_P(NegativeInputs, ComputeReloadTest,
                         ::testing::Values(ReloadCase{"-12", k12T, false, "-9600", -1, ""},
                                           ReloadCase{"-11.0592", k12T, false, "-9600", -1, ""},
                                           ReloadCase{"-12", k12T, false, "9600", -1, ""},
                                           ReloadCase{"12", k12T, false, "-9600", -1, ""},
                                           ReloadCase{"12", k12T, false, "2147483648", -1,
                                                      ""},  // reads as INT_MIN
                                           ReloadCase{"-0", k12T, false, "9600", -1, ""},
                                           ReloadCase{"12", k12T, false, "-0", -1, ""}));

// 32 MHz at 1T: X = 1000000, so the divisor N = X / B + 0.5 is easy to place.
INSTANTIATE_TEST_SUITE_P(
    DivisorLimits, ComputeReloadTest,
    ::testing::Values(ReloadCase{"32", k1T, false, "3899", 0x00, "0.19%"},      // N = 256
                      ReloadCase{"32", k1T, false, "3898", -1, ""},             // N = 257
                      ReloadCase{"32", k1T, false, "2000000", 0xFF, "50.00%"},  // N = 1
                      ReloadCase{"32", k1T, false, "2000001", -1, ""}));        // N = 0

TEST(ComputeReload, ReportsTheBaudRateReallyProduced) {
  ReloadResult r = ComputeReload("12", "9600", false, k12T);
  ASSERT_TRUE(r.accepted);
  EXPECT_DOUBLE_EQ(r.actualBaud, 12e6 / 12 / 32 / 3);
}

TEST(ComputeReload, OrderOfOperationsDecidesExactHalves) {
  // 11.0592 MHz / 12 / 32 = 28800 exactly when computed as written; the
  // error would show as a tiny non-zero if the quotient were not exact.
  ReloadResult r = ComputeReload("11.0592", "19200", false, k12T);
  ASSERT_TRUE(r.accepted);
  EXPECT_EQ(r.actualBaud, 14400.0);
}

struct BaudCase {
  const char* text;
  std::int32_t value;
};

void PrintTo(const BaudCase& c, std::ostream* os) {
  *os << '"' << c.text << '"';
}

class ReadBaudTest : public ::testing::TestWithParam<BaudCase> {};

TEST_P(ReadBaudTest, FollowsStrtoulWithThirtyTwoBits) {
  EXPECT_EQ(ReadBaud(GetParam().text), GetParam().value) << "text: \"" << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReadBaudTest,
    ::testing::Values(BaudCase{"9600", 9600}, BaudCase{"0x2580", 9600}, BaudCase{"0X2580", 9600},
                      BaudCase{"0x2580zz", 9600}, BaudCase{"0xFfFf", 65535}, BaudCase{"012", 10},
                      BaudCase{"09600", 0}, BaudCase{"0", 0}, BaudCase{"0x", 0}, BaudCase{"0xg", 0},
                      BaudCase{"", 0}, BaudCase{"abc", 0}, BaudCase{" \t\n\v\f\r9600", 9600},
                      BaudCase{"+9600", 9600}, BaudCase{"-9600", -9600}, BaudCase{"-0", 0},
                      BaudCase{"+-5", 0}, BaudCase{"- 5", 0}, BaudCase{"96 00", 96},
                      BaudCase{"9600.9", 9600}, BaudCase{"2147483647", INT_MAX},
                      BaudCase{"2147483648", INT_MIN}, BaudCase{"4294967295", -1},
                      BaudCase{"4294967296", -1}, BaudCase{"99999999999", -1},
                      BaudCase{"-99999999999", 1}, BaudCase{"-4294957696", 9600},
                      BaudCase{"0x100000000", -1}, BaudCase{"-0x80000000", INT_MIN},
                      BaudCase{"000000000000000000000000000000012", 10},
                      BaudCase{"\xB0\xA1"
                               "9600",
                               0}));  // a GBK character first

struct FreqCase {
  const char* text;
  double value;
};

void PrintTo(const FreqCase& c, std::ostream* os) {
  *os << '"' << c.text << '"';
}

class ReadFrequencyTest : public ::testing::TestWithParam<FreqCase> {};

TEST_P(ReadFrequencyTest, FollowsStrtodWithoutHexInfOrNan) {
  const double got = ReadFrequencyMHz(GetParam().text);
  const double want = GetParam().value;
  EXPECT_EQ(got, want) << "text: \"" << GetParam().text << '"';
  EXPECT_EQ(std::signbit(got), std::signbit(want)) << "text: \"" << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReadFrequencyTest,
    ::testing::Values(FreqCase{"18.432", 18.432}, FreqCase{"11.0592", 11.0592},
                      FreqCase{"1.1d1", 11.0}, FreqCase{"1.1D1", 11.0}, FreqCase{"1.1e1", 11.0},
                      FreqCase{"110E-1", 11.0}, FreqCase{"1.1d+1", 11.0}, FreqCase{"1.5e", 1.5},
                      FreqCase{"1.5e+", 1.5}, FreqCase{"1.5d-x", 1.5}, FreqCase{".5", 0.5},
                      FreqCase{"5.", 5.0}, FreqCase{".", 0.0}, FreqCase{"", 0.0},
                      FreqCase{"+", 0.0}, FreqCase{"  \t-2.5", -2.5}, FreqCase{"-0", -0.0},
                      FreqCase{"-", 0.0}, FreqCase{"0x1p3", 0.0}, FreqCase{"0X10", 0.0},
                      FreqCase{"inf", 0.0}, FreqCase{"infinity", 0.0}, FreqCase{"nan", 0.0},
                      FreqCase{"-nan", 0.0}, FreqCase{"1,5", 1.0}, FreqCase{"12MHz", 12.0},
                      FreqCase{"1e400", HUGE_VAL}, FreqCase{"-1e400", -HUGE_VAL},
                      FreqCase{"1e99999999999999999999", HUGE_VAL}, FreqCase{"1e-400", 0.0},
                      FreqCase{"-1e-400", -0.0}, FreqCase{"4.9e-324", 4.9e-324},
                      FreqCase{"1.7976931348623157e308", 1.7976931348623157e308},
                      FreqCase{"1.7976931348623159e308", HUGE_VAL},
                      FreqCase{"0.000000000000000000000000000000000001e36", 1.0},
                      // halfway between two doubles: ties to even, unless any later digit is set
                      FreqCase{"9007199254740993", 9007199254740992.0},
                      FreqCase{"9007199254740993.00000000000000000001", 9007199254740994.0},
                      FreqCase{"0.1000000000000000055511151231257827021181583404541015625", 0.1}));

TEST(ReadFrequency, KeepsLaterDigitsOfVeryLongTexts) {
  // Beyond the digits kept for rounding, a non-zero digit still breaks a tie.
  const std::string tie = "9007199254740993." + std::string(1000, '0');
  EXPECT_EQ(ReadFrequencyMHz(tie.c_str()), 9007199254740992.0);
  EXPECT_EQ(ReadFrequencyMHz((tie + "1").c_str()), 9007199254740994.0);
  const std::string many = "1" + std::string(2000, '0');  // 1e2000
  EXPECT_EQ(ReadFrequencyMHz(many.c_str()), HUGE_VAL);
  EXPECT_EQ(ReadFrequencyMHz(("0." + many).c_str()), 0.1);
  EXPECT_EQ(ReadFrequencyMHz((many + "e-2000").c_str()), 1.0);
}

struct ErrorCase {
  double percent;
  const char* text;
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
  *os << c.text;
}

class FormatErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(FormatErrorTest, RoundsSeventeenDigitsHalfUp) {
  char out[64];
  const std::size_t n = FormatErrorPercent(GetParam().percent, out, sizeof out);
  EXPECT_STREQ(out, GetParam().text) << GetParam().percent;
  EXPECT_EQ(n, std::string(GetParam().text).size());
}

INSTANTIATE_TEST_SUITE_P(
    Values, FormatErrorTest,
    ::testing::Values(ErrorCase{0.0, "0.00%"}, ErrorCase{-0.0, "0.00%"},
                      ErrorCase{15.625, "15.63%"},  // "%.2f" in glibc gives 15.62
                      ErrorCase{0.125, "0.13%"}, ErrorCase{50.0, "50.00%"},
                      ErrorCase{0.16, "0.16%"}, ErrorCase{8.506944444444445, "8.51%"},
                      // 0.995 is stored as 0.99499999999999999555...; its 17-digit
                      // form is 0.99500000000000000, which rounds up
                      ErrorCase{0.995, "1.00%"},
                      // 9.995 is 9.99499999999999921...: 17 digits keep it below
                      ErrorCase{9.995, "9.99%"}, ErrorCase{0.004999, "0.00%"},
                      ErrorCase{0.005, "0.01%"}, ErrorCase{9.996, "10.00%"},
                      ErrorCase{99.999, "100.00%"}, ErrorCase{1e-300, "0.00%"},
                      ErrorCase{-0.001, "0.00%"}, ErrorCase{-1.5, "-1.50%"},
                      ErrorCase{1e20, "100000000000000000000.00%"},
                      ErrorCase{123456789.125, "123456789.13%"}, ErrorCase{HUGE_VAL, "inf%"}));

// The rule written out plainly: printf's 17 significant digits, then the
// hundredths, plus one when the third decimal is 5 or more.
std::string ReferenceErrorText(double v) {
  char sci[64];
  std::snprintf(sci, sizeof sci, "%.16e", v);
  const std::string digits = std::string(1, sci[0]) + std::string(sci + 2, 16);
  const int exp10 = std::atoi(sci + 19);
  std::string whole = "0", fraction = digits;
  if (exp10 >= 0)
    whole = digits.substr(0, exp10 + 1), fraction = digits.substr(exp10 + 1);
  else
    fraction = std::string(-exp10 - 1, '0') + digits;
  fraction += "000";
  long long hundredths = std::stoll(whole + fraction.substr(0, 2)) + (fraction[2] >= '5');
  char text[64];
  std::snprintf(text, sizeof text, "%lld.%02lld%%", hundredths / 100, hundredths % 100);
  return text;
}

TEST(FormatError, AgreesWithThePlainRuleAcrossTheRange) {
  std::mt19937_64 random(12345);
  std::uniform_real_distribution<double> exponent(-5.0, 14.0);
  std::uniform_int_distribution<int> thousandths(0, 99999);
  for (int i = 0; i < 200000; ++i) {
    // Values spread over every magnitude, and values at or next to a third
    // decimal of 5, where the two roundings part.
    double v = std::pow(10.0, exponent(random));
    if (i % 2) {
      v = (thousandths(random) * 10 + 5) / 1000.0;
      if (i % 4 == 1) v = std::nextafter(v, (i % 8 == 1) ? 0.0 : 1e9);
    }
    char out[64];
    FormatErrorPercent(v, out, sizeof out);
    ASSERT_EQ(out, ReferenceErrorText(v)) << std::hexfloat << v;
  }
}

TEST(FormatError, StaysWithinTheBuffer) {
  char out[5] = {'x', 'x', 'x', 'x', 'x'};
  EXPECT_EQ(FormatErrorPercent(15.625, out, 4), 6u);
  EXPECT_STREQ(out, "15.");
  EXPECT_EQ(out[4], 'x');
  char big[400];
  FormatErrorPercent(1.7976931348623157e308, big, sizeof big);
  EXPECT_EQ(std::string(big).size(), 309u + 4u);
}

TEST(Refusal, TextsAreGbk) {
  EXPECT_EQ(std::string(kRefusalText),
            "\xB5\xB1\xC7\xB0\xB5\xC4\xC9\xE8\xB6\xA8\xCE\xDE\xB7\xA8\xB2\xFA"
            "\xC9\xFA\xD6\xB8\xB6\xA8\xB5\xC4\xB2\xA8\xCC\xD8\xC2\xCA !");
  EXPECT_STREQ(kRefusalCaption, "波特率计算器");
}

}  // namespace
