// The real dialog template and dialog procedure, created modeless in this
// process and driven through messages.
#include <windows.h>
// The other Windows headers need it first.

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "calc/codegen.h"
#include "calc/reload.h"
#include "calc/settings.h"
#include "calculator.h"
#include "res/resource.h"
#include "winutil.h"

namespace {

const DWORD kChildVisible = WS_CHILD | WS_VISIBLE;
const DWORD kLabel = kChildVisible | SS_RIGHT | SS_CENTERIMAGE | WS_GROUP;
const DWORD kEditableCombo = kChildVisible | CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP;
const DWORD kPickCombo = kChildVisible | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
const DWORD kPushButton = kChildVisible | BS_PUSHBUTTON | WS_TABSTOP;

struct ControlSpec {
  const char* className;
  int id;
  const char* text;  // GBK; null for the logo, whose "text" is bitmap 130
  int x, y, cx, cy;
  DWORD style;
  DWORD exStyle;
};

// clang-format off
const ControlSpec kControls[22] = {
    {"Static",   -1,           "工作频率",          7,   7,   32,  12,  kLabel, 0},
    {"ComboBox", IDC_FOSC,     "",                 43,  7,   60,  255, kEditableCombo, 0},
    {"Static",   -1,           "MHz",              104, 7,   14,  12,  kChildVisible | SS_LEFT | SS_CENTERIMAGE | WS_GROUP, 0},
    {"Static",   -1,           "波特率",            7,   26,  32,  12,  kLabel, 0},
    {"ComboBox", IDC_BAUD,     "",                 43,  26,  60,  255, kEditableCombo, 0},
    {"Button",   IDC_SMOD,     "波特率倍速(SMOD)",  29,  46,  88,  12,  kChildVisible | BS_AUTOCHECKBOX | WS_TABSTOP, 0},
    {"Static",   -1,           "误差率",            7,   64,  32,  12,  kLabel, 0},
    {"Static",   IDC_ERROR,    "",                 43,  64,  60,  12,  kChildVisible | SS_CENTER | SS_CENTERIMAGE | SS_NOTIFY | WS_GROUP, WS_EX_CLIENTEDGE},
    {"Static",   -1,           "串口选择",          122, 7,   48,  12,  kLabel, 0},
    {"ComboBox", IDC_UART,     "",                 174, 7,   81,  255, kPickCombo, 0},
    {"Static",   -1,           "串口数据位数",      122, 26,  48,  12,  kLabel, 0},
    {"ComboBox", IDC_DATABITS, "",                 174, 26,  81,  255, kPickCombo, 0},
    {"Static",   -1,           "波特率发生器",      122, 45,  48,  12,  kLabel, 0},
    {"ComboBox", IDC_BRGEN,    "",                 174, 45,  81,  255, kPickCombo, 0},
    {"Static",   -1,           "定时器时钟",        122, 64,  48,  12,  kLabel, 0},
    {"ComboBox", IDC_TCLK,     "",                 174, 64,  81,  255, kPickCombo, 0},
    {"Static",   IDC_LOGO,     nullptr,            268, 7,   89,  39,  kChildVisible | SS_BITMAP | SS_NOTIFY, WS_EX_STATICEDGE},
    {"Edit",     IDC_CODE,     "",                 7,   87,  288, 181, kChildVisible | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN | WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP, 0},
    {"Button",   IDC_COPY,     "复制代码",          303, 218, 54,  21,  kPushButton, 0},
    {"Button",   IDCANCEL,     "退出",              303, 247, 54,  21,  kPushButton, 0},
    {"Button",   IDC_GEN_ASM,  "生成ASM代码",       303, 117, 54,  21,  kPushButton, 0},
    {"Button",   IDC_GEN_C,    "生成C代码",         303, 87,  54,  21,  kPushButton, 0},
};

const struct {
  int id;
  const char* text;
} kToolTexts[13] = {
    {IDC_FOSC,     "系统时钟频率"},
    {IDC_BAUD,     "选择串口波特率"},
    {IDC_BRGEN,    "选择串口波特率发生器源"},
    {IDC_TCLK,     "波特率发生器的时钟频率\n12T: Fosc/12\n1T : Fosc"},
    {IDC_SMOD,     "波特率倍速选项\n选择 : 波特率*2\n不选 : 波特率*1"},
    {IDC_UART,     "MCU内部串口接口选择"},
    {IDC_DATABITS, "选择串口通讯的数据位数\n8位:8位数据,无校验位\n9位:8位数据,1位校验位"},
    {IDC_ERROR,    "产生的波特率与目标波特率之间的误差"},
    {IDC_CODE,     "示例代码"},
    {IDC_COPY,     "复制参考代码到剪贴板"},
    {IDC_GEN_ASM,  "生成汇编参考代码"},
    {IDC_GEN_C,    "生成C语言参考代码"},
    {IDC_LOGO,     "访问砾衡科技官方网站\n(www.zql-mcu.example)"},
};

// The opening routine, line by line.
const char* const kDefaultRoutineC =
    "//请用实际行动支持砾衡ZQL大陆本土MCU统一全球市场\r\n"
    "\r\n"
    "void UartInit(void)\t\t//9600bps@18.432MHz\r\n"
    "{\r\n"
    "\tPCON &= 0x7f;\t\t//波特率不倍速\r\n"
    "\tSCON = 0x50;\t\t//8位数据,可变波特率\r\n"
    "\tAUXR |= 0x40;\t\t//定时器1时钟为Fosc,即1T\r\n"
    "\tAUXR &= 0xfe;\t\t//串口1选择定时器1为波特率发生器\r\n"
    "\tTMOD &= 0x0f;\t\t//清除定时器1模式位\r\n"
    "\tTMOD |= 0x20;\t\t//设定定时器1为8位自动重装方式\r\n"
    "\tTL1 = 0xC4;\t\t//设定定时初值\r\n"
    "\tTH1 = 0xC4;\t\t//设定定时器重装值\r\n"
    "\tET1 = 0;\t\t//禁止定时器1中断\r\n"
    "\tTR1 = 1;\t\t//启动定时器1\r\n"
    "}\r\n";
// clang-format on

// What the window would show for the settings now in its controls.
std::string ExpectedRoutine(HWND dlg, Dialect dialect) {
  const std::string fosc = BoxText(dlg, IDC_FOSC);
  const std::string baud = BoxText(dlg, IDC_BAUD);
  UartSettings s{fosc.c_str(),
                 baud.c_str(),
                 SendDlgItemMessageA(dlg, IDC_SMOD, BM_GETCHECK, 0, 0) == BST_CHECKED,
                 Selection(dlg, IDC_UART),
                 Selection(dlg, IDC_DATABITS),
                 Selection(dlg, IDC_BRGEN),
                 Selection(dlg, IDC_TCLK)};
  const ReloadResult r = ComputeReload(s.fosc, s.baud, s.doubling, s.tclk);
  if (!r.accepted) return "(refused)";
  std::vector<char> out(8192);
  FormatRoutine(dialect, s, r.reload, out.data(), out.size());
  return out.data();
}

class CalculatorDialog : public ::testing::Test {
 public:
  void SetUp() override {
    g_hInstance = GetModuleHandleA(nullptr);
    g_hToolTip = nullptr;
    dlg = CreateDialogParamA(g_hInstance, MAKEINTRESOURCEA(IDD_CALCULATOR), nullptr,
                             CalculatorDlgProc, 0);
    ASSERT_NE(dlg, nullptr);
    PumpMessages(20);
  }
  void TearDown() override {
    if (dlg) DestroyWindow(dlg);
  }

  HWND Item(int id) const { return GetDlgItem(dlg, id); }
  void Command(int id, int code = 0) {
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Item(id)));
  }
  void Click(int id) { SendMessageA(Item(id), BM_CLICK, 0, 0); }
  // A user's choice in a list: the box notifies its parent itself.
  void Choose(int id, int index) {
    SendDlgItemMessageA(dlg, id, CB_SETCURSEL, index, 0);
    Command(id, CBN_SELCHANGE);
  }
  void SetBox(int id, const std::string& text) {
    SendDlgItemMessageA(dlg, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  MessageBoxSeen ClickWatchingBoxes(int id) {
    return RunDismissingBoxes(GetCurrentThreadId(), dlg, [&] { Click(id); });
  }

  HWND dlg = nullptr;
};

// ---- The template -------------------------------------------------------

// Reads the extended dialog template as stored in the program.
struct TemplateReader {
  const BYTE* p;
  WORD Word() {
    WORD w;
    std::memcpy(&w, p, 2);
    p += 2;
    return w;
  }
  DWORD Dword() {
    DWORD d;
    std::memcpy(&d, p, 4);
    p += 4;
    return d;
  }
  std::wstring String() {
    std::wstring s;
    for (WORD c; (c = Word()) != 0;) s += static_cast<wchar_t>(c);
    return s;
  }
  // A string or, after 0xFFFF, an ordinal (returned as "#n").
  std::wstring StringOrOrdinal() {
    WORD first;
    std::memcpy(&first, p, 2);
    if (first == 0xFFFF) {
      p += 2;
      return L"#" + std::to_wstring(Word());
    }
    return String();
  }
  void AlignDword(const BYTE* base) {
    while ((p - base) % 4) ++p;
  }
};

std::string Gbk(const std::wstring& s) {
  char out[1024] = "";
  WideCharToMultiByte(936, 0, s.c_str(), -1, out, sizeof(out), nullptr, nullptr);
  return out;
}

std::wstring ClassOf(const std::wstring& stored) {
  if (stored == L"#128") return L"button";
  if (stored == L"#129") return L"edit";
  if (stored == L"#130") return L"static";
  if (stored == L"#133") return L"combobox";
  std::wstring lower = stored;
  for (auto& c : lower) c = towlower(c);
  return lower;
}

TEST(DialogTemplate, HeaderAndEveryControlAsStored) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(IDD_CALCULATOR), MAKEINTRESOURCEA(5));
  ASSERT_NE(res, nullptr);
  const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(module, res)));
  TemplateReader t{base};
  EXPECT_EQ(t.Word(), 1);
  EXPECT_EQ(t.Word(), 0xFFFF);  // extended template
  t.Dword();                    // help id
  EXPECT_EQ(t.Dword(), static_cast<DWORD>(WS_EX_APPWINDOW));
  EXPECT_EQ(t.Dword(), static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU |
                                          DS_CENTER | DS_MODALFRAME | DS_SETFONT));
  const WORD count = t.Word();
  EXPECT_EQ(count, 22);
  EXPECT_EQ(t.Word(), 0);
  EXPECT_EQ(t.Word(), 0);
  EXPECT_EQ(t.Word(), 364);
  EXPECT_EQ(t.Word(), 275);
  EXPECT_EQ(t.StringOrOrdinal(), L"");  // no menu
  EXPECT_EQ(t.StringOrOrdinal(), L"");  // the standard dialog class
  EXPECT_EQ(Gbk(t.String()), kCaption);
  EXPECT_EQ(t.Word(), 9);  // points
  EXPECT_EQ(t.Word(), 0);  // weight
  EXPECT_EQ(*t.p++, 0);    // italic
  EXPECT_EQ(*t.p++, 1);    // DEFAULT_CHARSET
  EXPECT_EQ(Gbk(t.String()), "宋体");

  for (int i = 0; i < count && i < 22; ++i) {
    const ControlSpec& c = kControls[i];
    SCOPED_TRACE("control #" + std::to_string(i + 1));
    t.AlignDword(base);
    t.Dword();  // help id
    EXPECT_EQ(t.Dword(), c.exStyle);
    EXPECT_EQ(t.Dword(), c.style);
    EXPECT_EQ(static_cast<short>(t.Word()), c.x);
    EXPECT_EQ(static_cast<short>(t.Word()), c.y);
    EXPECT_EQ(static_cast<short>(t.Word()), c.cx);
    EXPECT_EQ(static_cast<short>(t.Word()), c.cy);
    EXPECT_EQ(static_cast<int>(t.Dword()), c.id);
    std::wstring cls(c.className, c.className + std::strlen(c.className));
    EXPECT_EQ(ClassOf(t.StringOrOrdinal()), ClassOf(cls));
    const std::wstring text = t.StringOrOrdinal();
    if (c.text) {
      EXPECT_EQ(Gbk(text), c.text);
    } else {
      EXPECT_EQ(text, L"#130");  // the logo bitmap
    }
    const WORD extra = t.Word();
    t.p += extra;
  }
}

TEST(DialogTemplate, VersionResourceIs1001ForChinesePrc) {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> data(size);
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u);
  for (const char* key : {"FileVersion", "ProductVersion"}) {
    char* value = nullptr;
    const std::string query = std::string("\\StringFileInfo\\080404B0\\") + key;
    ASSERT_TRUE(
        VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
        << key;
    EXPECT_STREQ(value, "1, 0, 0, 1") << key;
  }
}

TEST(DialogTemplate, IconIsOne16By16ImageIn16Colours) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(IDI_APP), MAKEINTRESOURCEA(14));
  ASSERT_NE(group, nullptr);
  const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
  WORD count;
  std::memcpy(&count, dir + 4, 2);
  ASSERT_EQ(count, 1);
  const BYTE* entry = dir + 6;
  EXPECT_EQ(entry[0], 16);  // width
  EXPECT_EQ(entry[1], 16);  // height
  EXPECT_EQ(entry[2], 16);  // colours
  WORD bits;
  std::memcpy(&bits, entry + 6, 2);
  EXPECT_EQ(bits, 4);
}

// ---- The window as created ----------------------------------------------

TEST_F(CalculatorDialog, WindowHasTheCaptionSizeAndFrameButNoIcon) {
  EXPECT_EQ(WindowText(dlg), kCaption);
  const LONG style = GetWindowLongA(dlg, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_TRUE(GetWindowLongA(dlg, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  RECT client;
  GetClientRect(dlg, &client);
  const RECT expected = DialogUnits(dlg, 0, 0, 364, 275);
  EXPECT_EQ(client.right, expected.right);
  EXPECT_EQ(client.bottom, expected.bottom);
  EXPECT_EQ(SendMessageA(dlg, WM_GETICON, ICON_SMALL, 0), 0);
  EXPECT_EQ(SendMessageA(dlg, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_EQ(GetMenu(dlg), nullptr);
}

TEST_F(CalculatorDialog, ControlsInTabOrderWithClassStylePositionAndSize) {
  HWND child = GetWindow(dlg, GW_CHILD);
  for (const ControlSpec& c : kControls) {
    SCOPED_TRACE(std::string(c.className) + " " + std::to_string(c.id));
    ASSERT_NE(child, nullptr);
    char cls[64] = "";
    GetClassNameA(child, cls, sizeof(cls));
    EXPECT_STRCASEEQ(cls, c.className);
    EXPECT_EQ(static_cast<short>(GetDlgCtrlID(child)), c.id);
    const DWORD style = GetWindowLongA(child, GWL_STYLE);
    // The edit control turns its border into a client edge of its own; a
    // combo box hands its scroll bar to its list.
    DWORD checked = ~DWORD(0);
    if (std::strcmp(c.className, "Edit") == 0) checked = ~DWORD(WS_BORDER);
    if (std::strcmp(c.className, "ComboBox") == 0) checked = ~DWORD(WS_VSCROLL);
    EXPECT_EQ(style & checked, c.style & checked);
    const DWORD edges = GetWindowLongA(child, GWL_EXSTYLE) & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE);
    if (c.id == IDC_CODE) {
      EXPECT_EQ(edges, DWORD(WS_EX_CLIENTEDGE));
    } else {
      EXPECT_EQ(edges, c.exStyle);
    }

    const RECT want = DialogUnits(dlg, c.x, c.y, c.cx, c.cy);
    const RECT got = RectInDialog(dlg, child);
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    if (std::strcmp(c.className, "ComboBox") == 0) {
      // The template gives the dropped-down height.
      EXPECT_EQ(got.right, want.right);
      RECT dropped;
      SendMessageA(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
      MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&dropped), 2);
      // Wine's list runs to the template's height less about one selection field.
      EXPECT_EQ(dropped.top, want.top);
      EXPECT_NEAR(dropped.bottom, want.bottom, (got.bottom - got.top) + 4);
    } else if (c.id != IDC_LOGO) {  // the picture takes the bitmap's own size
      EXPECT_EQ(got.right, want.right);
      EXPECT_EQ(got.bottom, want.bottom);
    }
    if (c.text && c.id != IDC_ERROR && c.id != IDC_CODE && std::strcmp(c.className, "ComboBox")) {
      EXPECT_EQ(WindowText(child), c.text);
    }
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr) << "more than 22 controls";
}

TEST_F(CalculatorDialog, LogoShowsBitmap130At131By57In24Bits) {
  HBITMAP bitmap =
      reinterpret_cast<HBITMAP>(SendDlgItemMessageA(dlg, IDC_LOGO, STM_GETIMAGE, IMAGE_BITMAP, 0));
  ASSERT_NE(bitmap, nullptr);
  BITMAP info{};
  ASSERT_TRUE(GetObjectA(bitmap, sizeof(info), &info));
  EXPECT_EQ(info.bmWidth, 131);
  EXPECT_EQ(info.bmHeight, 57);
  HBITMAP stored = static_cast<HBITMAP>(
      LoadImageA(g_hInstance, MAKEINTRESOURCEA(IDB_LOGO), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ASSERT_NE(stored, nullptr);
  DIBSECTION dib{};
  ASSERT_TRUE(GetObjectA(stored, sizeof(dib), &dib));
  EXPECT_EQ(dib.dsBmih.biBitCount, 24);
  DeleteObject(stored);
}

// ---- Lists, defaults and tooltips ---------------------------------------

TEST_F(CalculatorDialog, ListsHoldTheOptionsInOrder) {
  // clang-format off
  const struct { int id; std::vector<std::string> items; } lists[] = {
      {IDC_FOSC,     {"11.0592", "12", "18.432", "22.1184", "24"}},
      {IDC_BAUD,     {"1200", "2400", "4800", "9600", "14400", "19200", "28800", "38400", "57600", "115200"}},
      {IDC_UART,     {"串口1 (UART)", "串口2 (UART2)"}},
      {IDC_DATABITS, {"8位数据", "9位数据"}},
      {IDC_BRGEN,    {"定时器1(8位重载)", "独立波特率发生器"}},
      {IDC_TCLK,     {"12T (Fosc/12)", "1T  (Fosc)"}},
  };
  // clang-format on
  for (const auto& list : lists) EXPECT_EQ(ListItems(Item(list.id)), list.items) << list.id;
}

TEST_F(CalculatorDialog, OpensWithTheDefaults) {
  EXPECT_EQ(BoxText(dlg, IDC_FOSC), "18.432");
  EXPECT_EQ(BoxText(dlg, IDC_BAUD), "9600");
  // clang-format off
  const struct { int id, index; } selected[] = {
      {IDC_FOSC, 2}, {IDC_BAUD, 3}, {IDC_UART, 0}, {IDC_DATABITS, 0}, {IDC_BRGEN, 0}, {IDC_TCLK, 1}};
  // clang-format on
  for (const auto& s : selected) EXPECT_EQ(Selection(dlg, s.id), s.index) << s.id;
  EXPECT_EQ(SendDlgItemMessageA(dlg, IDC_SMOD, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(ItemText(dlg, IDC_SMOD), "波特率倍速(SMOD)");
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_BRGEN)));
}

TEST_F(CalculatorDialog, ThirteenToolsOnTheControlsOwnWindows) {
  ASSERT_NE(g_hToolTip, nullptr);
  char cls[64] = "";
  GetClassNameA(g_hToolTip, cls, sizeof(cls));
  EXPECT_STREQ(cls, TOOLTIPS_CLASSA);
  EXPECT_EQ(GetWindow(g_hToolTip, GW_OWNER), dlg);
  EXPECT_TRUE(GetWindowLongA(g_hToolTip, GWL_STYLE) & TTS_NOPREFIX);
  EXPECT_TRUE(GetWindowLongA(g_hToolTip, GWL_STYLE) & TTS_ALWAYSTIP);
  EXPECT_TRUE(GetWindowLongA(g_hToolTip, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(SendMessageA(g_hToolTip, TTM_GETMAXTIPWIDTH, 0, 0), 512);
  EXPECT_EQ(SendMessageA(g_hToolTip, TTM_GETTOOLCOUNT, 0, 0), 13);
  for (const auto& tool : kToolTexts) {
    SCOPED_TRACE(tool.id);
    char text[512] = "";
    TOOLINFOA info{};
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.hwnd = dlg;
    info.uId = reinterpret_cast<UINT_PTR>(Item(tool.id));
    info.lpszText = text;
    ASSERT_TRUE(SendMessageA(g_hToolTip, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&info)));
    EXPECT_EQ(info.uFlags & (TTF_IDISHWND | TTF_SUBCLASS), UINT(TTF_IDISHWND | TTF_SUBCLASS));
    EXPECT_STREQ(text, tool.text);
  }
}

// Points at a control and waits for the tooltip to show the given text;
// returns the tip's height, or 0 if it did not show.
int ShowTip(HWND control, const char* text) {
  RECT r;
  GetWindowRect(control, &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  // The subclassed control relays the mouse to the tooltip, which shows
  // after its initial delay.
  SendMessageA(control, WM_MOUSEMOVE, 0,
               MAKELPARAM((r.right - r.left) / 2, (r.bottom - r.top) / 2));
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 5000) {
    PumpMessages(50);
    if (IsWindowVisible(g_hToolTip) && WindowText(g_hToolTip) == text) {
      RECT tip;
      GetWindowRect(g_hToolTip, &tip);
      return tip.bottom - tip.top;
    }
  }
  return 0;
}

TEST_F(CalculatorDialog, TooltipsAppearAndBreakTheirLines) {
  ASSERT_NE(g_hToolTip, nullptr);
  const int oneLine = ShowTip(Item(IDC_COPY), "复制参考代码到剪贴板");
  EXPECT_GT(oneLine, 0);
  // Three lines of text make a tip well over twice as tall as one line.
  const int threeLines = ShowTip(Item(IDC_TCLK), kToolTexts[3].text);
  EXPECT_GT(threeLines, 2 * oneLine - 8);
  SetCursorPos(0, 0);
}

// ---- Generate -----------------------------------------------------------

TEST_F(CalculatorDialog, OpensWithTheCRoutineForTheDefaults) {
  EXPECT_EQ(ItemText(dlg, IDC_CODE), kDefaultRoutineC);
  EXPECT_EQ(ItemText(dlg, IDC_CODE), ExpectedRoutine(dlg, Dialect::C));
  EXPECT_EQ(ItemText(dlg, IDC_ERROR), "0.00%");
}

TEST_F(CalculatorDialog, GenerateAsmReplacesTheRoutine) {
  Click(IDC_GEN_ASM);
  const std::string pane = ItemText(dlg, IDC_CODE);
  EXPECT_EQ(pane, ExpectedRoutine(dlg, Dialect::Asm));
  EXPECT_EQ(pane.rfind(";请用实际行动支持砾衡ZQL大陆本土MCU统一全球市场\r\n\r\nUARTINIT:\t\t\t;"
                       "9600bps@18.432MHz\r\n",
                       0),
            0u);
  EXPECT_NE(pane.find("\tMOV TH1,#0C4H\t\t;设定定时器重装值\r\n"), std::string::npos);
  EXPECT_EQ(pane.substr(pane.size() - 6), "\tRET\r\n");
  EXPECT_EQ(ItemText(dlg, IDC_ERROR), "0.00%");
  Click(IDC_GEN_C);
  EXPECT_EQ(ItemText(dlg, IDC_CODE), kDefaultRoutineC);
}

// Every setting reaches the routine: the window reads each control.
TEST_F(CalculatorDialog, GenerateReadsEverySetting) {
  // clang-format off
  const struct {
    const char* fosc; const char* baud; bool doubling; int uart, bits, brgen, tclk; int button;
    const char* error; const char* line;
  } cases[] = {
      {"22.1184", "19200", false, 0, 0, 0, 1, IDC_GEN_ASM, "0.00%", "\tMOV TL1,#0DCH\t\t;设定定时初值\r\n"},
      {"11.0592", "115200", true, 1, 1, 1, 0, IDC_GEN_C, "50.00%", "\tBRT = 0xFF;\t\t//设定独立波特率发生器重装值\r\n"},
      {"11.0592", "115200", true, 1, 1, 1, 0, IDC_GEN_ASM, "50.00%", "\tORL AUXR,#08H\t\t;使能波特率倍速位S2SMOD\r\n"},
      {"12", "4800", false, 0, 1, 1, 0, IDC_GEN_C, "6.99%", "\tAUXR |= 0x01;\t\t//串口1选择独立波特率发生器为波特率发生器\r\n"},
      {"33.1776", "250000", true, 0, 0, 0, 1, IDC_GEN_C, nullptr, "void UartInit(void)\t\t//250000bps@33.1776MHz\r\n"},
      {"18.432", "0x2580", false, 0, 0, 0, 1, IDC_GEN_C, "0.00%", "//0x2580bps@18.432MHz\r\n"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.fosc) + " " + c.baud);
    SetBox(IDC_FOSC, c.fosc);
    SetBox(IDC_BAUD, c.baud);
    SendDlgItemMessageA(dlg, IDC_SMOD, BM_SETCHECK, c.doubling ? BST_CHECKED : BST_UNCHECKED, 0);
    SendDlgItemMessageA(dlg, IDC_UART, CB_SETCURSEL, c.uart, 0);
    SendDlgItemMessageA(dlg, IDC_DATABITS, CB_SETCURSEL, c.bits, 0);
    SendDlgItemMessageA(dlg, IDC_BRGEN, CB_SETCURSEL, c.brgen, 0);
    SendDlgItemMessageA(dlg, IDC_TCLK, CB_SETCURSEL, c.tclk, 0);
    const MessageBoxSeen box = ClickWatchingBoxes(c.button);
    EXPECT_EQ(box.count, 0);
    const std::string pane = ItemText(dlg, IDC_CODE);
    EXPECT_EQ(pane, ExpectedRoutine(dlg, c.button == IDC_GEN_C ? Dialect::C : Dialect::Asm));
    EXPECT_NE(pane.find(c.line), std::string::npos);
    const std::string fosc = BoxText(dlg, IDC_FOSC), baud = BoxText(dlg, IDC_BAUD);
    const ReloadResult r = ComputeReload(fosc.c_str(), baud.c_str(), c.doubling, c.tclk);
    EXPECT_EQ(ItemText(dlg, IDC_ERROR), r.error);
    if (c.error) {
      EXPECT_EQ(ItemText(dlg, IDC_ERROR), c.error);
    }
  }
}

TEST_F(CalculatorDialog, RefusalShowsTheBoxAndLeavesPaneAndErrorAlone) {
  Click(IDC_GEN_ASM);
  const std::string pane = ItemText(dlg, IDC_CODE);
  SetBox(IDC_FOSC, "11.0592");
  SetBox(IDC_BAUD, "115200");
  SendDlgItemMessageA(dlg, IDC_TCLK, CB_SETCURSEL, 0, 0);  // 12T, no doubling
  for (int button : {IDC_GEN_C, IDC_GEN_ASM}) {
    SCOPED_TRACE(button);
    const MessageBoxSeen box = ClickWatchingBoxes(button);
    EXPECT_EQ(box.count, 1);
    EXPECT_EQ(box.text, "当前的设定无法产生指定的波特率 !");
    EXPECT_EQ(box.caption, "波特率计算器");
    EXPECT_EQ(box.owner, dlg);
    EXPECT_TRUE(box.onlyOk);
    EXPECT_EQ(ItemText(dlg, IDC_CODE), pane);
    EXPECT_EQ(ItemText(dlg, IDC_ERROR), "0.00%");
    EXPECT_TRUE(IsWindowVisible(dlg));
  }
}

TEST_F(CalculatorDialog, GenerateLeavesThePaneScrolledToItsEnd) {
  // A pane a few lines high, so that the routine does not fit.
  RECT r = RectInDialog(dlg, Item(IDC_CODE));
  SetWindowPos(Item(IDC_CODE), nullptr, 0, 0, r.right - r.left, 80, SWP_NOMOVE | SWP_NOZORDER);
  for (int button : {IDC_GEN_C, IDC_GEN_ASM}) {
    SCOPED_TRACE(button);
    SendDlgItemMessageA(dlg, IDC_CODE, WM_VSCROLL, SB_TOP, 0);
    Click(button);
    HWND pane = Item(IDC_CODE);
    const int lines = static_cast<int>(SendMessageA(pane, EM_GETLINECOUNT, 0, 0));
    EXPECT_GT(SendMessageA(pane, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    // The routine's last line ("}" or RET, before the final empty line) is in view.
    const LRESULT last = SendMessageA(pane, EM_LINEINDEX, lines - 2, 0);
    const LRESULT pos = SendMessageA(pane, EM_POSFROMCHAR, last, 0);
    RECT client;
    GetClientRect(pane, &client);
    const short y = static_cast<short>(HIWORD(pos));
    EXPECT_GE(y, 0);
    EXPECT_LT(y, client.bottom);
    DWORD end = 0;
    SendMessageA(pane, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(end, static_cast<DWORD>(SendMessageA(pane, EM_LINEINDEX, lines - 1, 0)));
  }
}

// ---- Port rule ----------------------------------------------------------

TEST_F(CalculatorDialog, SecondPortForcesTheIndependentGeneratorFirstPortFreesIt) {
  SendDlgItemMessageA(dlg, IDC_SMOD, BM_SETCHECK, BST_CHECKED, 0);
  const std::string pane = ItemText(dlg, IDC_CODE);

  Choose(IDC_UART, 1);
  EXPECT_EQ(ItemText(dlg, IDC_SMOD), "波特率倍速(S2SMOD)");
  EXPECT_EQ(Selection(dlg, IDC_BRGEN), 1);
  EXPECT_FALSE(IsWindowEnabled(Item(IDC_BRGEN)));
  EXPECT_EQ(SendDlgItemMessageA(dlg, IDC_SMOD, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(ItemText(dlg, IDC_CODE), pane);  // not regenerated

  Choose(IDC_UART, 0);
  EXPECT_EQ(ItemText(dlg, IDC_SMOD), "波特率倍速(SMOD)");
  EXPECT_EQ(Selection(dlg, IDC_BRGEN), 1);  // left where it was
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_BRGEN)));
  EXPECT_EQ(SendDlgItemMessageA(dlg, IDC_SMOD, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(ItemText(dlg, IDC_CODE), pane);
}

TEST_F(CalculatorDialog, PortRuleFollowsAKeyboardChoiceInTheList) {
  SetFocus(Item(IDC_UART));
  SendMessageA(Item(IDC_UART), WM_KEYDOWN, VK_DOWN, 0);
  PumpMessages(20);
  EXPECT_EQ(Selection(dlg, IDC_UART), 1);
  EXPECT_EQ(ItemText(dlg, IDC_SMOD), "波特率倍速(S2SMOD)");
  EXPECT_FALSE(IsWindowEnabled(Item(IDC_BRGEN)));
}

// ---- Copy ---------------------------------------------------------------

TEST_F(CalculatorDialog, CopyPutsThePaneOnTheClipboard) {
  SetClipboardText("sentinel");
  Click(IDC_COPY);
  EXPECT_EQ(ClipboardText(), std::optional<std::string>(kDefaultRoutineC));
  EXPECT_EQ(GetClipboardOwner(), dlg);

  const std::string edited = "// 用户改过的代码\r\n\tTH1 = 0xAA;\r\n";
  SetBox(IDC_CODE, edited);
  Click(IDC_COPY);
  EXPECT_EQ(ClipboardText(), std::optional<std::string>(edited));

  SetBox(IDC_CODE, "");
  Click(IDC_COPY);
  EXPECT_EQ(ClipboardText(), std::optional<std::string>(""));
}

TEST_F(CalculatorDialog, CopyWhileTheClipboardIsHeldDoesNothing) {
  SetClipboardText("held");
  std::atomic<bool> opened{false}, release{false};
  std::thread holder([&] {
    // Another program's window holds the clipboard open.
    HWND owner =
        CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    opened = OpenClipboard(owner) != FALSE;
    while (!release) Sleep(5);
    if (opened) CloseClipboard();
    DestroyWindow(owner);
  });
  while (!opened) Sleep(5);
  Click(IDC_COPY);
  release = true;
  holder.join();
  EXPECT_EQ(ClipboardText(), std::optional<std::string>("held"));
}

// ---- Keys, ignored commands and closing ---------------------------------

struct Snapshot {
  std::string pane, error, smodLabel;
  int brgen;
  bool brgenEnabled, visible;
  DWORD clipboard;
  bool operator==(const Snapshot& o) const {
    return pane == o.pane && error == o.error && smodLabel == o.smodLabel && brgen == o.brgen &&
           brgenEnabled == o.brgenEnabled && visible == o.visible && clipboard == o.clipboard;
  }
};

Snapshot Take(HWND dlg) {
  return {ItemText(dlg, IDC_CODE),
          ItemText(dlg, IDC_ERROR),
          ItemText(dlg, IDC_SMOD),
          Selection(dlg, IDC_BRGEN),
          IsWindowEnabled(GetDlgItem(dlg, IDC_BRGEN)) != FALSE,
          IsWindowVisible(dlg) != FALSE,
          GetClipboardSequenceNumber()};
}

TEST_F(CalculatorDialog, OtherCommandsAndNotificationsAreIgnored) {
  // Settings that any generate, port rule or copy would show at once.
  SetBox(IDC_BAUD, "19200");
  SendDlgItemMessageA(dlg, IDC_SMOD, BM_SETCHECK, BST_CHECKED, 0);
  SendDlgItemMessageA(dlg, IDC_UART, CB_SETCURSEL, 1, 0);
  const Snapshot before = Take(dlg);
  // clang-format off
  const struct { int id, code; } commands[] = {
      {IDOK, 0}, {IDOK, BN_CLICKED}, {IDC_ERROR, STN_CLICKED}, {IDC_ERROR, STN_DBLCLK},
      {IDC_FOSC, CBN_EDITCHANGE}, {IDC_FOSC, CBN_SELCHANGE}, {IDC_BAUD, CBN_SELCHANGE},
      {IDC_BAUD, CBN_EDITUPDATE}, {IDC_DATABITS, CBN_SELCHANGE}, {IDC_BRGEN, CBN_SELCHANGE},
      {IDC_TCLK, CBN_SELCHANGE}, {IDC_SMOD, BN_CLICKED}, {IDC_CODE, EN_CHANGE},
      {IDC_CODE, EN_UPDATE}, {IDC_UART, CBN_DROPDOWN}, {IDC_UART, CBN_SELENDOK},
      {IDC_UART, CBN_CLOSEUP}, {IDD_CALCULATOR, 0}, {999, 0},
  };
  // clang-format on
  for (const auto& c : commands) {
    Command(c.id, c.code);
    EXPECT_TRUE(Take(dlg) == before) << "command " << c.id << " code " << c.code;
  }
  // A real click on the error display, which notifies its parent.
  SendDlgItemMessageA(dlg, IDC_ERROR, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  SendDlgItemMessageA(dlg, IDC_ERROR, WM_LBUTTONUP, 0, 0);
  SendDlgItemMessageA(dlg, IDC_ERROR, WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
  EXPECT_TRUE(Take(dlg) == before);
}

// Enter goes through the dialog manager the way a key press does.
bool PressKey(HWND dlg, HWND focus, WPARAM key) {
  SetFocus(focus);
  MSG msg{GetFocus(), WM_KEYDOWN, key, 1, GetTickCount(), {}};
  const bool handled = IsDialogMessageA(dlg, &msg) != FALSE;
  if (!handled) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  PumpMessages(20);
  return handled;
}

TEST_F(CalculatorDialog, EnterOutsideThePaneDoesNothing) {
  const Snapshot before = Take(dlg);
  EXPECT_TRUE(PressKey(dlg, Item(IDC_FOSC), VK_RETURN));
  EXPECT_TRUE(Take(dlg) == before);
  EXPECT_TRUE(PressKey(dlg, Item(IDC_TCLK), VK_RETURN));
  EXPECT_TRUE(Take(dlg) == before);
}

TEST_F(CalculatorDialog, EnterInThePaneStartsANewLine) {
  HWND pane = Item(IDC_CODE);
  SetBox(IDC_CODE, "ab");
  SetFocus(pane);
  SendMessageA(pane, EM_SETSEL, 1, 1);
  PressKey(dlg, pane, VK_RETURN);
  EXPECT_EQ(ItemText(dlg, IDC_CODE), "a\r\nb");
  EXPECT_TRUE(IsWindowVisible(dlg));
}

// Each way out ends the dialog (which, created modeless here, only hides).
TEST_F(CalculatorDialog, ExitButtonEscapeAndCloseEndTheDialog) {
  const std::function<void(CalculatorDialog*)> ways[] = {
      [](CalculatorDialog* t) { t->Click(IDCANCEL); },
      [](CalculatorDialog* t) { PressKey(t->dlg, t->Item(IDC_TCLK), VK_ESCAPE); },
      [](CalculatorDialog* t) { SendMessageA(t->dlg, WM_CLOSE, 0, 0); },
      [](CalculatorDialog* t) { SendMessageA(t->dlg, WM_SYSCOMMAND, SC_CLOSE, 0); },
  };
  int n = 0;
  for (const auto& way : ways) {
    SCOPED_TRACE(n++);
    ShowWindow(dlg, SW_SHOW);
    ASSERT_TRUE(IsWindowVisible(dlg));
    way(this);
    PumpMessages(20);
    EXPECT_FALSE(IsWindowVisible(dlg));
  }
}

// ---- Bad input ----------------------------------------------------------

TEST_F(CalculatorDialog, AnythingTypedGivesARoutineOrTheRefusal) {
  const std::string big(300, '9');
  // clang-format off
  const std::vector<std::pair<std::string, std::string>> inputs = {
      {"", ""}, {"", "9600"}, {"18.432", ""}, {" ", " "},
      {std::string(255, '1'), "9600"}, {"18.432", std::string(255, '7')},
      {big, big}, {std::string(400, 'x'), std::string(400, 'y')},
      {"串口", "波特率"}, {std::string(200, '\xb2') + "工作频率", "9600"},
      {"1\x01\x02\x7f", "96\t00"}, {"18.432\r\n", "9600\r\n"},
      {"1e999", "9600"}, {"1d308", "9600"}, {"-1e999", "9600"}, {"1e-999", "9600"},
      {"18.432", "99999999999999999999"}, {"18.432", "-9600"}, {"18.432", "4294967296"},
      {"nan", "inf"}, {"0x12", "0x2580"}, {"0", "0"}, {"18.432", "1"},
      {"%s%s%s%n", "%n%n%n%s"}, {"18.432", "9600%s%n%x"},
  };
  // clang-format on
  for (const auto& [fosc, baud] : inputs) {
    for (int button : {IDC_GEN_C, IDC_GEN_ASM}) {
      SCOPED_TRACE("fosc \"" + fosc.substr(0, 20) + "\" baud \"" + baud.substr(0, 20) + "\"");
      // A distinct starting pane shows whether the pane was rebuilt.
      SetBox(IDC_CODE, "before");
      SetBox(IDC_ERROR, "?");
      SetBox(IDC_FOSC, fosc);
      SetBox(IDC_BAUD, baud);
      const std::string expected =
          ExpectedRoutine(dlg, button == IDC_GEN_C ? Dialect::C : Dialect::Asm);
      const MessageBoxSeen box = ClickWatchingBoxes(button);
      ASSERT_TRUE(IsWindow(dlg));
      if (expected == "(refused)") {
        EXPECT_EQ(box.count, 1);
        EXPECT_EQ(box.text, kRefusalText);
        EXPECT_EQ(ItemText(dlg, IDC_CODE), "before");
        EXPECT_EQ(ItemText(dlg, IDC_ERROR), "?");
      } else {
        EXPECT_EQ(box.count, 0);
        EXPECT_EQ(ItemText(dlg, IDC_CODE), expected);
        EXPECT_NE(ItemText(dlg, IDC_ERROR), "?");
      }
    }
  }
}

TEST(AppendCode, FormatsAppendsAndClears) {
  g_hInstance = GetModuleHandleA(nullptr);
  HWND dlg = CreateDialogParamA(g_hInstance, MAKEINTRESOURCEA(IDD_CALCULATOR), nullptr,
                                CalculatorDlgProc, 0);
  ASSERT_NE(dlg, nullptr);
  AppendCode(dlg, nullptr);
  EXPECT_EQ(ItemText(dlg, IDC_CODE), "");
  AppendCode(dlg, "%sbps@", "9600");
  AppendCode(dlg, "0x%02X\r\n", 7);
  AppendCode(dlg, "无参数\r\n");
  EXPECT_EQ(ItemText(dlg, IDC_CODE), "9600bps@0x07\r\n无参数\r\n");
  // More than the 1024-byte buffer: cut short, never overrun.
  const std::string long_text(3000, 'z');
  AppendCode(dlg, nullptr);
  AppendCode(dlg, "%s", long_text.c_str());
  EXPECT_EQ(ItemText(dlg, IDC_CODE), std::string(1023, 'z'));
  // Appending goes to the end even when the user left the caret elsewhere.
  SendDlgItemMessageA(dlg, IDC_CODE, EM_SETSEL, 0, 0);
  AppendCode(dlg, "!");
  EXPECT_EQ(ItemText(dlg, IDC_CODE), std::string(1023, 'z') + "!");
  DestroyWindow(dlg);
}

}  // namespace
