// baudcalc: the baud-rate calculator on the command line, for Makefiles and
// scripts. Prints the same routine the calculator window shows.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "calc/codegen.h"
#include "calc/reload.h"
#include "calc/settings.h"
#include "render.h"

#ifndef BAUDCALC_VERSION
#error "BAUDCALC_VERSION must come from the build"
#endif

namespace {

constexpr int kExitAccepted = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;
constexpr int kExitOutput = 3;
constexpr int kContinue = -1;

// The window reads its boxes into 256-byte buffers.
constexpr std::size_t kMaxText = 255;

struct Options {
  std::string fosc = "18.432";
  std::string baud = "9600";
  bool smod = false;
  std::string uart = "1";
  std::string bits = "8";
  std::string brgen = "timer1";
  bool brgenGiven = false;
  std::string clock = "1t";
  std::string lang = "c";
  std::string encoding = "utf-8";
  std::string eol = "crlf";
  bool json = false;
  bool table = false;
};

const char kFooter[] =
    "The frequency and baud-rate texts are read as the calculator window reads its\n"
    "boxes and go into the routine's header byte for byte, never converted.\n"
    "\n"
    "--json always writes UTF-8, whatever --encoding says; bytes of the texts that\n"
    "are not UTF-8 show as U+FFFD there.\n"
    "\n"
    "--table lists every baud rate of the window's list against 12T, 12T+SMOD, 1T\n"
    "and 1T+SMOD at the --fosc frequency (reload value in hex and error, \"-\" where\n"
    "refused). It uses only --fosc and --json: the other options are still checked\n"
    "but do not change the table. Its lines end with LF.\n"
    "\n"
    "Exit status: 0 routine written (or table), 1 settings refused (message on\n"
    "standard error, nothing on standard output), 2 usage error, 3 output could not\n"
    "be written.";

// Everything goes out through here so that a full disk or a closed stream is
// reported rather than lost in a buffer.
bool WriteAll(std::FILE* stream, const std::string& text) {
  const std::size_t written = std::fwrite(text.data(), 1, text.size(), stream);
  const bool flushed = std::fflush(stream) == 0;
  return written == text.size() && flushed && !std::ferror(stream);
}

int WriteOutput(const std::string& text) {
  errno = 0;
  if (WriteAll(stdout, text)) return kExitAccepted;
  const int error = errno;
  std::fprintf(stderr, "baudcalc: cannot write to standard output: %s\n",
               error ? std::strerror(error) : "write failed");
  return kExitOutput;
}

// One line, whatever bytes the user's texts put into the message.
int UsageError(const std::string& message) {
  std::string line;
  for (char c : message) line += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? '?' : c;
  std::fprintf(stderr, "baudcalc: %s (see --help)\n", line.c_str());
  return kExitUsage;
}

int OutputFailure(const char* what) {
  std::fprintf(stderr, "baudcalc: %s\n", what);
  return kExitOutput;
}

// CLI11 reads "--fosc=" as an option still waiting for its value and would take
// the next argument instead; the user meant an empty text. A value given as
// the next argument is passed over whatever it looks like, as CLI11 does.
std::vector<std::string> SplitEmptyValues(const CLI::App& app, int argc, char** argv) {
  auto takesValue = [&app](const std::string& name) {
    const CLI::Option* option = app.get_option_no_throw(name);
    return option && option->get_items_expected_min() > 0;
  };
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i == 0 || arg == "--") {
      args.push_back(arg);
      if (i > 0)
        for (++i; i < argc; ++i) args.push_back(argv[i]);
      continue;
    }
    const std::size_t equals = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && equals + 1 == arg.size() &&
        takesValue(arg.substr(0, equals))) {
      args.push_back(arg.substr(0, equals));
      args.push_back("");
    } else if (takesValue(arg) && i + 1 < argc) {
      args.push_back(arg);
      args.push_back(argv[++i]);
    } else {
      args.push_back(arg);
    }
  }
  return args;
}

int ParseOptions(int argc, char** argv, Options* o) {
  CLI::App app{
      "Reload value, baud-rate error and UART initialisation routine for\n"
      "8051-family microcontrollers with UART2 and an independent baud-rate generator.",
      "baudcalc"};
  app.set_version_flag("--version", "baudcalc " BAUDCALC_VERSION);
  app.footer(kFooter);
  // A later option overrides an earlier one, as Makefiles like to do.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

  app.add_option("--fosc", o->fosc, "Clock frequency in MHz")->capture_default_str();
  app.add_option("--baud", o->baud, "Baud rate in bit/s")->capture_default_str();
  app.add_flag("--smod", o->smod, "Double the baud rate (SMOD; S2SMOD on UART2)");
  app.add_option("--uart", o->uart, "Serial port: 1 (UART) or 2 (UART2)")
      ->capture_default_str()
      ->check(CLI::IsMember({"1", "2"}));
  app.add_option("--bits", o->bits, "Data bits: 8 or 9")
      ->capture_default_str()
      ->check(CLI::IsMember({"8", "9"}));
  CLI::Option* brgen =
      app.add_option("--brgen", o->brgen,
                     "Baud-rate generator: timer1 (Timer 1) or brt (independent generator)\n"
                     "[default: timer1, brt with --uart 2]")
          ->check(CLI::IsMember({"timer1", "brt"}, CLI::ignore_case));
  app.add_option("--clock", o->clock, "Timer clock: 12t (Fosc/12) or 1t (Fosc)")
      ->capture_default_str()
      ->check(CLI::IsMember({"12t", "1t"}, CLI::ignore_case));
  app.add_option("--lang", o->lang, "Routine in C or 8051 assembly: c or asm")
      ->capture_default_str()
      ->check(CLI::IsMember({"c", "asm"}, CLI::ignore_case));
  app.add_option("--encoding", o->encoding,
                 "Encoding of the routine: utf-8, or gbk for the window's bytes")
      ->capture_default_str()
      ->check(CLI::IsMember({"utf-8", "gbk"}, CLI::ignore_case));
  app.add_option("--eol", o->eol, "Line ends of the routine: crlf (its own) or lf")
      ->capture_default_str()
      ->check(CLI::IsMember({"crlf", "lf"}, CLI::ignore_case));
  app.add_flag("--json", o->json, "Print the result as one JSON object (always UTF-8)");
  app.add_flag("--table", o->table, "Reload values of all listed baud rates at --fosc");

  try {
    std::vector<std::string> args = SplitEmptyValues(app, argc, argv);
    std::vector<char*> pointers;
    for (std::string& arg : args) pointers.push_back(&arg[0]);
    app.parse(static_cast<int>(pointers.size()), pointers.data());
  } catch (const CLI::CallForHelp&) {
    return WriteOutput(app.help());
  } catch (const CLI::CallForAllHelp&) {
    return WriteOutput(app.help("", CLI::AppFormatMode::All));
  } catch (const CLI::CallForVersion& e) {
    return WriteOutput(std::string(e.what()) + "\n");
  } catch (const CLI::ParseError& e) {
    return UsageError(e.what());
  }
  o->brgenGiven = brgen->count() > 0;

  if (o->fosc.size() > kMaxText)
    return UsageError("--fosc: the text is " + std::to_string(o->fosc.size()) +
                      " bytes long; at most 255 are read");
  if (o->baud.size() > kMaxText)
    return UsageError("--baud: the text is " + std::to_string(o->baud.size()) +
                      " bytes long; at most 255 are read");
  if (o->uart == "2") {
    if (o->brgenGiven && CLI::detail::to_lower(o->brgen) == "timer1")
      return UsageError(
          "--uart 2 runs only from the independent baud-rate generator; use --brgen brt or leave "
          "--brgen out");
    o->brgen = "brt";
  }
  return kContinue;
}

int RunTable(const Options& o) {
  const std::vector<TableRow> rows = ComputeTable(o.fosc.c_str());
  return WriteOutput(o.json ? TableJson(o.fosc, rows) : TableText(rows));
}

int Run(const Options& o) {
  const Encoding encoding =
      CLI::detail::to_lower(o.encoding) == "gbk" ? Encoding::kGbk : Encoding::kUtf8;
  const LineEnd eol = CLI::detail::to_lower(o.eol) == "lf" ? LineEnd::kLf : LineEnd::kCrLf;

  UartSettings settings = DefaultSettings();
  settings.fosc = o.fosc.c_str();
  settings.baud = o.baud.c_str();
  settings.doubling = o.smod;
  settings.uart = o.uart == "2" ? 1 : 0;
  settings.dataBits = o.bits == "9" ? 1 : 0;
  settings.brgen = CLI::detail::to_lower(o.brgen) == "brt" ? 1 : 0;
  settings.tclk = CLI::detail::to_lower(o.clock) == "12t" ? 0 : 1;

  const ReloadResult result =
      ComputeReload(settings.fosc, settings.baud, settings.doubling, settings.tclk);
  if (!result.accepted) {
    std::string message;
    if (!ConvertFixedText(kRefusalText, o.json ? Encoding::kUtf8 : encoding, LineEnd::kCrLf,
                          &message))
      return OutputFailure("cannot convert the routine's text to UTF-8");
    if (o.json) {
      const int status = WriteOutput(RefusalJson(message));
      return status == kExitAccepted ? kExitRefused : status;
    }
    WriteAll(stderr, message + "\n");
    return kExitRefused;
  }

  const Dialect dialect = CLI::detail::to_lower(o.lang) == "asm" ? Dialect::Asm : Dialect::C;
  std::string routine;
  if (!RenderRoutine(dialect, settings, result.reload, o.json ? Encoding::kUtf8 : encoding, eol,
                     &routine))
    return OutputFailure("cannot convert the routine's text to UTF-8");
  return WriteOutput(o.json ? ResultJson(result, routine) : routine);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    Options options;
    const int status = ParseOptions(argc, argv, &options);
    if (status != kContinue) return status;
    return options.table ? RunTable(options) : Run(options);
  } catch (const std::exception& e) {
    return OutputFailure(e.what());
  }
}
