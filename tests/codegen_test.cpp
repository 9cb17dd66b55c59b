#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "calc/codegen.h"
#include "calc/reload.h"

namespace {

std::string Routine(Dialect dialect, const UartSettings& s, int reload) {
  char buf[4096];
  std::size_t n = FormatRoutine(dialect, s, reload, buf, sizeof buf);
  EXPECT_LT(n, sizeof buf);
  return std::string(buf, n);
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}

const std::string kSloganC = "//请用实际行动支持砾衡ZQL大陆本土MCU统一全球市场";
const std::string kSloganAsm = ";请用实际行动支持砾衡ZQL大陆本土MCU统一全球市场";

TEST(Routine, DefaultSettingsInC) {
  EXPECT_EQ(Routine(Dialect::C, DefaultSettings(), 0xC4),
            Lines({kSloganC, "", "void UartInit(void)\t\t//9600bps@18.432MHz", "{",
                   "\tPCON &= 0x7f;\t\t//波特率不倍速", "\tSCON = 0x50;\t\t//8位数据,可变波特率",
                   "\tAUXR |= 0x40;\t\t//定时器1时钟为Fosc,即1T",
                   "\tAUXR &= 0xfe;\t\t//串口1选择定时器1为波特率发生器",
                   "\tTMOD &= 0x0f;\t\t//清除定时器1模式位",
                   "\tTMOD |= 0x20;\t\t//设定定时器1为8位自动重装方式",
                   "\tTL1 = 0xC4;\t\t//设定定时初值", "\tTH1 = 0xC4;\t\t//设定定时器重装值",
                   "\tET1 = 0;\t\t//禁止定时器1中断", "\tTR1 = 1;\t\t//启动定时器1", "}"}));
}

TEST(Routine, DefaultSettingsInAssembly) {
  EXPECT_EQ(Routine(Dialect::Asm, DefaultSettings(), 0xC4),
            Lines({kSloganAsm, "", "UARTINIT:\t\t\t;9600bps@18.432MHz",
                   "\tANL PCON,#7FH\t\t;波特率不倍速", "\tMOV SCON,#50H\t\t;8位数据,可变波特率",
                   "\tORL AUXR,#40H\t\t;定时器1时钟为Fosc,即1T",
                   "\tANL AUXR,#0FEH\t\t;串口1选择定时器1为波特率发生器",
                   "\tANL TMOD,#0FH\t\t;清除定时器1模式位",
                   "\tORL TMOD,#20H\t\t;设定定时器1为8位自动重装方式",
                   "\tMOV TL1,#0C4H\t\t;设定定时初值", "\tMOV TH1,#0C4H\t\t;设定定时器重装值",
                   "\tCLR ET1\t\t\t;禁止定时器1中断", "\tSETB TR1\t\t;启动定时器1", "\tRET"}));
}

TEST(Routine, SecondPortOnTheIndependentGenerator) {
  UartSettings s{"11.0592", "115200", true, 1, 1, 1, 0};
  EXPECT_EQ(Routine(Dialect::C, s, 0xFF),
            Lines({kSloganC, "", "void UartInit(void)\t\t//115200bps@11.0592MHz", "{",
                   "\tAUXR |= 0x08;\t\t//使能波特率倍速位S2SMOD",
                   "\tS2CON = 0xd0;\t\t//9位数据,可变波特率",
                   "\tBRT = 0xFF;\t\t//设定独立波特率发生器重装值",
                   "\tAUXR &= 0xfb;\t\t//独立波特率发生器时钟为Fosc/12,即12T",
                   "\tAUXR |= 0x10;\t\t//启动独立波特率发生器", "}"}));
}

TEST(Routine, IsGbk) {
  const std::string c = Routine(Dialect::C, DefaultSettings(), 0xC4);
  // "//请用": 请 C7EB, 用 D3C3
  EXPECT_EQ(c.substr(0, 6), "//\xC7\xEB\xD3\xC3");
}

// Body lines between the header and the end, for each choice that picks them.
struct BodyCase {
  Dialect dialect;
  bool doubling;
  int uart, bits, brgen, tclk;
  std::vector<std::string> body;
};

void PrintTo(const BodyCase& c, std::ostream* os) {
  *os << (c.dialect == Dialect::C ? "C" : "ASM") << (c.doubling ? " x2" : "") << " uart" << c.uart
      << " bits" << c.bits << " brgen" << c.brgen << " tclk" << c.tclk;
}

class RoutineBodyTest : public ::testing::TestWithParam<BodyCase> {};

TEST_P(RoutineBodyTest, PicksTheLinesForTheSettings) {
  const BodyCase& c = GetParam();
  UartSettings s{"12", "1200", c.doubling, c.uart, c.bits, c.brgen, c.tclk};
  const bool isC = c.dialect == Dialect::C;
  std::vector<std::string> lines{isC ? kSloganC : kSloganAsm, ""};
  lines.push_back(isC ? "void UartInit(void)\t\t//1200bps@12MHz" : "UARTINIT:\t\t\t;1200bps@12MHz");
  if (isC) lines.push_back("{");
  lines.insert(lines.end(), c.body.begin(), c.body.end());
  lines.push_back(isC ? "}" : "\tRET");
  EXPECT_EQ(Routine(c.dialect, s, 0x0F), Lines(lines));
}

INSTANTIATE_TEST_SUITE_P(
    Choices, RoutineBodyTest,
    ::testing::Values(
        BodyCase{
            Dialect::C,
            true,
            0,
            1,
            1,
            1,
            {"\tPCON |= 0x80;\t\t//使能波特率倍速位SMOD", "\tSCON = 0xd0;\t\t//9位数据,可变波特率",
             "\tBRT = 0x0F;\t\t//设定独立波特率发生器重装值",
             "\tAUXR |= 0x04;\t\t//独立波特率发生器时钟为Fosc,即1T",
             "\tAUXR |= 0x01;\t\t//串口1选择独立波特率发生器为波特率发生器",
             "\tAUXR |= 0x10;\t\t//启动独立波特率发生器"}},
        BodyCase{
            Dialect::Asm,
            true,
            0,
            1,
            1,
            1,
            {"\tORL PCON,#80H\t\t;使能波特率倍速位SMOD", "\tMOV SCON,#0D0H\t\t;9位数据,可变波特率",
             "\tMOV BRT,#00FH\t\t;设定独立波特率发生器重装值",
             "\tORL AUXR,#04H\t\t;独立波特率发生器时钟为Fosc,即1T",
             "\tORL AUXR,#01H\t\t;串口1选择独立波特率发生器为波特率发生器",
             "\tORL AUXR,#10H\t\t;启动独立波特率发生器"}},
        BodyCase{Dialect::Asm,
                 true,
                 1,
                 0,
                 1,
                 0,
                 {"\tORL AUXR,#08H\t\t;使能波特率倍速位S2SMOD",
                  "\tMOV S2CON,#50H\t\t;8位数据,可变波特率",
                  "\tMOV BRT,#00FH\t\t;设定独立波特率发生器重装值",
                  "\tANL AUXR,#0FBH\t\t;独立波特率发生器时钟为Fosc/12,即12T",
                  "\tORL AUXR,#10H\t\t;启动独立波特率发生器"}},
        BodyCase{Dialect::C,
                 false,
                 1,
                 0,
                 1,
                 1,
                 {"\tAUXR &= 0xf7;\t\t//波特率不倍速", "\tS2CON = 0x50;\t\t//8位数据,可变波特率",
                  "\tBRT = 0x0F;\t\t//设定独立波特率发生器重装值",
                  "\tAUXR |= 0x04;\t\t//独立波特率发生器时钟为Fosc,即1T",
                  "\tAUXR |= 0x10;\t\t//启动独立波特率发生器"}},
        BodyCase{Dialect::Asm,
                 false,
                 1,
                 1,
                 1,
                 1,
                 {"\tANL AUXR,#0F7H\t\t;波特率不倍速", "\tMOV S2CON,#0D0H\t\t;9位数据,可变波特率",
                  "\tMOV BRT,#00FH\t\t;设定独立波特率发生器重装值",
                  "\tORL AUXR,#04H\t\t;独立波特率发生器时钟为Fosc,即1T",
                  "\tORL AUXR,#10H\t\t;启动独立波特率发生器"}},
        BodyCase{Dialect::C,
                 false,
                 0,
                 0,
                 1,
                 0,
                 {"\tPCON &= 0x7f;\t\t//波特率不倍速", "\tSCON = 0x50;\t\t//8位数据,可变波特率",
                  "\tBRT = 0x0F;\t\t//设定独立波特率发生器重装值",
                  "\tAUXR &= 0xfb;\t\t//独立波特率发生器时钟为Fosc/12,即12T",
                  "\tAUXR |= 0x01;\t\t//串口1选择独立波特率发生器为波特率发生器",
                  "\tAUXR |= 0x10;\t\t//启动独立波特率发生器"}},
        BodyCase{
            Dialect::C,
            true,
            0,
            1,
            0,
            0,
            {"\tPCON |= 0x80;\t\t//使能波特率倍速位SMOD", "\tSCON = 0xd0;\t\t//9位数据,可变波特率",
             "\tAUXR &= 0xbf;\t\t//定时器1时钟为Fosc/12,即12T",
             "\tAUXR &= 0xfe;\t\t//串口1选择定时器1为波特率发生器",
             "\tTMOD &= 0x0f;\t\t//清除定时器1模式位",
             "\tTMOD |= 0x20;\t\t//设定定时器1为8位自动重装方式", "\tTL1 = 0x0F;\t\t//设定定时初值",
             "\tTH1 = 0x0F;\t\t//设定定时器重装值", "\tET1 = 0;\t\t//禁止定时器1中断",
             "\tTR1 = 1;\t\t//启动定时器1"}},
        BodyCase{Dialect::Asm,
                 false,
                 0,
                 1,
                 0,
                 0,
                 {"\tANL PCON,#7FH\t\t;波特率不倍速", "\tMOV SCON,#0D0H\t\t;9位数据,可变波特率",
                  "\tANL AUXR,#0BFH\t\t;定时器1时钟为Fosc/12,即12T",
                  "\tANL AUXR,#0FEH\t\t;串口1选择定时器1为波特率发生器",
                  "\tANL TMOD,#0FH\t\t;清除定时器1模式位",
                  "\tORL TMOD,#20H\t\t;设定定时器1为8位自动重装方式",
                  "\tMOV TL1,#00FH\t\t;设定定时初值", "\tMOV TH1,#00FH\t\t;设定定时器重装值",
                  "\tCLR ET1\t\t\t;禁止定时器1中断", "\tSETB TR1\t\t;启动定时器1"}}));

TEST(Routine, ReloadIsTwoUpperCaseHexDigits) {
  UartSettings s = DefaultSettings();
  s.brgen = 1;
  for (auto [r, c, assembly] : {std::tuple{0, "\tBRT = 0x00;", "\tMOV BRT,#000H"},
                                std::tuple{0xAB, "\tBRT = 0xAB;", "\tMOV BRT,#0ABH"},
                                std::tuple{0xFF, "\tBRT = 0xFF;", "\tMOV BRT,#0FFH"}}) {
    EXPECT_NE(Routine(Dialect::C, s, r).find(c), std::string::npos) << r;
    EXPECT_NE(Routine(Dialect::Asm, s, r).find(assembly), std::string::npos) << r;
  }
}

TEST(Routine, HeaderShowsTheTextsAsTyped) {
  const std::string long255(255, '7');
  struct {
    const char* baud;
    const char* fosc;
    std::string header;
  } cases[] = {
      {"0x2580", "18.432", "void UartInit(void)\t\t//0x2580bps@18.432MHz\r\n"},
      {"9600 ", " 18.432", "void UartInit(void)\t\t//9600 bps@ 18.432MHz\r\n"},
      // a percent sign in a box is text, never a format
      {"%s%n%d", "%x%%", "void UartInit(void)\t\t//%s%n%dbps@%x%%MHz\r\n"},
      {"", "", "void UartInit(void)\t\t//bps@MHz\r\n"},
      {"\t\x01\xB2\xA8", "12",
       "void UartInit(void)\t\t//\t\x01\xB2\xA8"
       "bps@12MHz\r\n"},
      {long255.c_str(), "12", "void UartInit(void)\t\t//" + long255 + "bps@12MHz\r\n"},
  };
  for (const auto& c : cases) {
    UartSettings s = DefaultSettings();
    s.baud = c.baud;
    s.fosc = c.fosc;
    EXPECT_NE(Routine(Dialect::C, s, 0xC4).find(c.header), std::string::npos) << c.baud;
  }
}

TEST(Routine, TimerOnePathIgnoresThePortAndDataBitsIgnoreTheReload) {
  UartSettings port1 = DefaultSettings();
  UartSettings port2 = port1;
  port2.uart = 1;
  const std::string a = Routine(Dialect::C, port1, 0xC4);
  const std::string b = Routine(Dialect::C, port2, 0xC4);
  const std::string timer = "\tAUXR |= 0x40;";
  EXPECT_EQ(a.substr(a.find(timer)), b.substr(b.find(timer)));

  UartSettings nine = port1;
  nine.dataBits = 1;
  EXPECT_EQ(ComputeReload(port1.fosc, port1.baud, false, 1).reload,
            ComputeReload(nine.fosc, nine.baud, false, 1).reload);
}

TEST(Routine, EveryCombinationIsWholeLines) {
  for (int bits = 0; bits < 64; ++bits) {
    UartSettings s{"18.432",      "9600",        (bits & 1) != 0, bits >> 1 & 1,
                   bits >> 2 & 1, bits >> 3 & 1, bits >> 4 & 1};
    const Dialect d = (bits & 32) ? Dialect::Asm : Dialect::C;
    Fragment f[kMaxFragments];
    const int count = GenerateCode(d, s, 0x80, f);
    ASSERT_LE(count, kMaxFragments);
    const std::string r = Routine(d, s, 0x80);
    EXPECT_EQ(r.substr(r.size() - (d == Dialect::C ? 3 : 6)),
              d == Dialect::C ? "}\r\n" : "\tRET\r\n");
    // Only the header is split across two fragments.
    std::size_t lines = 0;
    for (std::size_t p = 0; (p = r.find("\r\n", p)) != std::string::npos; p += 2) ++lines;
    EXPECT_EQ(lines, static_cast<std::size_t>(count));
    EXPECT_EQ(r.find('\n'), r.find("\r\n") + 1);
  }
}

TEST(Routine, CutShortInASmallBuffer) {
  const std::string whole = Routine(Dialect::C, DefaultSettings(), 0xC4);
  char small[40];
  EXPECT_EQ(FormatRoutine(Dialect::C, DefaultSettings(), 0xC4, small, sizeof small), whole.size());
  EXPECT_EQ(std::string(small), whole.substr(0, sizeof small - 1));
}

TEST(Fragments, CarryTheirOneArgument) {
  UartSettings s = DefaultSettings();
  Fragment f[kMaxFragments];
  const int count = GenerateCode(Dialect::C, s, 0xC4, f);
  ASSERT_GE(count, 3);
  EXPECT_EQ(f[1].arg, Fragment::kText);
  EXPECT_EQ(f[1].text, s.baud);
  EXPECT_EQ(f[2].arg, Fragment::kText);
  EXPECT_EQ(f[2].text, s.fosc);
  for (int i = 0; i < count; ++i) {
    const std::string format = f[i].format;
    const bool hasText = format.find("%s") != std::string::npos;
    const bool hasReload = format.find("%02X") != std::string::npos;
    EXPECT_EQ(f[i].arg, hasText     ? Fragment::kText
                        : hasReload ? Fragment::kReload
                                    : Fragment::kNone)
        << format;
    if (hasReload) {
      EXPECT_EQ(f[i].reload, 0xC4);
    }
  }
}

}  // namespace
