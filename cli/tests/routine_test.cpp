// baudcalc end to end: exit status and streams, the routine's bytes in both
// encodings and line ends, usage errors, write failures and awkward texts.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "calc/codegen.h"
#include "calc/reload.h"
#include "calc/settings.h"
#include "run_tool.h"

namespace {

const std::string kRefusalUtf8 = "当前的设定无法产生指定的波特率 !";

// Every setting, as the tool is told it.
struct Settings {
  std::string fosc = "18.432";
  std::string baud = "9600";
  bool smod = false;
  bool uart2 = false;
  bool nineBits = false;
  bool brt = false;
  bool clock12t = false;
  bool assembly = false;
};

std::vector<std::string> Args(const Settings& s) {
  return {"--fosc",
          s.fosc,
          "--baud",
          s.baud,
          "--uart",
          s.uart2 ? "2" : "1",
          "--bits",
          s.nineBits ? "9" : "8",
          "--brgen",
          s.brt ? "brt" : "timer1",
          "--clock",
          s.clock12t ? "12t" : "1t",
          "--lang",
          s.assembly ? "asm" : "c",
          s.smod ? "--smod" : "--smod=false"};
}

std::vector<std::string> Args(const Settings& s, const std::vector<std::string>& more) {
  std::vector<std::string> args = Args(s);
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

UartSettings WindowSettings(const Settings& s) {
  return UartSettings{s.fosc.c_str(),    s.baud.c_str(),     s.smod,
                      s.uart2 ? 1 : 0,   s.nineBits ? 1 : 0, s.brt ? 1 : 0,
                      s.clock12t ? 0 : 1};
}

ReloadResult Reload(const Settings& s) {
  return ComputeReload(s.fosc.c_str(), s.baud.c_str(), s.smod, s.clock12t ? 0 : 1);
}

Dialect DialectOf(const Settings& s) {
  return s.assembly ? Dialect::Asm : Dialect::C;
}

// What the window's code pane holds for these settings.
std::string WindowRoutine(const Settings& s, int reload) {
  char pane[4096];
  FormatRoutine(DialectOf(s), WindowSettings(s), reload, pane, sizeof pane);
  return pane;
}

// The window's routine with its fixed text converted and the user's texts
// put back afterwards, so that they stay exactly as given.
std::string ConvertedRoutine(const Settings& s, int reload, bool utf8, bool lf) {
  const std::string foscMark =
      "\x01"
      "FOSC\x01";
  const std::string baudMark =
      "\x01"
      "BAUD\x01";
  Settings marked = s;
  marked.fosc = foscMark;
  marked.baud = baudMark;
  std::string text = WindowRoutine(marked, reload);
  if (utf8) text = Utf8FromGbk(text);
  if (lf) text = ReplaceAll(text, "\r\n", "\n");
  text = ReplaceAll(text, foscMark, s.fosc);
  return ReplaceAll(text, baudMark, s.baud);
}

// The tool in GBK must print the window's bytes, or refuse as the window does.
void ExpectWindowBytes(const Settings& s) {
  const Outcome o = RunTool(Args(s, {"--encoding", "gbk"}));
  const ReloadResult r = Reload(s);
  ASSERT_TRUE(o.exited);
  if (r.accepted) {
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, WindowRoutine(s, r.reload)) << Escaped(o.out);
    EXPECT_EQ(o.err, "");
  } else {
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, std::string(kRefusalText) + "\n");
  }
}

std::vector<std::string> ListTexts(int control) {
  const char* texts[32];
  const int n = OptionTexts(control, texts, 32);
  return std::vector<std::string>(texts, texts + n);
}

// ---------------------------------------------------------------------------

struct StreamCase {
  const char* name;
  std::vector<std::string> args;
  int status;
  bool wantStdout;
  std::string err;  // exactly
};

TEST(BaudcalcStreams, ExitStatusAndWhatGoesWhere) {
  const std::string gbkRefusal = std::string(kRefusalText) + "\n";
  // clang-format off
  const StreamCase cases[] = {
      {"defaults", {}, 0, true, ""},
      {"11.0592 MHz 12T 9600 in ASM", {"--fosc", "11.0592", "--clock", "12t", "--lang", "asm"}, 0, true, ""},
      {"upper-case choices", {"--clock", "12T", "--lang", "ASM", "--brgen", "BRT", "--encoding", "GBK", "--eol", "LF"}, 0, true, ""},
      {"second port takes the generator by itself", {"--uart", "2"}, 0, true, ""},
      {"baud rate too high", {"--fosc", "11.0592", "--clock", "12t", "--baud", "115200"}, 1, false, kRefusalUtf8 + "\n"},
      {"refusal in GBK", {"--fosc", "11.0592", "--clock", "12t", "--baud", "115200", "--encoding", "gbk"}, 1, false, gbkRefusal},
      {"baud rate too low for 1T", {"--fosc", "11.0592", "--baud", "1200"}, 1, false, kRefusalUtf8 + "\n"},
      {"negative baud rate", {"--baud=-9600"}, 1, false, kRefusalUtf8 + "\n"},
      {"negative baud rate as the next argument", {"--baud", "-9600"}, 1, false, kRefusalUtf8 + "\n"},
      {"empty frequency", {"--fosc="}, 1, false, kRefusalUtf8 + "\n"},
      {"empty baud rate", {"--baud", ""}, 1, false, kRefusalUtf8 + "\n"},
      {"refusal as JSON", {"--baud", "0", "--json"}, 1, true, ""},
      {"table of a frequency nothing fits", {"--table", "--fosc", "abc"}, 0, true, ""},
      {"help", {"--help"}, 0, true, ""},
      {"short help", {"-h"}, 0, true, ""},
      {"version", {"--version"}, 0, true, ""},
  };
  // clang-format on
  for (const StreamCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome o = RunTool(c.args);
    ASSERT_TRUE(o.exited);
    EXPECT_EQ(o.status, c.status);
    EXPECT_EQ(!o.out.empty(), c.wantStdout) << Escaped(o.out);
    EXPECT_EQ(o.err, c.err) << Escaped(o.err);
  }
}

TEST(BaudcalcStreams, VersionAndHelp) {
  EXPECT_EQ(RunTool({"--version"}).out, "baudcalc " BAUDCALC_VERSION "\n");
  const std::string help = RunTool({"--help"}).out;
  for (const char* option : {"--fosc", "--baud", "--smod", "--uart", "--bits", "--brgen", "--clock",
                             "--lang", "--encoding", "--eol", "--json", "--table"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
  EXPECT_NE(help.find("--json always writes UTF-8"), std::string::npos);
  EXPECT_NE(help.find("Exit status"), std::string::npos);
}

// ---------------------------------------------------------------------------

TEST(BaudcalcRoutine, DefaultRoutineInUtf8WithLf) {
  const Outcome o = RunTool({"--eol", "lf"});
  ASSERT_TRUE(o.exited);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out,
            "//请用实际行动支持砾衡ZQL大陆本土MCU统一全球市场\n"
            "\n"
            "void UartInit(void)\t\t//9600bps@18.432MHz\n"
            "{\n"
            "\tPCON &= 0x7f;\t\t//波特率不倍速\n"
            "\tSCON = 0x50;\t\t//8位数据,可变波特率\n"
            "\tAUXR |= 0x40;\t\t//定时器1时钟为Fosc,即1T\n"
            "\tAUXR &= 0xfe;\t\t//串口1选择定时器1为波特率发生器\n"
            "\tTMOD &= 0x0f;\t\t//清除定时器1模式位\n"
            "\tTMOD |= 0x20;\t\t//设定定时器1为8位自动重装方式\n"
            "\tTL1 = 0xC4;\t\t//设定定时初值\n"
            "\tTH1 = 0xC4;\t\t//设定定时器重装值\n"
            "\tET1 = 0;\t\t//禁止定时器1中断\n"
            "\tTR1 = 1;\t\t//启动定时器1\n"
            "}\n");
}

TEST(BaudcalcRoutine, SecondPortDefaultsToTheGeneratorInAsm) {
  const Outcome o = RunTool({"--uart", "2", "--bits", "9", "--smod", "--clock", "12t", "--fosc",
                             "11.0592", "--baud", "115200", "--lang", "asm"});
  ASSERT_TRUE(o.exited);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out,
            ";请用实际行动支持砾衡ZQL大陆本土MCU统一全球市场\r\n"
            "\r\n"
            "UARTINIT:\t\t\t;115200bps@11.0592MHz\r\n"
            "\tORL AUXR,#08H\t\t;使能波特率倍速位S2SMOD\r\n"
            "\tMOV S2CON,#0D0H\t\t;9位数据,可变波特率\r\n"
            "\tMOV BRT,#0FFH\t\t;设定独立波特率发生器重装值\r\n"
            "\tANL AUXR,#0FBH\t\t;独立波特率发生器时钟为Fosc/12,即12T\r\n"
            "\tORL AUXR,#10H\t\t;启动独立波特率发生器\r\n"
            "\tRET\r\n");
}

TEST(BaudcalcRoutine, GbkIsTheWindowsBytesForEveryListedRate) {
  for (const std::string& fosc : ListTexts(IDC_FOSC))
    for (const std::string& baud : ListTexts(IDC_BAUD)) {
      Settings s;
      s.fosc = fosc;
      s.baud = baud;
      SCOPED_TRACE(fosc + " MHz " + baud);
      ExpectWindowBytes(s);
    }
}

TEST(BaudcalcRoutine, GbkIsTheWindowsBytesForEveryCombinationOfChoices) {
  const std::pair<const char*, const char*> rates[] = {{"11.0592", "9600"}, {"24", "115200"}};
  // The port rule leaves three reachable port and generator pairs.
  const std::pair<bool, bool> ports[] = {{false, false}, {false, true}, {true, true}};
  for (const auto& rate : rates)
    for (const auto& port : ports)
      for (int bits = 0; bits < 16; ++bits) {
        Settings s;
        s.fosc = rate.first;
        s.baud = rate.second;
        s.uart2 = port.first;
        s.brt = port.second;
        s.smod = bits & 1;
        s.nineBits = bits & 2;
        s.clock12t = bits & 4;
        s.assembly = bits & 8;
        SCOPED_TRACE(Escaped(::testing::PrintToString(Args(s))));
        ExpectWindowBytes(s);
        // and in UTF-8, every fixed text converted
        const Outcome o = RunTool(Args(s));
        ASSERT_TRUE(o.exited);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.out, ConvertedRoutine(s, Reload(s).reload, true, false));
      }
}

struct TextsCase {
  const char* name;
  std::string fosc;
  std::string baud;
  bool assembly;
};

TEST(BaudcalcRoutine, EncodingsAndLineEndsConvertOnlyTheFixedText) {
  // clang-format off
  const TextsCase cases[] = {
      {"plain",                        "18.432",              "9600",            false},
      {"GBK bytes after the numbers",  "18.432\xb2\xe2",      "9600\xd7\xd6",    true},
      {"bytes that are neither",       "11.0592\xff\x80",     "9600\xc0",        false},
      {"UTF-8 after the numbers",      "18.432兆",            "9600波特",        true},
      {"printf directives",            "18.432%%",            "9600%s%n%d",      false},
      {"line ends inside the texts",   "18.432\r",            "9600\r\n",        true},
      {"blanks and tabs",              " \t22.1184 ",         "  19200\t",       false},
      {"hexadecimal baud rate",        "18.432",              "0x2580",          true},
  };
  // clang-format on
  for (const TextsCase& c : cases) {
    Settings s;
    s.fosc = c.fosc;
    s.baud = c.baud;
    s.assembly = c.assembly;
    const ReloadResult r = Reload(s);
    ASSERT_TRUE(r.accepted) << c.name;
    for (bool utf8 : {true, false})
      for (bool lf : {false, true}) {
        SCOPED_TRACE(std::string(c.name) + (utf8 ? " utf-8" : " gbk") + (lf ? " lf" : " crlf"));
        const Outcome o =
            RunTool(Args(s, {"--encoding", utf8 ? "utf-8" : "gbk", "--eol", lf ? "lf" : "crlf"}));
        ASSERT_TRUE(o.exited);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(Escaped(o.out), Escaped(ConvertedRoutine(s, r.reload, utf8, lf)));
        // The header holds the user's texts byte for byte in every mode.
        EXPECT_NE(o.out.find(c.baud + "bps@" + c.fosc + "MHz"), std::string::npos);
      }
  }
}

TEST(BaudcalcRoutine, LfLeavesNoCarriageReturnOfItsOwn) {
  for (const char* encoding : {"utf-8", "gbk"})
    for (const char* lang : {"c", "asm"}) {
      const Outcome o =
          RunTool({"--eol", "lf", "--encoding", encoding, "--lang", lang, "--uart", "2", "--smod"});
      ASSERT_TRUE(o.exited);
      EXPECT_EQ(o.status, 0);
      EXPECT_EQ(o.out.find('\r'), std::string::npos) << encoding << " " << lang;
      EXPECT_EQ(o.out.substr(o.out.size() - 2), lang == std::string("c") ? "}\n" : "T\n");
    }
}

// ---------------------------------------------------------------------------

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
  const char* says;  // part of the message
};

TEST(BaudcalcUsage, ErrorsExitTwoWithOneLineOnStderr) {
  const std::string long256(256, '1');
  // clang-format off
  const UsageCase cases[] = {
      {"second port on Timer 1",   {"--uart", "2", "--brgen", "timer1"}, "only from the independent baud-rate generator"},
      {"...in upper case",         {"--brgen", "TIMER1", "--uart", "2"}, "only from the independent baud-rate generator"},
      {"256-byte frequency",       {"--fosc", long256},                  "at most 255"},
      {"256-byte baud rate",       {"--baud", long256},                  "at most 255"},
      {"7 data bits",              {"--bits", "7"},                      "--bits"},
      {"16 data bits",             {"--bits", "16"},                     "--bits"},
      {"port 0",                   {"--uart", "0"},                      "--uart"},
      {"port 01",                  {"--uart", "01"},                     "--uart"},
      {"unknown generator",        {"--brgen", "timer2"},                "--brgen"},
      {"unknown clock",            {"--clock", "6t"},                    "--clock"},
      {"unknown dialect",          {"--lang", "pascal"},                 "--lang"},
      {"unknown encoding",         {"--encoding", "latin1"},             "--encoding"},
      {"unknown line end",         {"--eol", "cr"},                      "--eol"},
      {"empty choice",             {"--bits="},                          "--bits"},
      {"unknown option",           {"--foo"},                            "--foo"},
      {"unknown short option",     {"-x"},                               "-x"},
      {"stray argument",           {"9600"},                             "9600"},
      {"stray after --",           {"--", "--baud"},                     "--baud"},
      {"value missing",            {"--fosc"},                           "--fosc"},
      {"line end in an option",    {"--f\noo\r"},                        "--f?oo?"},
      {"choice checked with table",{"--table", "--uart", "2", "--brgen", "timer1"}, "independent"},
  };
  // clang-format on
  for (const UsageCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome o = RunTool(c.args);
    ASSERT_TRUE(o.exited);
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err.rfind("baudcalc: ", 0), 0u) << o.err;
    EXPECT_NE(o.err.find(c.says), std::string::npos) << o.err;
    ASSERT_FALSE(o.err.empty());
    EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << Escaped(o.err);
  }
}

TEST(BaudcalcUsage, TextsOf255BytesAreRead) {
  const std::string fosc = std::string(249, '0') + "18.432";
  const std::string baud = std::string(251, ' ') + "9600";
  ASSERT_EQ(fosc.size(), 255u);
  ASSERT_EQ(baud.size(), 255u);
  const Outcome o = RunTool({"--fosc", fosc, "--baud", baud});
  ASSERT_TRUE(o.exited);
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.out.find("//" + baud + "bps@" + fosc + "MHz\r\n"), std::string::npos);
  EXPECT_NE(o.out.find("TH1 = 0xC4;"), std::string::npos);
}

TEST(BaudcalcUsage, LaterOptionWins) {
  const Outcome o = RunTool({"--fosc", "12", "--fosc", "11.0592", "--clock", "1t", "--clock", "12t",
                             "--encoding", "gbk"});
  Settings s;
  s.fosc = "11.0592";
  s.clock12t = true;
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, WindowRoutine(s, 0xFD));
}

// ---------------------------------------------------------------------------

struct WriteCase {
  const char* name;
  std::vector<std::string> args;
  StdoutTo where;
  int status;
};

TEST(BaudcalcOutput, WriteFailuresAreNotSuccess) {
  // clang-format off
  const WriteCase cases[] = {
      {"routine to a full disk",  {},                        StdoutTo::kDevFull, 3},
      {"routine to a closed fd",  {},                        StdoutTo::kClosed,  3},
      {"JSON to a full disk",     {"--json"},                StdoutTo::kDevFull, 3},
      {"table to a full disk",    {"--table"},               StdoutTo::kDevFull, 3},
      {"help to a full disk",     {"--help"},                StdoutTo::kDevFull, 3},
      {"version to a closed fd",  {"--version"},             StdoutTo::kClosed,  3},
  };
  // clang-format on
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome o = RunTool(c.args, c.where);
    ASSERT_TRUE(o.exited);
    EXPECT_EQ(o.status, c.status);
    EXPECT_NE(o.err.find("cannot write to standard output"), std::string::npos) << o.err;
  }
}

TEST(BaudcalcOutput, RefusalNeedsNoStdout) {
  const Outcome o = RunTool({"--baud", "0"}, StdoutTo::kClosed);
  ASSERT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, kRefusalUtf8 + "\n");
}

// ---------------------------------------------------------------------------

TEST(BaudcalcAwkwardTexts, RefusedOrTheWindowsRoutineNeverACrash) {
  // clang-format off
  const std::string texts[] = {
      "", " ", "\t", "\x01\x02\x7f", "\xff\xfe\x80", "\xb2\xe2\xca\xd4", "１８", "-", "+", ".",
      "-0", "+0", "0", "0x", "0X", "0x1p3", "0x2580", "09600", "nan", "NAN(1)", "inf", "-inf",
      "infinity", "1e99999999", "1e-99999999", "1d2", "1.1d1", "1e", "1e+", ".5", "5.",
      "99999999999999999999999999", "4294967295", "4294967296", "-4294957696", "2147483648",
      std::string(255, '9'), "0." + std::string(253, '0'), std::string(254, '1') + "e",
      "%s%s%s%n", "18.432 MHz", "9 600", "1,5",
  };
  // clang-format on
  for (const std::string& text : texts) {
    for (int which = 0; which < 2; ++which) {
      Settings s;
      (which == 0 ? s.fosc : s.baud) = text;
      SCOPED_TRACE((which == 0 ? "--fosc " : "--baud ") + Escaped(text));
      ExpectWindowBytes(s);

      const Outcome json = RunTool(Args(s, {"--json"}));
      ASSERT_TRUE(json.exited);
      const nlohmann::json parsed = nlohmann::json::parse(json.out, nullptr, false);
      ASSERT_FALSE(parsed.is_discarded()) << Escaped(json.out);
      EXPECT_EQ(parsed.value("accepted", !Reload(s).accepted), Reload(s).accepted);
      EXPECT_EQ(json.status, Reload(s).accepted ? 0 : 1);
    }
  }
}

}  // namespace
