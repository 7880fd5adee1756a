// What a player waits for: the time from starting the window program on a
// demo to its window showing the demo's summary, run after run.
//   quendrix_summary_wait PROGRAM.exe DEMO [RUNS]
// prints the milliseconds of each run, one a line, and the best.
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

// The time until the summary shows, or a negative number when it did not
// within a minute.
double TimeOneRun(const std::string& program, const std::string& demo) {
  LARGE_INTEGER start, shown;
  QueryPerformanceCounter(&start);
  PROCESS_INFORMATION process = {};
  if (!StartProgram(program, "\"" + program + "\" \"" + demo + "\"", &process)) return -1;
  double took = -1;
  for (DWORD begun = GetTickCount(); GetTickCount() - begun < 60000; Sleep(1)) {
    if (HWND box = FindMessageBox(process.dwProcessId)) {
      fprintf(stderr, "[message: %s]\n", AnswerMessageBox(box).text.c_str());
      continue;
    }
    HWND window = WaitForMainWindow(process.dwProcessId, 0);
    if (window != nullptr && ControlText(window, IDC_INFO).find("Demo Res:") != std::string::npos) {
      QueryPerformanceCounter(&shown);
      took = Milliseconds(start, shown);
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
  if (argc < 3) {
    fputs("usage: quendrix_summary_wait PROGRAM.exe DEMO [RUNS]\n", stderr);
    return 2;
  }
  const int runs = argc > 3 ? atoi(argv[3]) : 5;
  double best = -1;
  for (int run = 0; run < runs; ++run) {
    const double took = TimeOneRun(argv[1], argv[2]);
    if (took < 0) {
      fputs("the summary did not show\n", stderr);
      return 1;
    }
    printf("%.0f ms\n", took);
    if (best < 0 || took < best) best = took;
  }
  printf("best: %.0f ms\n", best);
  return 0;
}
