// What a player waits for: the time from starting the window program on a
// demo to its window showing the demo's summary, or from starting it on a
// library folder to the library showing all of its COUNT demos, run after run.
//   quendrix_summary_wait PROGRAM.exe DEMO [RUNS]
//   quendrix_summary_wait --library COUNT PROGRAM.exe FOLDER [RUNS]
// prints the milliseconds of each run, one a line, and the best: for the
// library, from the library's window opening to its title counting all of them.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/resources/resource.h"
#include "tools/window_driver.h"

namespace {

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

struct LibrarySearch {
  DWORD processId;
  std::string title;
};

BOOL CALLBACK FindLibrary(HWND window, LPARAM found) {
  LibrarySearch* search = reinterpret_cast<LibrarySearch*>(found);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  const std::string title = WindowText(window);
  if (owner != search->processId || title.rfind("Demo library (", 0) != 0) return TRUE;
  search->title = title;
  return FALSE;
}

// The title of the process's library window, or "" while it has none.
std::string LibraryTitle(DWORD processId) {
  LibrarySearch search = {processId, ""};
  EnumWindows(FindLibrary, reinterpret_cast<LPARAM>(&search));
  return search.title;
}

// The time until what is waited for shows, from start or from when shown
// says, or a negative number when it did not within ten minutes.
template <typename Shown>
double TimeOneRun(const std::string& program, const std::string& text, Shown shown) {
  LARGE_INTEGER start = Now(), shownAt;
  PROCESS_INFORMATION process = {};
  if (!StartProgram(program, "\"" + program + "\" " + text, &process)) return -1;
  double took = -1;
  for (DWORD begun = GetTickCount(); GetTickCount() - begun < 600000; Sleep(1)) {
    if (HWND box = FindMessageBox(process.dwProcessId)) {
      fprintf(stderr, "[message: %s]\n", AnswerMessageBox(box).text.c_str());
      continue;
    }
    HWND window = WaitForMainWindow(process.dwProcessId, 0);
    if (window != nullptr && shown(process.dwProcessId, window, &start)) {
      QueryPerformanceCounter(&shownAt);
      took = Milliseconds(start, shownAt);
      PostMessageA(window, WM_CLOSE, 0, 0);
      break;
    }
  }
  WaitForExit(process, 10000);
  StopProgram(&process);
  return took;
}

}  // namespace

int main(int argc, char** argv) {
  const bool library = argc > 2 && std::string(argv[1]) == "--library";
  const int first = library ? 3 : 1;
  if (argc < first + 2) {
    fputs(
        "usage: quendrix_summary_wait PROGRAM.exe DEMO [RUNS]\n"
        "       quendrix_summary_wait --library COUNT PROGRAM.exe FOLDER [RUNS]\n",
        stderr);
    return 2;
  }
  const std::string program = argv[first];
  const std::string text = (library ? "/library \"" : "\"") + std::string(argv[first + 1]) + "\"";
  const std::string title =
      library ? "Demo library (" + std::string(argv[2]) + " of " + argv[2] + ")" : "";
  const int runs = argc > first + 2 ? atoi(argv[first + 2]) : 5;
  double best = -1;
  for (int run = 0; run < runs; ++run) {
    bool opened = false;
    const double took =
        TimeOneRun(program, text, [&](DWORD processId, HWND window, LARGE_INTEGER* from) {
          if (!library) return ControlText(window, IDC_INFO).find("Demo Res:") != std::string::npos;
          const std::string shownTitle = LibraryTitle(processId);
          if (!opened && !shownTitle.empty()) {
            opened = true;
            *from = Now();
          }
          return shownTitle == title;
        });
    if (took < 0) {
      fputs(library ? "the library did not show them all\n" : "the summary did not show\n", stderr);
      return 1;
    }
    printf("%.0f ms\n", took);
    if (best < 0 || took < best) best = took;
  }
  printf("best: %.0f ms\n", best);
  return 0;
}
