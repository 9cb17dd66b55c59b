// What baudcalc prints: the routine in the chosen encoding and line ends, the
// JSON results and the table of reload values, all built on the calc core.
#pragma once

#include <string>
#include <vector>

#include "calc/codegen.h"
#include "calc/reload.h"
#include "calc/settings.h"

enum class Encoding { kUtf8, kGbk };
enum class LineEnd { kCrLf, kLf };

// One of the core's GBK texts as UTF-8. False for a character the core's
// texts do not use.
bool GbkToUtf8(const std::string& gbk, std::string* utf8);

// One of the program's own GBK texts in the chosen encoding and line ends.
bool ConvertFixedText(const char* gbk, Encoding encoding, LineEnd eol, std::string* out);

// The routine as the window's code pane would hold it. Only the fixed text of
// each fragment is converted; the two setting texts go in byte for byte.
bool RenderRoutine(Dialect dialect, const UartSettings& settings, int reload, Encoding encoding,
                   LineEnd eol, std::string* out);

// The reload value as the routine writes it: two upper-case hex digits.
std::string ReloadHex(int reload);

// JSON documents end with a newline. Texts that are not UTF-8 (the user's
// own bytes) come out with U+FFFD in place of the bad bytes.
std::string ResultJson(const ReloadResult& result, const std::string& codeUtf8);
std::string RefusalJson(const std::string& messageUtf8);

// The four ways of clocking the baud-rate timer, compared side by side.
struct TableColumn {
  const char* title;  // "12T+SMOD"
  const char* clock;  // "12t" or "1t", as --clock spells it
  bool smod;
  int tclk;  // list index: 0 is 12T
};
constexpr int kTableColumns = 4;
extern const TableColumn kTableColumn[kTableColumns];

struct TableRow {
  std::string baud;
  ReloadResult cells[kTableColumns];
};

// One row for each listed baud rate, at the given frequency.
std::vector<TableRow> ComputeTable(const char* fosc);
std::string TableText(const std::vector<TableRow>& rows);
std::string TableJson(const std::string& fosc, const std::vector<TableRow>& rows);
