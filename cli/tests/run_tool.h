// Runs the built baudcalc as a child process, without a shell.
#pragma once

#include <string>
#include <vector>

enum class StdoutTo { kPipe, kDevFull, kClosed };

struct Outcome {
  bool exited = false;  // false: killed by a signal, or hung and stopped
  int status = -1;      // exit status when exited
  std::string out;
  std::string err;
};

Outcome RunTool(const std::vector<std::string>& args, StdoutTo where = StdoutTo::kPipe);

// GBK to UTF-8 through iconv; the test's own reference conversion.
std::string Utf8FromGbk(const std::string& gbk);

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);

// For failure messages: the bytes with control and non-ASCII bytes escaped.
std::string Escaped(const std::string& bytes);
