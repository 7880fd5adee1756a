// The demo library of the real program, driven from outside: its folder's
// demos counted in its title, searched, loaded into the main window, kept in
// the per-user index between openings, and its answers to bad folders.
#include <shlobj.h>

#include "app/resources/resource.h"
#include "tests/win32/program_fixture.h"
#include "tools/message_writer.h"

namespace {

std::string IndexPath() {
  char folder[MAX_PATH];
  EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, folder), S_OK);
  return std::string(folder) + "\\Quendrix\\library.idx";
}

std::string Title(int shown, int found) {
  return "Demo library (" + std::to_string(shown) + " of " + std::to_string(found) + ")";
}

class LibraryTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    DeleteFileA(IndexPath().c_str());
    folder_ = scratch_.Join("My Demos");
  }
  void TearDown() override {
    ProgramTest::TearDown();
    DeleteFileA(IndexPath().c_str());
  }

  HWND WaitForLibrary(int shown, int found) {
    HWND library = WaitForDialog(first_.dwProcessId, Title(shown, found).c_str(), kWaitMs);
    EXPECT_NE(library, nullptr) << "no library titled " << Title(shown, found);
    return library;
  }

  // Types the text into the search field and waits for the title's count.
  bool Search(HWND library, const char* text, int shown, int found) {
    SendMessageA(GetDlgItem(library, IDC_LIBRARYSEARCH), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(text));
    return WaitUntil([&] { return WindowText(library) == Title(shown, found); });
  }

  std::string StoryDemo(const std::string& name, const char* map) {
    DemoRecipe recipe = TestRecipe(map, "cstrike", 800, 600);
    recipe.networkProtocol = 48;  // whose messages are read
    DemoStory story = SampleStory("cstrike", map);
    recipe.loadingMessages = std::move(story.loading);
    recipe.playbackMessages = std::move(story.playback);
    return scratch_.Write("My Demos\\" + name, WriteDemo(recipe));
  }

  std::string folder_;
};

TEST_F(LibraryTest, FindsSearchesAndLoadsTheFoldersDemos) {
  CreateDirectoryA(scratch_.Join("My Demos\\Old [2019]!").c_str(), nullptr);
  CreateDirectoryA(scratch_.Join("My Demos\\Old [2019]!\\deep").c_str(), nullptr);
  Demo("round one.dem", "de_dust2", "cstrike", 800, 600);
  const std::string nuke = StoryDemo("Old [2019]!\\Caf\xE9 final.dem", "de_nuke");
  Demo("Old [2019]!\\deep\\LAST.DEM", "cs_office", "cstrike", 640, 480);
  scratch_.Write("My Demos\\empty.dem", {});
  scratch_.Write("My Demos\\notes.txt", {'x'});
  CreateDirectoryA(scratch_.Join("My Demos\\folder.dem").c_str(), nullptr);

  HWND window = StartWindow("/library \"" + folder_ + "\"");
  ASSERT_NE(window, nullptr);
  HWND library = WaitForLibrary(4, 4);
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(GetForegroundWindow(), library) << "the library comes in front of the main window";
  EXPECT_EQ(ControlText(window, IDC_DEMOPATH), "") << "no demo is loaded";

  const std::pair<const char*, int> searches[] = {
      {"DUST2", 1},         {"alice", 1},        {"sample SERVER", 1}, {"cstrike", 3},
      {"caf\xE9 FINAL", 1}, {"no such demo", 0}, {"empty", 1},         {"", 4},
  };
  for (auto [text, shown] : searches) {
    EXPECT_TRUE(Search(library, text, shown, 4)) << text << ": " << WindowText(library);
  }

  // Enter in the search field loads the one found into the main window, as
  // "Browse..." would.
  ASSERT_TRUE(Search(library, "nuke", 1, 4));
  PostMessageA(GetDlgItem(library, IDC_LIBRARYSEARCH), WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_TRUE(WaitUntil([&] { return ControlText(window, IDC_DEMOPATH) == nuke; }))
      << ControlText(window, IDC_DEMOPATH);
  EXPECT_TRUE(WaitUntil([&] {
    return ControlText(window, IDC_INFO).find("Map: de_nuke\n") != std::string::npos;
  })) << ControlText(window, IDC_INFO);
  EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == window; }));
  EXPECT_EQ(FindMessageBox(first_.dwProcessId), nullptr);
}

// Of a demo whose size and time modified are as indexed, the index is
// believed: rewritten in place with another map of the same length, it still
// shows its old map, which proves it was not read again.
TEST_F(LibraryTest, AnOpeningAgainReadsOnlyNewAndChangedDemos) {
  const std::string kept = Demo("kept.dem", "de_aaaa", "cstrike", 800, 600);
  const std::string grown = Demo("grown.dem", "de_bbbb", "cstrike", 800, 600);
  const std::string gone = Demo("gone.dem", "de_cccc", "cstrike", 800, 600);
  HWND window = StartWindow("/library \"" + folder_ + "\"");
  ASSERT_NE(window, nullptr);
  HWND library = WaitForLibrary(3, 3);
  ASSERT_NE(library, nullptr);
  PostMessageA(library, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(library); }));
  ASSERT_NE(GetFileAttributesA(IndexPath().c_str()), INVALID_FILE_ATTRIBUTES);

  WIN32_FILE_ATTRIBUTE_DATA before;
  ASSERT_TRUE(GetFileAttributesExA(kept.c_str(), GetFileExInfoStandard, &before));
  Demo("kept.dem", "de_zzzz", "cstrike", 800, 600);
  HANDLE file =
      CreateFileA(kept.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  SetFileTime(file, nullptr, nullptr, &before.ftLastWriteTime);
  CloseHandle(file);
  DemoRecipe longer = TestRecipe("de_yyyy", "cstrike", 800, 600);
  longer.playbackFrames = 300;
  scratch_.Write("My Demos\\grown.dem", WriteDemo(longer));
  DeleteFileA(gone.c_str());
  Demo("new.dem", "de_dddd", "cstrike", 800, 600);

  // A second start hands the library over to the running program.
  PROCESS_INFORMATION handing = Start("/library \"" + folder_ + "\"");
  EXPECT_EQ(WaitForExit(handing, kWaitMs), 0u);
  library = WaitForLibrary(3, 3);
  ASSERT_NE(library, nullptr);
  const std::pair<const char*, int> searches[] = {
      {"de_aaaa", 1}, {"de_zzzz", 0}, {"de_bbbb", 0},
      {"de_yyyy", 1}, {"de_cccc", 0}, {"de_dddd", 1},
  };
  for (auto [text, shown] : searches) {
    EXPECT_TRUE(Search(library, text, shown, 3)) << text << ": " << WindowText(library);
  }
}

// Enter with no row selected loads the first row shown: the demo it loads
// tells which comes first.
TEST_F(LibraryTest, AClickOnAColumnsHeaderSortsByItAndAgainTheOtherWay) {
  Demo("a.dem", "de_mmmm", "cstrike", 800, 600);
  const std::string last = Demo("b.dem", "de_zzzz", "cstrike", 800, 600);
  const std::string first = Demo("c.dem", "de_aaaa", "cstrike", 800, 600);
  HWND window = StartWindow("/library \"" + folder_ + "\"");
  ASSERT_NE(window, nullptr);
  HWND library = WaitForLibrary(3, 3);
  ASSERT_NE(library, nullptr);
  HWND list = GetDlgItem(library, IDC_LIBRARYLIST);
  HWND header = FindWindowExA(list, nullptr, "SysHeader32", nullptr);
  ASSERT_NE(header, nullptr);
  const int mapColumn = 4;
  int x = 0;
  for (int column = 0; column < mapColumn; ++column)
    x += static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
  x += static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, mapColumn, 0)) / 2;
  for (const std::string& expected : {first, last}) {
    PostMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 5));
    PostMessageA(header, WM_LBUTTONUP, 0, MAKELPARAM(x, 5));
    PostMessageA(list, WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_TRUE(WaitUntil([&] { return ControlText(window, IDC_DEMOPATH) == expected; }))
        << ControlText(window, IDC_DEMOPATH) << " where " << expected << " was wanted";
  }
}

TEST_F(LibraryTest, ADamagedIndexIsReadAgainFromTheDemos) {
  Demo("one.dem", "de_one", "cstrike", 800, 600);
  Demo("two.dem", "de_two", "cstrike", 800, 600);
  const std::string index = IndexPath();
  CreateDirectoryA(index.substr(0, index.rfind('\\')).c_str(), nullptr);
  const std::string garbage = "QXLIB this is not an index \xFF\xFF\xFF\xFF";
  HANDLE file = CreateFileA(index.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, garbage.data(), static_cast<DWORD>(garbage.size()), &written, nullptr);
  CloseHandle(file);

  ASSERT_NE(StartWindow("/library \"" + folder_ + "\""), nullptr);
  HWND library = WaitForLibrary(2, 2);
  ASSERT_NE(library, nullptr);
  EXPECT_TRUE(Search(library, "de_two", 1, 2));
  // Rewritten once the reading ends.
  EXPECT_TRUE(WaitUntil([&] {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExA(index.c_str(), GetFileExInfoStandard, &data) &&
           data.nFileSizeLow != garbage.size();
  }));
}

TEST_F(LibraryTest, AFolderThatCannotBeListedIsSaidAndTheLibraryStaysOpen) {
  const std::string missing = scratch_.Join("No Such Folder");
  ASSERT_NE(StartWindow("/library \"" + missing + "\""), nullptr);
  MessageBoxSeen box = AnswerBox();
  EXPECT_EQ(box.text,
            "The folder \"" + missing +
                "\" does not exist or cannot be read. Choose another with \"Folder...\".");
  EXPECT_EQ(box.caption, "Quendrix");
  EXPECT_EQ(box.icon, "warning");
  EXPECT_NE(WaitForLibrary(0, 0), nullptr);
}

// The button opens the folder chosen last; the window comes back where it
// was left, and the settings key that the library made alone brings no
// warnings at the next start.
TEST_F(LibraryTest, TheButtonOpensTheFolderChosenLastWhereTheWindowWasLeft) {
  Demo("one.dem", "de_one", "cstrike", 800, 600);
  SetRegistryValue(HKEY_CURRENT_USER, kSettings, "LibraryFolder", REG_SZ, folder_.c_str(),
                   static_cast<DWORD>(folder_.size() + 1));
  HWND window = StartWindow("");
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(FindMessageBox(first_.dwProcessId), nullptr);
  Click(window, IDC_LIBRARY);
  HWND library = WaitForLibrary(1, 1);
  ASSERT_NE(library, nullptr);
  SetWindowPos(library, nullptr, 40, 30, 600, 350, SWP_NOZORDER | SWP_NOACTIVATE);
  RECT left;
  GetWindowRect(library, &left);
  PostMessageA(library, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(library); }));

  Click(window, IDC_LIBRARY);
  library = WaitForLibrary(1, 1);
  ASSERT_NE(library, nullptr);
  RECT back;
  GetWindowRect(library, &back);
  EXPECT_TRUE(EqualRect(&left, &back))
      << back.left << "," << back.top << " " << back.right << "," << back.bottom << " against "
      << left.left << "," << left.top << " " << left.right << "," << left.bottom;
}

}  // namespace
