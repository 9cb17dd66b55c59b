#include "calculator.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdarg>
#include <cstdio>

#include "calc/codegen.h"
#include "calc/reload.h"
#include "calc/settings.h"
#include "res/resource.h"

HINSTANCE g_hInstance;
HWND g_hToolTip;

const char kMakerDocumentUrl[] = "http://www.zql-mcu.example/ZQL-MCU-AD.PDF";

namespace {

constexpr int kTextSize = 256;  // a box's text: at most 255 bytes

void CreateToolTips(HWND hDlg) {
  // Without this the tooltip class may not be registered and no tip ever shows.
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);

  g_hToolTip =
      CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                      WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, hDlg, nullptr, g_hInstance, nullptr);
  if (!g_hToolTip) return;
  // A maximum width makes the tooltip break its lines at "\n".
  SendMessageA(g_hToolTip, TTM_SETMAXTIPWIDTH, 0, 512);
  char text[kTextSize];
  for (int id = IDC_FIRST_TOOL; id <= IDC_LAST_TOOL; ++id) {
    LoadStringA(g_hInstance, id, text, kTextSize - 1);
    HWND control = GetDlgItem(hDlg, id);
    TOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hDlg;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    GetClientRect(control, &tool.rect);
    tool.hinst = g_hInstance;
    tool.lpszText = text;  // the tooltip keeps its own copy
    tool.lParam = 0;
    SendMessageA(g_hToolTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void FillLists(HWND hDlg) {
  int control = 0;
  for (const std::uintptr_t* entry = OptionTable; *entry != 0; ++entry) {
    if (IsOptionControl(*entry))
      control = static_cast<int>(*entry);
    else
      SendDlgItemMessageA(hDlg, control, CB_ADDSTRING, 0, static_cast<LPARAM>(*entry));
  }
  for (const DefaultSelection& selection : DefaultSelections)
    SendDlgItemMessageA(hDlg, selection.control, CB_SETCURSEL, selection.index, 0);
}

void InitCalculator(HWND hDlg) {
  CreateToolTips(hDlg);
  FillLists(hDlg);
  SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_GEN_C, 0), 0);
}

int SelectedIndex(HWND hDlg, int control) {
  return static_cast<int>(SendDlgItemMessageA(hDlg, control, CB_GETCURSEL, 0, 0));
}

void Generate(HWND hDlg, Dialect dialect) {
  char fosc[kTextSize] = "";
  char baud[kTextSize] = "";
  SendDlgItemMessageA(hDlg, IDC_FOSC, WM_GETTEXT, kTextSize, reinterpret_cast<LPARAM>(fosc));
  SendDlgItemMessageA(hDlg, IDC_BAUD, WM_GETTEXT, kTextSize, reinterpret_cast<LPARAM>(baud));
  const bool doubling = SendDlgItemMessageA(hDlg, IDC_SMOD, BM_GETCHECK, 0, 0) == BST_CHECKED;
  const int tclk = SelectedIndex(hDlg, IDC_TCLK);

  const ReloadResult result = ComputeReload(fosc, baud, doubling, tclk);
  if (!result.accepted) {
    MessageBoxA(hDlg, kRefusalText, kRefusalCaption, MB_OK);
    return;
  }
  SendDlgItemMessageA(hDlg, IDC_ERROR, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(result.error));

  AppendCode(hDlg, nullptr);
  const UartSettings settings{fosc,
                              baud,
                              doubling,
                              SelectedIndex(hDlg, IDC_UART),
                              SelectedIndex(hDlg, IDC_DATABITS),
                              SelectedIndex(hDlg, IDC_BRGEN),
                              tclk};
  Fragment fragments[kMaxFragments];
  const int count = GenerateCode(dialect, settings, result.reload, fragments);
  for (int i = 0; i < count; ++i) {
    const Fragment& f = fragments[i];
    switch (f.arg) {
      case Fragment::kText:
        AppendCode(hDlg, f.format, f.text);
        break;
      case Fragment::kReload:
        AppendCode(hDlg, f.format, f.reload);
        break;
      case Fragment::kNone:
        AppendCode(hDlg, f.format);
        break;
    }
  }
}

void ApplyPortChoice(HWND hDlg) {
  const PortRule rule = ApplyPortRule(SelectedIndex(hDlg, IDC_UART));
  SendDlgItemMessageA(hDlg, IDC_SMOD, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(rule.doublingLabel));
  if (rule.selectIndependentGenerator) SendDlgItemMessageA(hDlg, IDC_BRGEN, CB_SETCURSEL, 1, 0);
  EnableWindow(GetDlgItem(hDlg, IDC_BRGEN), rule.generatorEnabled);
}

void CopyCode(HWND hDlg) {
  // The dialog owns the clipboard: a clipboard emptied with no owner refuses
  // the data on Windows.
  if (!OpenClipboard(hDlg)) return;
  const LRESULT length = SendDlgItemMessageA(hDlg, IDC_CODE, WM_GETTEXTLENGTH, 0, 0);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, length + 1);
  if (!memory) {
    CloseClipboard();
    return;
  }
  if (char* text = static_cast<char*>(GlobalLock(memory))) {
    text[0] = '\0';
    SendDlgItemMessageA(hDlg, IDC_CODE, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text));
    GlobalUnlock(memory);
  }
  EmptyClipboard();
  // The clipboard owns the memory only once it has taken it.
  if (!SetClipboardData(CF_TEXT, memory)) GlobalFree(memory);
  CloseClipboard();
}

void OpenMakerDocument() {
  ShellExecuteA(nullptr, "open", kMakerDocumentUrl, nullptr, nullptr, SW_SHOWMAXIMIZED);
}

}  // namespace

void AppendCode(HWND hDlg, const char* format, ...) {
  if (!format) {
    SendDlgItemMessageA(hDlg, IDC_CODE, WM_SETTEXT, 0, 0);
    return;
  }
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof(buffer), format, args);
  va_end(args);
  buffer[sizeof(buffer) - 1] = '\0';

  const LRESULT end = SendDlgItemMessageA(hDlg, IDC_CODE, WM_GETTEXTLENGTH, 0, 0);
  SendDlgItemMessageA(hDlg, IDC_CODE, EM_SETSEL, end, -1);
  SendDlgItemMessageA(hDlg, IDC_CODE, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(buffer));
  SendDlgItemMessageA(hDlg, IDC_CODE, WM_VSCROLL, SB_BOTTOM, 0);
}

INT_PTR CALLBACK CalculatorDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      InitCalculator(hDlg);
      break;
    case WM_CLOSE:
      EndDialog(hDlg, 0);
      break;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_GEN_C:
          Generate(hDlg, Dialect::C);
          break;
        case IDC_GEN_ASM:
          Generate(hDlg, Dialect::Asm);
          break;
        case IDC_UART:
          if (HIWORD(wParam) == CBN_SELCHANGE) ApplyPortChoice(hDlg);
          break;
        case IDC_COPY:
          CopyCode(hDlg);
          break;
        case IDC_LOGO:  // click and double click alike
          OpenMakerDocument();
          break;
        case IDCANCEL:
          SendMessageA(hDlg, WM_CLOSE, 0, 0);
          break;
      }
      break;
  }
  return 0;
}
