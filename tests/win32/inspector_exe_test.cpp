// The inspector as the Windows build has it: the same outcomes as LoadDemo
// for files that cannot be inspected, through the same platform calls.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/inspector.h"
#include "tests/native/tool_run.h"
#include "tests/win32/win32_test_support.h"
#include "tools/demo_writer.h"

namespace {

TEST(InspectorOnWindows, SummariesAndFailures) {
  ScratchDir scratch;
  DemoRecipe recipe;
  recipe.mapName = "de_aztec";
  recipe.viewportWidth = 1152;
  recipe.viewportHeight = 864;
  std::string good = scratch.Write("good.dem", WriteDemo(recipe));
  std::string empty = scratch.Write("empty.dem", {});
  std::string missing = scratch.Join("missing.dem");
  const ToolRun run =
      RunTool(RunInspector, "quendrix-inspect", {"--json", missing, scratch.path(), empty, good});
  const int status = run.status;
  const std::string& printed = run.out;
  const std::string& errors = run.err;
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
                         "\"intact\":true,\"problems\":[],"),
            std::string::npos)
      << printed;
  EXPECT_NE(printed.find("\"messagesRead\":true,\"messageProblems\":[]}"), std::string::npos)
      << printed;
}

}  // namespace
