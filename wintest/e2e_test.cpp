// The real baudcalc.exe, started as its own process and driven from this one
// through window messages, as a user's actions arrive.
#include <windows.h>
// The other Windows headers need it first.

#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "calc/codegen.h"
#include "calc/reload.h"
#include "calc/settings.h"
#include "res/resource.h"
#include "winutil.h"

namespace {

// Wine sees the Unix file system through drive Z:.
std::string WindowsPath(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return "Z:" + path;
}

const std::string kExe = WindowsPath(BAUDCALC_EXE);
const std::string kRecorderLog = WindowsPath(BAUDCALC_RECORDER_LOG);
const char kDocument[] = "http://www.zql-mcu.example/ZQL-MCU-AD.PDF";

std::string DefaultRoutine(Dialect dialect) {
  const UartSettings s = DefaultSettings();
  const ReloadResult r = ComputeReload(s.fosc, s.baud, s.doubling, s.tclk);
  char out[4096];
  FormatRoutine(dialect, s, r.reload, out, sizeof(out));
  return out;
}

struct WindowSearch {
  DWORD process;
  HWND found;
};

BOOL CALLBACK FindCalculator(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  char title[512] = "";
  GetWindowTextA(window, title, sizeof(title));
  if (pid == search->process && IsWindowVisible(window) && std::string(title) == kCaption) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

std::vector<std::string> RecordedLines() {
  std::vector<std::string> lines;
  std::ifstream in(kRecorderLog);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> WaitForRecordedLines(size_t count, DWORD timeout) {
  const DWORD start = GetTickCount();
  std::vector<std::string> lines = RecordedLines();
  while (lines.size() < count && GetTickCount() - start < timeout) {
    Sleep(20);
    lines = RecordedLines();
  }
  return lines;
}

class RunningCalculator : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableA("BAUDCALC_RECORDER_LOG", kRecorderLog.c_str());
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    std::string commandLine = "\"" + kExe + "\"";
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(CreateProcessA(kExe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process))
        << kExe << " error " << GetLastError();
    const std::string routine = DefaultRoutine(Dialect::C);
    for (int i = 0; i < 5000 && !dlg; ++i) {
      WindowSearch search{process.dwProcessId, nullptr};
      EnumWindows(FindCalculator, reinterpret_cast<LPARAM>(&search));
      if (search.found && ItemText(search.found, IDC_CODE) == routine)
        dlg = search.found;
      else
        Sleep(2);
    }
    startupMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    ASSERT_NE(dlg, nullptr) << "no calculator window with its routine";
    thread = GetWindowThreadProcessId(dlg, nullptr);
  }

  void TearDown() override {
    if (!process.hProcess) return;
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
      PostMessageA(dlg, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(process.hProcess, 10000) == WAIT_TIMEOUT)
        TerminateProcess(process.hProcess, 99);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }

  HWND Item(int id) const { return GetDlgItem(dlg, id); }
  void Click(int id) { SendMessageA(Item(id), BM_CLICK, 0, 0); }
  MessageBoxSeen ClickWatchingBoxes(int id) {
    return RunDismissingBoxes(thread, dlg, [&] { Click(id); });
  }
  void Choose(int id, int index) {
    SendMessageA(Item(id), CB_SETCURSEL, index, 0);
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Item(id)));
  }
  void SetBox(int id, const std::string& text) {
    SendMessageA(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  // Types into an editable box key by key, as WM_CHAR messages.
  void Type(int id, const std::string& text) {
    HWND edit = FindWindowExA(Item(id), nullptr, "Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    SetBox(id, "");
    for (unsigned char c : text) SendMessageA(edit, WM_CHAR, c, 1);
  }
  bool Running() const { return WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; }
  DWORD WaitForExit() {
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 12345;
    GetExitCodeProcess(process.hProcess, &code);
    return code;
  }

  PROCESS_INFORMATION process{};
  HWND dlg = nullptr;
  DWORD thread = 0;
  double startupMs = 0;
};

TEST_F(RunningCalculator, OpensWithTheDefaultCRoutine) {
  std::printf("start-up: %.0f ms from launch to the routine in the pane\n", startupMs);
  RecordProperty("startup_ms", static_cast<int>(startupMs));
  const std::string pane = ItemText(dlg, IDC_CODE);
  EXPECT_EQ(pane.rfind("//请用实际行动支持砾衡ZQL大陆本土MCU统一全球市场\r\n\r\n"
                       "void UartInit(void)\t\t//9600bps@18.432MHz\r\n{\r\n",
                       0),
            0u);
  EXPECT_NE(pane.find("\tTH1 = 0xC4;\t\t//设定定时器重装值\r\n"), std::string::npos);
  EXPECT_EQ(ItemText(dlg, IDC_ERROR), "0.00%");
  EXPECT_EQ(BoxText(dlg, IDC_FOSC), "18.432");
  EXPECT_EQ(BoxText(dlg, IDC_BAUD), "9600");
  EXPECT_EQ(ListItems(Item(IDC_TCLK)), (std::vector<std::string>{"12T (Fosc/12)", "1T  (Fosc)"}));
  EXPECT_EQ(Selection(dlg, IDC_TCLK), 1);
}

TEST_F(RunningCalculator, HasThirteenTooltips) {
  HWND tip = nullptr;
  EnumThreadWindows(
      thread,
      [](HWND w, LPARAM p) -> BOOL {
        char cls[64] = "";
        GetClassNameA(w, cls, sizeof(cls));
        if (std::string(cls) != TOOLTIPS_CLASSA) return TRUE;
        *reinterpret_cast<HWND*>(p) = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&tip));
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(GetWindow(tip, GW_OWNER), dlg);
  EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 13);
}

TEST_F(RunningCalculator, GeneratesAsmForTypedSettingsAndCopiesIt) {
  SetBox(IDC_FOSC, "22.1184");
  Choose(IDC_BAUD, 5);  // 19200
  Click(IDC_GEN_ASM);
  const std::string pane = ItemText(dlg, IDC_CODE);
  UartSettings s = DefaultSettings();
  s.fosc = "22.1184";
  s.baud = "19200";
  char expected[4096];
  FormatRoutine(Dialect::Asm, s, 0xDC, expected, sizeof(expected));
  EXPECT_EQ(pane, expected);
  EXPECT_NE(pane.find("UARTINIT:\t\t\t;19200bps@22.1184MHz\r\n"), std::string::npos);
  EXPECT_NE(pane.find("\tMOV TH1,#0DCH\t\t;设定定时器重装值\r\n"), std::string::npos);
  EXPECT_EQ(ItemText(dlg, IDC_ERROR), "0.00%");

  SetClipboardText("sentinel");
  Click(IDC_COPY);
  EXPECT_EQ(ClipboardText(), std::optional<std::string>(pane));

  const std::string edited = pane + "\t; 用户加的一行\r\n";
  SetBox(IDC_CODE, edited);
  Click(IDC_COPY);
  EXPECT_EQ(ClipboardText(), std::optional<std::string>(edited));
}

TEST_F(RunningCalculator, SecondPortRelabelsAndLocksTheGenerator) {
  const std::string pane = ItemText(dlg, IDC_CODE);
  Choose(IDC_UART, 1);
  EXPECT_EQ(ItemText(dlg, IDC_SMOD), "波特率倍速(S2SMOD)");
  EXPECT_EQ(Selection(dlg, IDC_BRGEN), 1);
  EXPECT_FALSE(IsWindowEnabled(Item(IDC_BRGEN)));
  EXPECT_EQ(ItemText(dlg, IDC_CODE), pane);
  Click(IDC_GEN_C);
  EXPECT_NE(ItemText(dlg, IDC_CODE).find("\tS2CON = 0x50;"), std::string::npos);
  Choose(IDC_UART, 0);
  EXPECT_EQ(ItemText(dlg, IDC_SMOD), "波特率倍速(SMOD)");
  EXPECT_EQ(Selection(dlg, IDC_BRGEN), 1);
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_BRGEN)));
}

TEST_F(RunningCalculator, RefusalBoxLeavesTheWindowAsItWas) {
  SendMessageA(Item(IDC_FOSC), CB_SETCURSEL, 0, 0);  // 11.0592
  Choose(IDC_BAUD, 9);                               // 115200
  Choose(IDC_TCLK, 0);                               // 12T
  const std::string pane = ItemText(dlg, IDC_CODE);
  const MessageBoxSeen box = ClickWatchingBoxes(IDC_GEN_C);
  EXPECT_EQ(box.count, 1);
  EXPECT_EQ(box.text, "当前的设定无法产生指定的波特率 !");
  EXPECT_EQ(box.caption, "波特率计算器");
  EXPECT_EQ(box.owner, dlg);
  EXPECT_TRUE(box.onlyOk);
  EXPECT_EQ(ItemText(dlg, IDC_CODE), pane);
  EXPECT_EQ(ItemText(dlg, IDC_ERROR), "0.00%");
  EXPECT_TRUE(Running());
}

TEST_F(RunningCalculator, LogoOpensTheDocumentOnceAClickTwiceADoubleClick) {
  DeleteFileA(kRecorderLog.c_str());
  HWND logo = Item(IDC_LOGO);
  PostMessageA(logo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  PostMessageA(logo, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  std::vector<std::string> lines = WaitForRecordedLines(1, 15000);
  ASSERT_EQ(lines.size(), 1u);

  // A double click arrives as a click and then a double click.
  PostMessageA(logo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  PostMessageA(logo, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  PostMessageA(logo, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
  PostMessageA(logo, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  lines = WaitForRecordedLines(3, 15000);
  Sleep(500);  // and no more than that
  lines = RecordedLines();
  ASSERT_EQ(lines.size(), 3u);
  for (const std::string& line : lines)
    EXPECT_EQ(line, std::to_string(SW_SHOWMAXIMIZED) + "\t" + kDocument);
  EXPECT_TRUE(Running());
}

TEST_F(RunningCalculator, EnterInABoxIsIgnored) {
  const std::string pane = ItemText(dlg, IDC_CODE);
  SetBox(IDC_BAUD, "19200");
  HWND edit = FindWindowExA(Item(IDC_FOSC), nullptr, "Edit", nullptr);
  PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
  PostMessageA(edit, WM_KEYUP, VK_RETURN, 0xC0000001);
  Sleep(300);
  SendMessageA(dlg, WM_NULL, 0, 0);
  EXPECT_TRUE(Running());
  EXPECT_EQ(ItemText(dlg, IDC_CODE), pane);
}

// Every way out ends the process with status 0.
TEST_F(RunningCalculator, ExitButtonEndsTheProcessWithStatus0) {
  PostMessageA(Item(IDCANCEL), BM_CLICK, 0, 0);
  EXPECT_EQ(WaitForExit(), 0u);
}

TEST_F(RunningCalculator, EscapeEndsTheProcessWithStatus0) {
  PostMessageA(Item(IDC_TCLK), WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_EQ(WaitForExit(), 0u);
}

TEST_F(RunningCalculator, EscapeInTheCodePaneEndsTheProcessWithStatus0) {
  PostMessageA(Item(IDC_CODE), WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_EQ(WaitForExit(), 0u);
}

TEST_F(RunningCalculator, CloseBoxEndsTheProcessWithStatus0) {
  PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(WaitForExit(), 0u);
}

TEST_F(RunningCalculator, WmCloseEndsTheProcessWithStatus0) {
  PostMessageA(dlg, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForExit(), 0u);
}

TEST_F(RunningCalculator, BadInputNeverCrashesIt) {
  // clang-format off
  const struct { std::string fosc, baud; bool typed; } inputs[] = {
      {"", "", true}, {"", "9600", false}, {"1e999", "9600", true}, {"18.432", "1e999", true},
      {"1d400", "-1", true}, {"0", "0", true}, {"18.432", "99999999999999999999", true},
      {std::string(255, '9'), std::string(255, '9'), false},
      {std::string(600, '5'), std::string(600, '8'), false},
      {"工作频率", "波特率", false}, {"\xb2\xa8\xcc\xd8", "\xff\xfe\x81", false},
      {"18\x01\x02.432", "96\x1b" "00", false}, {"18.432\t", "9600\b", true},
      {"%s%n%s%n", "%s%s%s%s%s", true},
  };
  // clang-format on
  for (const auto& in : inputs) {
    SCOPED_TRACE("fosc \"" + in.fosc.substr(0, 16) + "\" baud \"" + in.baud.substr(0, 16) + "\"");
    if (in.typed) {
      Type(IDC_FOSC, in.fosc);
      Type(IDC_BAUD, in.baud);
    } else {
      SetBox(IDC_FOSC, in.fosc);
      SetBox(IDC_BAUD, in.baud);
    }
    SetBox(IDC_CODE, "before");
    const MessageBoxSeen box = ClickWatchingBoxes(IDC_GEN_C);
    ASSERT_TRUE(Running());
    const std::string pane = ItemText(dlg, IDC_CODE);
    if (box.count == 1) {
      EXPECT_EQ(box.text, kRefusalText);
      EXPECT_EQ(pane, "before");
    } else {
      EXPECT_EQ(box.count, 0);
      EXPECT_EQ(pane.rfind("//请用实际行动支持", 0), 0u) << pane.substr(0, 80);
      EXPECT_EQ(pane.substr(pane.size() - 3), "}\r\n");
    }
  }
  PostMessageA(dlg, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForExit(), 0u);
}

}  // namespace
