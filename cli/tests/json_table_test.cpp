// baudcalc end to end: the JSON result and the table of reload values.
#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "calc/reload.h"
#include "calc/settings.h"
#include "run_tool.h"

namespace {

using nlohmann::json;

const std::string kRefusalUtf8 = "当前的设定无法产生指定的波特率 !";
const std::string kReplacement = "\xEF\xBF\xBD";  // U+FFFD

json ParseJson(const std::string& text) {
  json parsed = json::parse(text, nullptr, false);
  EXPECT_FALSE(parsed.is_discarded()) << Escaped(text);
  return parsed;
}

struct JsonCase {
  std::vector<std::string> args;
  int reload;
  const char* hex;
  const char* error;
  double actualBaud;
};

TEST(BaudcalcJson, AcceptedFields) {
  // clang-format off
  const JsonCase cases[] = {
      {{},                                                       196, "C4", "0.00%",  18432000.0 / 32 / 60},
      {{"--fosc", "11.0592", "--clock", "12t"},                  253, "FD", "0.00%",  9600},
      {{"--fosc", "11.0592", "--clock", "12t", "--baud", "57600"}, 255, "FF", "50.00%", 28800},
      {{"--fosc", "11.0592", "--clock", "12t", "--smod", "--baud", "1200"}, 208, "D0", "0.00%", 1200},
      {{"--fosc", "12", "--clock", "12t", "--baud", "1200"},     230, "E6", "0.16%",  12e6 / 12 / 32 / 26},
      {{"--fosc", "12", "--clock", "12t"},                       253, "FD", "8.51%",  12e6 / 12 / 32 / 3},
      {{"--fosc", "24", "--smod", "--baud", "115200"},           243, "F3", "0.16%",  48e6 / 32 / 13},
      {{"--fosc", "1.0656", "--clock", "12t", "--baud", "1200"}, 254, "FE", "15.63%", 1387.5},
      {{"--fosc", "1.1d1", "--baud", "0x2580", "--lang", "asm"}, 220, "DC", "0.54%",  11e6 / 32 / 36},
  };
  // clang-format on
  for (const JsonCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    std::vector<std::string> args = c.args;
    args.push_back("--json");
    const Outcome o = RunTool(args);
    ASSERT_TRUE(o.exited);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    const json j = ParseJson(o.out);
    EXPECT_EQ(j.size(), 6u);
    EXPECT_EQ(j.at("accepted"), true);
    EXPECT_EQ(j.at("reload"), c.reload);
    EXPECT_TRUE(j.at("reload").is_number_integer());
    EXPECT_EQ(j.at("reload_hex"), c.hex);
    EXPECT_EQ(j.at("error"), c.error);
    EXPECT_DOUBLE_EQ(j.at("actual_baud").get<double>(), c.actualBaud);
    // The code is what the plain run prints.
    EXPECT_EQ(j.at("code"), RunTool(c.args).out);
  }
}

TEST(BaudcalcJson, CodeIsUtf8WhateverTheEncodingWithTheChosenLineEnds) {
  const Outcome plain = RunTool({"--uart", "2", "--eol", "lf"});
  for (const char* encoding : {"utf-8", "gbk"}) {
    const Outcome o = RunTool({"--uart", "2", "--eol", "lf", "--json", "--encoding", encoding});
    ASSERT_TRUE(o.exited);
    EXPECT_EQ(o.status, 0);
    const json j = ParseJson(o.out);
    EXPECT_EQ(j.at("code"), plain.out) << encoding;
    EXPECT_EQ(j.at("code").get<std::string>().find('\r'), std::string::npos);
    EXPECT_NE(j.at("code").get<std::string>().find("\tAUXR |= 0x10;\t\t//启动独立波特率发生器\n"),
              std::string::npos);
  }
}

TEST(BaudcalcJson, Refusal) {
  for (const char* encoding : {"utf-8", "gbk"}) {
    const Outcome o = RunTool({"--fosc", "11.0592", "--clock", "12t", "--baud", "115200", "--json",
                               "--encoding", encoding});
    ASSERT_TRUE(o.exited);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(ParseJson(o.out), (json{{"accepted", false}, {"message", kRefusalUtf8}})) << encoding;
  }
}

TEST(BaudcalcJson, TextsThatAreNotUtf8StillGiveValidJson) {
  const Outcome o = RunTool({"--fosc", "18.432\xff", "--baud", "9600\xfe", "--json"});
  ASSERT_TRUE(o.exited);
  EXPECT_EQ(o.status, 0);
  const json j = ParseJson(o.out);
  EXPECT_EQ(j.at("reload"), 196);
  EXPECT_NE(j.at("code").get<std::string>().find("//9600" + kReplacement + "bps@18.432" +
                                                 kReplacement + "MHz\r\n"),
            std::string::npos)
      << Escaped(o.out);
}

// ---------------------------------------------------------------------------

// The columns as the table promises them: clock index (0 = 12T) and doubling.
struct Column {
  const char* title;
  int tclk;
  bool smod;
};
const Column kColumns[] = {
    {"12T", 0, false}, {"12T+SMOD", 0, true}, {"1T", 1, false}, {"1T+SMOD", 1, true}};

// A table line as (start column, text) pairs; cells are parted by two or more
// blanks, while a cell such as "FD 0.00%" holds one.
std::vector<std::pair<std::size_t, std::string>> Cells(const std::string& line) {
  std::vector<std::pair<std::size_t, std::string>> cells;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    if (i == line.size()) break;
    std::size_t end = line.find("  ", i);
    if (end == std::string::npos) end = line.size();
    cells.push_back({i, line.substr(i, end - i)});
    i = end;
  }
  return cells;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(text.substr(start, nl - start));
  EXPECT_EQ(start, text.size()) << "last line not ended";
  return lines;
}

std::vector<std::string> ListedBauds() {
  const char* texts[32];
  const int n = OptionTexts(IDC_BAUD, texts, 32);
  return std::vector<std::string>(texts, texts + n);
}

// Parsed table: row baud text -> its four cell texts; checks the layout.
std::vector<std::pair<std::string, std::vector<std::string>>> ParseTable(const std::string& text) {
  std::vector<std::pair<std::string, std::vector<std::string>>> rows;
  const std::vector<std::string> lines = Lines(text);
  if (lines.empty()) return rows;
  const auto header = Cells(lines[0]);
  EXPECT_EQ(header.size(), 5u) << lines[0];
  if (header.size() != 5u) return rows;
  EXPECT_EQ(header[0].second, "baud");
  for (int c = 0; c < 4; ++c) EXPECT_EQ(header[c + 1].second, kColumns[c].title);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const auto cells = Cells(lines[i]);
    EXPECT_EQ(cells.size(), 5u) << lines[i];
    if (cells.size() != 5u) continue;
    std::vector<std::string> texts;
    for (std::size_t c = 0; c < 5; ++c) {
      EXPECT_EQ(cells[c].first, header[c].first) << "misaligned: " << lines[i];
      if (c > 0) texts.push_back(cells[c].second);
    }
    EXPECT_NE(lines[i].back(), ' ') << "trailing blank: " << lines[i];
    rows.push_back({cells[0].second, texts});
  }
  return rows;
}

struct CellCase {
  const char* baud;
  int column;
  const char* text;
};

TEST(BaudcalcTable, HandCheckedCellsAt11_0592) {
  const Outcome o = RunTool({"--table", "--fosc", "11.0592"});
  ASSERT_TRUE(o.exited);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "");
  const auto rows = ParseTable(o.out);
  ASSERT_EQ(rows.size(), 10u);
  const std::vector<std::string> bauds = ListedBauds();
  for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].first, bauds[i]);

  // clang-format off
  const CellCase cases[] = {
      {"9600",   0, "FD 0.00%"},  {"115200", 0, "-"},         {"57600", 0, "FF 50.00%"},
      {"19200",  0, "FE 25.00%"}, {"1200",   1, "D0 0.00%"},  {"1200",  2, "-"},
      {"1200",   3, "-"},         {"2400",   2, "70 0.00%"},  {"115200", 3, "FA 0.00%"},
  };
  // clang-format on
  for (const CellCase& c : cases) {
    SCOPED_TRACE(std::string(c.baud) + " " + kColumns[c.column].title);
    bool found = false;
    for (const auto& row : rows)
      if (row.first == c.baud) {
        found = true;
        EXPECT_EQ(row.second[c.column], c.text);
      }
    EXPECT_TRUE(found);
  }
}

TEST(BaudcalcTable, EveryCellIsWhatTheCalculationGives) {
  for (const char* fosc : {"18.432", "22.1184", "3.579545", "40"}) {
    SCOPED_TRACE(fosc);
    const Outcome o = RunTool({"--table", "--fosc", fosc});
    const auto rows = ParseTable(o.out);
    ASSERT_EQ(rows.size(), 10u);
    for (const auto& row : rows)
      for (int c = 0; c < 4; ++c) {
        const ReloadResult r =
            ComputeReload(fosc, row.first.c_str(), kColumns[c].smod, kColumns[c].tclk);
        char expected[32] = "-";
        if (r.accepted) std::snprintf(expected, sizeof expected, "%02X %s", r.reload, r.error);
        EXPECT_EQ(row.second[c], expected) << row.first << " " << kColumns[c].title;
      }
  }
}

TEST(BaudcalcTable, NothingFitsGivesDashesAndStillSucceeds) {
  const Outcome o = RunTool({"--table", "--fosc", "abc"});
  ASSERT_TRUE(o.exited);
  EXPECT_EQ(o.status, 0);
  const auto rows = ParseTable(o.out);
  ASSERT_EQ(rows.size(), 10u);
  for (const auto& row : rows)
    EXPECT_EQ(row.second, (std::vector<std::string>{"-", "-", "-", "-"})) << row.first;
}

TEST(BaudcalcTable, OtherSettingsDoNotChangeIt) {
  const std::string plain = RunTool({"--table", "--fosc", "12"}).out;
  const Outcome o = RunTool({"--table", "--fosc", "12", "--baud", "1", "--smod", "--clock", "12t",
                             "--lang", "asm", "--uart", "2", "--encoding", "gbk", "--eol", "crlf"});
  ASSERT_TRUE(o.exited);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, plain);
}

TEST(BaudcalcTable, AsJson) {
  const Outcome o = RunTool({"--table", "--json", "--fosc", "11.0592"});
  ASSERT_TRUE(o.exited);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "");
  const json j = ParseJson(o.out);
  EXPECT_EQ(j.at("fosc"), "11.0592");
  EXPECT_EQ(j.at("columns"), json::parse(R"([{"clock":"12t","smod":false},
      {"clock":"12t","smod":true},{"clock":"1t","smod":false},{"clock":"1t","smod":true}])"));
  const json& rows = j.at("rows");
  ASSERT_EQ(rows.size(), 10u);
  const std::vector<std::string> bauds = ListedBauds();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].at("baud"), bauds[i]);
    EXPECT_EQ(rows[i].at("cells").size(), 4u);
  }
  const json& at9600 = rows[3].at("cells");
  EXPECT_EQ(at9600[0].at("accepted"), true);
  EXPECT_EQ(at9600[0].at("reload"), 253);
  EXPECT_EQ(at9600[0].at("reload_hex"), "FD");
  EXPECT_EQ(at9600[0].at("error"), "0.00%");
  EXPECT_DOUBLE_EQ(at9600[0].at("actual_baud").get<double>(), 9600);
  EXPECT_EQ(rows[8].at("cells")[0].at("error"), "50.00%");         // 57600 at 12T
  EXPECT_EQ(rows[9].at("cells")[0], (json{{"accepted", false}}));  // 115200 at 12T
  EXPECT_EQ(rows[0].at("cells")[2], (json{{"accepted", false}}));  // 1200 at 1T
  EXPECT_EQ(rows[0].at("cells")[1].at("reload_hex"), "D0");        // 1200 at 12T+SMOD
}

TEST(BaudcalcTable, JsonKeepsAFrequencyThatIsNotUtf8Valid) {
  const Outcome o = RunTool({"--table", "--json", "--fosc", "12\xff"});
  ASSERT_TRUE(o.exited);
  EXPECT_EQ(o.status, 0);
  const json j = ParseJson(o.out);
  EXPECT_EQ(j.at("fosc"), "12" + kReplacement);
  EXPECT_EQ(j.at("rows")[0].at("cells")[0].at("reload_hex"), "E6");
}

}  // namespace
