/* Launch timing of dialog programs, in turn, from CreateProcess until each is
   ready: until its code pane holds text (the routine the calculator opens
   with), or, for a program without one, until its window answers a message.
   Each window is found by its caption, read from the program's own dialog
   template, so no copy of a caption is kept here.

   bench_launch RUNS EXE DIALOG PANE [EXE DIALOG PANE]...

   PANE is the control identifier of the code pane, or 0. The first program is
   the floor: each program's ratio is the median of its ratios to the floor in
   the same run. Prints the medians and the ratios; exits non-zero if a
   program never got ready or did not close. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define MAX_RUNS 1000
#define MAX_TARGETS 8
#define READY_TIMEOUT_MS 30000
#define CLOSE_TIMEOUT_MS 10000

struct Target {
  const char* exe;
  int dialog;
  int pane; /* 0: ready when the window answers */
  char caption[512];
  double windowMs[MAX_RUNS];
  double readyMs[MAX_RUNS];
  double ratio;
};

static LARGE_INTEGER g_frequency;

static double MillisecondsSince(LARGE_INTEGER start) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return (double)(now.QuadPart - start.QuadPart) * 1000.0 / (double)g_frequency.QuadPart;
}

/* Skips a name-or-ordinal field of a dialog template. */
static const WORD* SkipNameOrOrdinal(const WORD* p) {
  if (*p == 0x0000) return p + 1;
  if (*p == 0xFFFF) return p + 2;
  while (*p) ++p;
  return p + 1;
}

/* The caption of dialog template `dialog` in `exe`, in the ANSI code page,
   which is what FindWindowA compares against. */
static int ReadCaption(struct Target* t) {
  HMODULE module = LoadLibraryExA(t->exe, NULL, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return 0;
  int ok = 0;
  HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(t->dialog), (LPCSTR)RT_DIALOG);
  const WORD* p = info ? (const WORD*)LockResource(LoadResource(module, info)) : NULL;
  if (p) {
    if (p[1] == 0xFFFF) /* DLGTEMPLATEEX: 26 bytes before the menu */
      p += 13;
    else /* DLGTEMPLATE: 18 bytes */
      p += 9;
    p = SkipNameOrOrdinal(p); /* menu */
    p = SkipNameOrOrdinal(p); /* window class */
    ok = WideCharToMultiByte(CP_ACP, 0, (LPCWSTR)p, -1, t->caption, sizeof t->caption, NULL, NULL) >
         0;
  }
  FreeLibrary(module);
  return ok;
}

/* Whether the window is ready in the sense of the target. */
static int IsReady(const struct Target* t, HWND window) {
  DWORD_PTR result = 0;
  if (t->pane == 0)
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result) != 0;
  HWND pane = GetDlgItem(window, t->pane);
  if (!pane) return 0;
  if (!SendMessageTimeoutA(pane, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 1000, &result)) return 0;
  return result > 0;
}

/* One launch; returns 0 on failure. */
static int LaunchOnce(struct Target* t, int run) {
  char commandLine[MAX_PATH + 3];
  snprintf(commandLine, sizeof commandLine, "\"%s\"", t->exe);
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;

  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
    fprintf(stderr, "cannot start %s (error %lu)\n", t->exe, GetLastError());
    return 0;
  }
  HWND window = NULL;
  int ready = 0;
  while (MillisecondsSince(start) < READY_TIMEOUT_MS) {
    if (!window) {
      window = FindWindowA(NULL, t->caption);
      if (window) t->windowMs[run] = MillisecondsSince(start);
    }
    if (window && IsReady(t, window)) {
      t->readyMs[run] = MillisecondsSince(start);
      ready = 1;
      break;
    }
    if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) break; /* died early */
  }

  int closed = 0;
  if (window) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    closed = WaitForSingleObject(process.hProcess, CLOSE_TIMEOUT_MS) == WAIT_OBJECT_0;
  }
  if (!closed) TerminateProcess(process.hProcess, 1);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (!ready) fprintf(stderr, "%s never got ready\n", t->exe);
  if (ready && (!closed || code != 0)) fprintf(stderr, "%s did not close cleanly\n", t->exe);
  return ready && closed && code == 0;
}

static int CompareDoubles(const void* a, const void* b) {
  double x = *(const double*)a, y = *(const double*)b;
  return (x > y) - (x < y);
}

static double Median(double* values, int n) {
  qsort(values, (size_t)n, sizeof *values, CompareDoubles);
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

static const char* BaseName(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '\\' || *p == '/') name = p + 1;
  return name;
}

int main(int argc, char** argv) {
  if (argc < 5 || (argc - 2) % 3 != 0 || (argc - 2) / 3 > MAX_TARGETS) {
    fprintf(stderr, "usage: %s RUNS EXE DIALOG PANE [EXE DIALOG PANE]... (at most %d programs)\n",
            argv[0], MAX_TARGETS);
    return 2;
  }
  int runs = atoi(argv[1]);
  if (runs < 1 || runs > MAX_RUNS) {
    fprintf(stderr, "RUNS must be 1 to %d\n", MAX_RUNS);
    return 2;
  }
  static struct Target targets[MAX_TARGETS];
  int count = (argc - 2) / 3;
  for (int i = 0; i < count; ++i) {
    struct Target* t = &targets[i];
    t->exe = argv[2 + 3 * i];
    t->dialog = atoi(argv[3 + 3 * i]);
    t->pane = atoi(argv[4 + 3 * i]);
    if (!ReadCaption(t)) {
      fprintf(stderr, "cannot read the caption of dialog %d from %s\n", t->dialog, t->exe);
      return 2;
    }
  }
  QueryPerformanceFrequency(&g_frequency);

  /* One untimed launch each: the first start of a program loads its files. */
  for (int i = 0; i < count; ++i)
    if (!LaunchOnce(&targets[i], 0)) return 1;
  for (int run = 0; run < runs; ++run) {
    /* Rotate which goes first, so that none always follows another. */
    for (int k = 0; k < count; ++k)
      if (!LaunchOnce(&targets[(run + k) % count], run)) return 1;
  }

  /* The ratio is the median of each run's ratio to the floor's launch in the
     same run, which a machine busy with other work disturbs less than a ratio
     of two medians taken over different moments. */
  static double ratios[MAX_RUNS];
  printf("launch until ready, median of %d runs in turn; ratio to %s, run by run:\n", runs,
         BaseName(targets[0].exe));
  for (int i = 0; i < count; ++i) { /* before Median sorts the times in place */
    struct Target* t = &targets[i];
    for (int run = 0; run < runs; ++run) ratios[run] = t->readyMs[run] / targets[0].readyMs[run];
    t->ratio = Median(ratios, runs);
  }
  for (int i = 0; i < count; ++i) {
    struct Target* t = &targets[i];
    double window = Median(t->windowMs, runs);
    double ready = Median(t->readyMs, runs);
    printf("  %-24s window %7.1f ms, %s %7.1f ms  %5.2fx\n", BaseName(t->exe), window,
           t->pane ? "text in pane" : "answers     ", ready, t->ratio);
  }
  return 0;
}
