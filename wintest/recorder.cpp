// Registered in the test prefix as the http/https handler: appends what the
// shell asked it to open, with the show state it was given, to a log file.
// Nothing reaches the network.
#include <windows.h>
// The other Windows headers need it first.

#include <shellapi.h>

#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
  char out[4096] = "";
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof(out), nullptr, nullptr);
  return out;
}

// The log's name may come as a Unix path; Wine sees / through drive Z:.
std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') {
    for (char& c : path)
      if (c == '/') c = '\\';
    path = "Z:" + path;
  }
  return path;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  GetStartupInfoW(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

  std::string line = std::to_string(show);
  for (int i = 1; i < argc; ++i) line += "\t" + Utf8(argv[i]);
  line += "\n";

  char name[MAX_PATH] = "";
  std::string log;
  if (GetEnvironmentVariableA("BAUDCALC_RECORDER_LOG", name, sizeof(name)) > 0) {
    log = WindowsPath(name);
  } else {
    GetModuleFileNameA(nullptr, name, sizeof(name));
    log = std::string(name) + ".log";
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      CloseHandle(file);
      return 0;
    }
    Sleep(10);
  }
  return 1;
}
