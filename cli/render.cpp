#include "render.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::ordered_json;

std::string Dump(const Json& json) {
  return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string WithLf(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

Json CellJson(const ReloadResult& r) {
  if (!r.accepted) return Json{{"accepted", false}};
  return Json{{"accepted", true},
              {"reload", r.reload},
              {"reload_hex", ReloadHex(r.reload)},
              {"error", r.error},
              {"actual_baud", r.actualBaud}};
}

std::string CellText(const ReloadResult& r) {
  if (!r.accepted) return "-";
  return ReloadHex(r.reload) + " " + r.error;
}

}  // namespace

// clang-format off
const TableColumn kTableColumn[kTableColumns] = {
    {"12T",      "12t", false, 0},
    {"12T+SMOD", "12t", true,  0},
    {"1T",       "1t",  false, 1},
    {"1T+SMOD",  "1t",  true,  1},
};
// clang-format on

bool ConvertFixedText(const char* gbk, Encoding encoding, LineEnd eol, std::string* out) {
  std::string text = gbk;
  if (encoding == Encoding::kUtf8 && !GbkToUtf8(text, &text)) return false;
  *out = eol == LineEnd::kLf ? WithLf(text) : text;
  return true;
}

bool RenderRoutine(Dialect dialect, const UartSettings& settings, int reload, Encoding encoding,
                   LineEnd eol, std::string* out) {
  Fragment fragments[kMaxFragments];
  const int count = GenerateCode(dialect, settings, reload, fragments);
  std::string routine;
  for (int i = 0; i < count; ++i) {
    // A GBK trail byte is never '%', '\r' or '\n', so the converted format
    // keeps its placeholder and the argument goes in untouched.
    std::string format;
    if (!ConvertFixedText(fragments[i].format, encoding, eol, &format)) return false;
    Fragment converted = fragments[i];
    converted.format = format.c_str();
    const int n = FormatFragment(converted, nullptr, 0);
    if (n < 0) return false;
    std::string piece(static_cast<std::size_t>(n) + 1, '\0');
    FormatFragment(converted, &piece[0], piece.size());
    piece.resize(static_cast<std::size_t>(n));
    routine += piece;
  }
  *out = routine;
  return true;
}

std::string ReloadHex(int reload) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(reload) & 0xFFu);
  return hex;
}

std::string ResultJson(const ReloadResult& result, const std::string& codeUtf8) {
  Json json = CellJson(result);
  json["code"] = codeUtf8;
  return Dump(json);
}

std::string RefusalJson(const std::string& messageUtf8) {
  return Dump(Json{{"accepted", false}, {"message", messageUtf8}});
}

std::vector<TableRow> ComputeTable(const char* fosc) {
  const char* bauds[32];
  const int count = OptionTexts(IDC_BAUD, bauds, 32);
  std::vector<TableRow> rows;
  for (int i = 0; i < count; ++i) {
    TableRow row;
    row.baud = bauds[i];
    for (int c = 0; c < kTableColumns; ++c)
      row.cells[c] = ComputeReload(fosc, bauds[i], kTableColumn[c].smod, kTableColumn[c].tclk);
    rows.push_back(row);
  }
  return rows;
}

std::string TableText(const std::vector<TableRow>& rows) {
  const char* kBaudTitle = "baud";
  std::size_t baudWidth = std::char_traits<char>::length(kBaudTitle);
  std::size_t cellWidth = 0;
  for (const TableColumn& column : kTableColumn)
    cellWidth = std::max(cellWidth, std::char_traits<char>::length(column.title));
  for (const TableRow& row : rows) {
    baudWidth = std::max(baudWidth, row.baud.size());
    for (const ReloadResult& cell : row.cells)
      cellWidth = std::max(cellWidth, CellText(cell).size());
  }

  // Two blanks between columns, none after the last.
  auto line = [&](const std::string& first, const std::string(&cells)[kTableColumns]) {
    std::string text = first + std::string(baudWidth - first.size() + 2, ' ');
    for (int c = 0; c < kTableColumns; ++c) {
      text += cells[c];
      if (c + 1 < kTableColumns) text += std::string(cellWidth - cells[c].size() + 2, ' ');
    }
    return text + "\n";
  };

  std::string titles[kTableColumns];
  for (int c = 0; c < kTableColumns; ++c) titles[c] = kTableColumn[c].title;
  std::string text = line(kBaudTitle, titles);
  for (const TableRow& row : rows) {
    std::string cells[kTableColumns];
    for (int c = 0; c < kTableColumns; ++c) cells[c] = CellText(row.cells[c]);
    text += line(row.baud, cells);
  }
  return text;
}

std::string TableJson(const std::string& fosc, const std::vector<TableRow>& rows) {
  Json columns = Json::array();
  for (const TableColumn& column : kTableColumn)
    columns.push_back(Json{{"clock", column.clock}, {"smod", column.smod}});
  Json jsonRows = Json::array();
  for (const TableRow& row : rows) {
    Json cells = Json::array();
    for (const ReloadResult& cell : row.cells) cells.push_back(CellJson(cell));
    jsonRows.push_back(Json{{"baud", row.baud}, {"cells", cells}});
  }
  return Dump(Json{{"fosc", fosc}, {"columns", columns}, {"rows", jsonRows}});
}
