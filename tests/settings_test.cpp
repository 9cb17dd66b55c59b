#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calc/settings.h"

namespace {

std::vector<std::string> Options(int control) {
  const char* texts[32];
  int n = OptionTexts(control, texts, 32);
  return std::vector<std::string>(texts, texts + n);
}

TEST(OptionTable, ListsEachControlOnceInFillOrder) {
  std::vector<std::uintptr_t> controls;
  for (const std::uintptr_t* e = OptionTable; *e; ++e)
    if (IsOptionControl(*e)) controls.push_back(*e);
  EXPECT_EQ(controls, (std::vector<std::uintptr_t>{IDC_FOSC, IDC_BAUD, IDC_UART, IDC_DATABITS,
                                                   IDC_BRGEN, IDC_TCLK}));
}

TEST(OptionTable, HoldsTheListsInOrder) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Options(IDC_FOSC), (V{"11.0592", "12", "18.432", "22.1184", "24"}));
  EXPECT_EQ(Options(IDC_BAUD), (V{"1200", "2400", "4800", "9600", "14400", "19200", "28800",
                                  "38400", "57600", "115200"}));
  EXPECT_EQ(Options(IDC_UART), (V{"串口1 (UART)", "串口2 (UART2)"}));
  EXPECT_EQ(Options(IDC_DATABITS), (V{"8位数据", "9位数据"}));
  EXPECT_EQ(Options(IDC_BRGEN), (V{"定时器1(8位重载)", "独立波特率发生器"}));
  EXPECT_EQ(Options(IDC_TCLK), (V{"12T (Fosc/12)", "1T  (Fosc)"}));
}

TEST(OptionTable, TextsAreGbk) {
  // "串口1 (UART)": 串 B4AE, 口 BFDA
  EXPECT_EQ(Options(IDC_UART)[0],
            "\xB4\xAE\xBF\xDA"
            "1 (UART)");
}

TEST(Defaults, SelectionsMatchTheDefaultSettings) {
  const UartSettings d = DefaultSettings();
  std::vector<std::pair<int, int>> order;
  for (const DefaultSelection& s : DefaultSelections) order.emplace_back(s.control, s.index);
  EXPECT_EQ(order, (std::vector<std::pair<int, int>>{{IDC_FOSC, 2},
                                                     {IDC_BAUD, 3},
                                                     {IDC_UART, 0},
                                                     {IDC_DATABITS, 0},
                                                     {IDC_BRGEN, 0},
                                                     {IDC_TCLK, 1}}));
  EXPECT_EQ(Options(IDC_FOSC)[2], d.fosc);
  EXPECT_EQ(Options(IDC_BAUD)[3], d.baud);
  EXPECT_FALSE(d.doubling);
  EXPECT_FALSE(d.SecondPort());
  EXPECT_FALSE(d.NineBits());
  EXPECT_FALSE(d.IndependentGenerator());
  EXPECT_TRUE(d.FullRateClock());
  EXPECT_EQ(d.ClockDivisor(), 1);
  EXPECT_EQ(d.DoublingFactor(), 1);
}

TEST(Settings, OnlyIndexZeroIsSpecial) {
  for (int index : {1, 2, 7, -1}) {
    UartSettings s{"", "", true, index, index, index, index};
    EXPECT_TRUE(s.SecondPort() && s.NineBits() && s.IndependentGenerator() && s.FullRateClock());
    EXPECT_EQ(s.ClockDivisor(), 1);
    EXPECT_EQ(s.DoublingFactor(), 2);
  }
  UartSettings zero{"", "", false, 0, 0, 0, 0};
  EXPECT_EQ(zero.ClockDivisor(), 12);
}

TEST(PortRule, SecondPortForcesTheIndependentGenerator) {
  for (int index : {1, 2}) {
    PortRule r = ApplyPortRule(index);
    EXPECT_STREQ(r.doublingLabel, "波特率倍速(S2SMOD)");
    EXPECT_TRUE(r.selectIndependentGenerator);
    EXPECT_FALSE(r.generatorEnabled);
  }
}

TEST(PortRule, FirstPortReenablesWithoutResettingTheGenerator) {
  PortRule r = ApplyPortRule(0);
  EXPECT_STREQ(r.doublingLabel, "波特率倍速(SMOD)");
  EXPECT_FALSE(r.selectIndependentGenerator);
  EXPECT_TRUE(r.generatorEnabled);
}

}  // namespace
