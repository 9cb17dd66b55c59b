// Helpers shared by the window tests: reading controls, the clipboard and the
// refusal message box, in this process or in another one.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The window's caption (GBK), as the program shows it.
extern const char kCaption[];

// WM_GETTEXT into a buffer large enough for any text the window holds.
std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);
// WM_GETTEXT into a 256-byte buffer: what the window itself reads from a box.
std::string BoxText(HWND dialog, int id);
// The list of a combo box, item by item, as GBK.
std::vector<std::string> ListItems(HWND combo);
int Selection(HWND dialog, int id);
// A control's rectangle in the dialog's client coordinates.
RECT RectInDialog(HWND dialog, HWND control);
// Dialog units to pixels, as the dialog itself maps them.
RECT DialogUnits(HWND dialog, int x, int y, int cx, int cy);

std::optional<std::string> ClipboardText();
void SetClipboardText(const std::string& text);

// A message box seen while an action ran.
struct MessageBoxSeen {
  int count = 0;  // how many boxes were dismissed
  std::string caption;
  std::string text;
  HWND owner = nullptr;
  bool onlyOk = false;  // an OK button and no other choice
};

// Runs action (which may block inside a modal message box) while a second
// thread watches the windows of thread `thread` for a message box other than
// `dialog`, records it and presses its OK button.
MessageBoxSeen RunDismissingBoxes(DWORD thread, HWND dialog, const std::function<void()>& action);

// Runs the queued messages of this thread for a while.
void PumpMessages(DWORD milliseconds);
