// The inspector as the Windows build has it: the same outcomes as LoadDemo
// for files that cannot be inspected, through the same platform calls.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/win32/win32_test_support.h"
#include "tools/demo_writer.h"
#include "tools/inspector.h"

namespace {

std::string ReadBack(FILE* file) {
  std::string text;
  rewind(file);
  char chunk[4096];
  for (size_t got; (got = fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, got);
  fclose(file);
  return text;
}

TEST(InspectorOnWindows, SummariesAndFailures) {
  ScratchDir scratch;
  DemoRecipe recipe;
  recipe.mapName = "de_aztec";
  recipe.viewportWidth = 1152;
  recipe.viewportHeight = 864;
  std::string good = scratch.Write("good.dem", WriteDemo(recipe));
  std::string empty = scratch.Write("empty.dem", {});
  std::string missing = scratch.Join("missing.dem");
  std::vector<std::string> args = {"quendrix-inspect", "--json", missing,
                                   scratch.path(),     empty,    good};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  FILE* out = tmpfile();
  FILE* err = tmpfile();
  ASSERT_TRUE(out != nullptr && err != nullptr);
  int status = RunInspector(static_cast<int>(argv.size()), argv.data(), out, err);
  std::string printed = ReadBack(out);
  std::string errors = ReadBack(err);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(errors, missing + ": Could not open demofile.\n" + scratch.path() +
                        ": Could not open demofile.\n" + empty +
                        ": Could not open demofile (reason 2).\n");
  EXPECT_NE(printed.find("\"map\":\"de_aztec\""), std::string::npos) << printed;
  EXPECT_NE(printed.find("\"demoResWidth\":\"1152\",\"demoResHeight\":\"864\",\"hltv\":false,"),
            std::string::npos)
      << printed;
  // The directory read through the file's own position, apart from the reading.
  EXPECT_NE(printed.find("\"frames\":200,\"viewportWidth\":1152,\"viewportHeight\":864,"
                         "\"intact\":true,\"problems\":[]}"),
            std::string::npos)
      << printed;
}

}  // namespace
