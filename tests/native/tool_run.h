// A command-line tool run in-process with its arguments, and what it printed
// read back. Portable: the Win32 tests use it too.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

// All that the file holds, from its start; the file is closed.
inline std::string ReadAll(FILE* file) {
  std::string text;
  if (file == nullptr) return text;
  rewind(file);
  char chunk[4096];
  for (size_t got; (got = fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, got);
  fclose(file);
  return text;
}

inline ToolRun RunTool(int (*run)(int, char**, FILE*, FILE*), const char* name,
                       std::vector<std::string> args) {
  args.insert(args.begin(), name);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  FILE* out = tmpfile();
  FILE* err = tmpfile();
  const int status = run(static_cast<int>(argv.size()), argv.data(), out, err);
  return {status, ReadAll(out), ReadAll(err)};
}
