#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"

namespace {

bool NoLeadBytes(unsigned char) {
  return false;
}
// Shift-JIS lead bytes, enough to have a second byte that is a quote.
bool ShiftJisLeadBytes(unsigned char byte) {
  return byte >= 0x81 && byte <= 0x9F;
}

struct CommandLineCase {
  const char* commandLine;
  const char* text;
};

const CommandLineCase kCases[] = {
    {"q.exe C:\\DEMOS\\X.DEM", "C:\\DEMOS\\X.DEM"},
    {"\"C:\\Program Files\\Quendrix\\q.exe\"   C:\\DEMOS\\X.DEM", "C:\\DEMOS\\X.DEM"},
    {"q.exe \"C:\\My Demos\\x.dem\"", "\"C:\\My Demos\\x.dem\""},
    {"q.exe C:\\DEMOS\\X.DEM -x", "C:\\DEMOS\\X.DEM -x"},
    {"q.exe x.dem  ", "x.dem  "},
    {"q.exe", ""},
    {"q.exe    ", ""},
    {"", ""},
    {"\"C:\\Program Files\\q.exe", ""},
    {"\"C:\\q.exe\"C:\\a.dem", "C:\\a.dem"},
    {"q\xE9\xFF.exe x.dem", "x.dem"},
    {"q.exe\t\x01\x1F x.dem", "x.dem"},
    {"q.exe \x7F.dem", "\x7F.dem"},
};

TEST(CommandLineText, SkipsTheProgramNameAndTheBlanksAfterIt) {
  for (const CommandLineCase& c : kCases) {
    EXPECT_STREQ(CommandLineText(c.commandLine, NoLeadBytes), c.text) << c.commandLine;
  }
}

TEST(CommandLineText, ASecondByteNeverClosesTheQuotedName) {
  const char commandLine[] = "\"C:\\\x81\"\\q.exe\" a.dem";
  EXPECT_STREQ(CommandLineText(commandLine, ShiftJisLeadBytes), "a.dem");
  EXPECT_STREQ(CommandLineText(commandLine, NoLeadBytes), "\\q.exe\" a.dem");
  // A lead byte at the very end does not carry the scan past the terminator.
  EXPECT_STREQ(CommandLineText("\"q\x81", ShiftJisLeadBytes), "");
}

TEST(UnquotePath, TakesTheTextBetweenTheQuotes) {
  const std::pair<const char*, const char*> cases[] = {
      {"\"C:\\My Demos\\x.dem\"", "C:\\My Demos\\x.dem"},
      {"C:\\DEMOS\\X.DEM", "C:\\DEMOS\\X.DEM"},
      {"\"\"", ""},
      {"\"", "\""},
      {"\"a.dem", "\"a.dem"},
      {"a.dem\"", "a.dem\""},
      {"\"a\" \"b\"", "a\" \"b"},
      {"", ""},
  };
  for (auto [text, path] : cases) {
    char unquoted[260];
    UnquotePath(text, unquoted, sizeof unquoted);
    EXPECT_STREQ(unquoted, path) << text;
  }
}

TEST(UnquotePath, NeverWritesPastTheSize) {
  std::string quoted = "\"" + std::string(300, 'p') + "\"";
  char path[262];
  memset(path, '#', sizeof path);
  UnquotePath(quoted.c_str(), path, 260);
  EXPECT_EQ(std::string(path), std::string(259, 'p'));
  EXPECT_EQ(path[260], '#');
  EXPECT_EQ(path[261], '#');
}

TEST(TakeLibrarySwitch, TellsTheLibraryAndItsFolderFromADemoPath) {
  struct Case {
    const char* text;
    bool library;
    const char* folder;
  };
  const Case cases[] = {
      {"/library", true, ""},
      {"/LIBRARY", true, ""},
      {"/Library   ", true, ""},
      {"/library C:\\Demos", true, "C:\\Demos"},
      {"/library\t\"C:\\My Demos [old]!\"", true, "C:\\My Demos [old]!"},
      {"/library\tC:\\My Demos", true, "C:\\My Demos"},
      {"/libraryC:\\Demos", false, ""},
      {"/librar", false, ""},
      {"/libraries", false, ""},
      {"C:\\library.dem", false, ""},
      {"\"/library\"", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    char folder[260] = "";
    EXPECT_EQ(TakeLibrarySwitch(c.text, folder, sizeof folder), c.library) << c.text;
    EXPECT_STREQ(folder, c.folder) << c.text;
  }
}

}  // namespace
