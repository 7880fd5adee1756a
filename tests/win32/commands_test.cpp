// The buttons and keys of the real program's window, its file choosers and
// "Play!" with the stand-in game, driven from this process.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/resources/resource.h"
#include "demo/demo_repair.h"
#include "messages/demo_trim.h"
#include "tests/win32/program_fixture.h"

namespace {

// The chooser's file-name field: a ComboBoxEx32 around a combo box and an edit.
const int kChooserFileName = 0x47C;

class CommandsTest : public ProgramTest {
 protected:
  // Picks a file in the chooser with that title, or cancels it with "".
  void Choose(const char* title, const std::string& path) {
    HWND chooser = WaitForDialog(first_.dwProcessId, title, kWaitMs);
    ASSERT_NE(chooser, nullptr) << title;
    if (path.empty()) {
      PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
      return;
    }
    SendMessageA(GetDlgItem(chooser, kChooserFileName), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageA(chooser, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(chooser); })) << title;
  }

  // Clicks into the demo-path field, puts the text there and presses Enter,
  // all through the program's own message loop.
  static void TypeAndEnter(HWND window, const std::string& text) {
    HWND field = GetDlgItem(window, IDC_DEMOPATH);
    PostMessageA(field, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageA(field, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    PostMessageA(field, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageA(field, WM_KEYUP, VK_RETURN, 0);
  }

  bool ShowsInfo(HWND window, const std::string& text) {
    return WaitUntil([&] { return ControlText(window, IDC_INFO) == text; });
  }

  // The stand-in game keeps running until the test sets the event returned.
  HANDLE KeepTheGameRunning(const char* event) {
    std::string orders = std::string("wait ") + event;
    scratch_.Write("Half-Life Game\\orders.txt",
                   std::vector<uint8_t>(orders.begin(), orders.end()));
    return CreateEventA(nullptr, TRUE, FALSE, event);
  }

  // Clicks Play; true once the game has started.
  bool StartTheGame(HWND window) {
    Click(window, IDC_PLAY);
    return WaitUntil([&] {
      return GetFileAttributesA((game_ + "\\report.txt.part").c_str()) != INVALID_FILE_ATTRIBUTES;
    });
  }

  DWORD GameValue(const char* name) {
    return ReadRegistryDword(HKEY_CURRENT_USER, kHalfLife, name);
  }

  // Plays and waits for the game to end and the window to be cleared.
  std::map<std::string, std::string> Play(HWND window) {
    DeleteFileA((game_ + "\\report.txt").c_str());
    Click(window, IDC_PLAY);
    EXPECT_TRUE(WaitUntil([&] { return !ReadStandInReport(game_).empty(); }));
    EXPECT_TRUE(ShowsInfo(window, ""));
    return ReadStandInReport(game_);
  }
};

TEST_F(CommandsTest, BrowseForADemoThroughTheChooser) {
  std::string demo = Demo("chosen.dem", "de_chosen", "cstrike", 1280, 960);
  HWND window = StartWindow("");
  ASSERT_NE(window, nullptr);
  Click(window, IDC_BROWSEDEMO);
  Choose("Browse Demos", demo);
  EXPECT_TRUE(ShowsInfo(window, Summary("de_chosen", "cstrike", "1280x960")));
  EXPECT_EQ(ControlText(window, IDC_DEMOPATH), demo);

  // Cancelled, it loads the field again.
  Click(window, IDC_BROWSEDEMO);
  Choose("Browse Demos", "");
  EXPECT_EQ(FindMessageBox(first_.dwProcessId), nullptr);
  EXPECT_EQ(ControlText(window, IDC_DEMOPATH), demo);
}

TEST_F(CommandsTest, CancellingTheChooserWithAnEmptyField) {
  HWND window = StartWindow("");
  ASSERT_NE(window, nullptr);
  Click(window, IDC_BROWSEDEMO);
  Choose("Browse Demos", "");
  MessageBoxSeen seen = AnswerBox();
  EXPECT_EQ(seen.text, "Could not open demofile.");
  EXPECT_EQ(seen.caption, "Quendrix");
  EXPECT_EQ(seen.icon, "error");
  EXPECT_FALSE(seen.hasOwner);
}

TEST_F(CommandsTest, EnterInTheDemoPathField) {
  std::string demo = Demo("typed.dem", "de_typed", "valve", 512, 384);
  HWND window = StartWindow("");
  ASSERT_NE(window, nullptr);
  TypeAndEnter(window, demo);
  EXPECT_TRUE(ShowsInfo(window, Summary("de_typed", "valve", "512x384")));
  EXPECT_EQ(WaitForDialog(first_.dwProcessId, "Browse Demos", 0), nullptr);
  EXPECT_EQ(FindMessageBox(first_.dwProcessId), nullptr) << "no game started";
}

TEST_F(CommandsTest, SaveWithEmptyFieldsConfirmsAndRegistersTheProgram) {
  HWND window = StartWindow("");
  ASSERT_NE(window, nullptr);
  Click(window, IDC_SAVE);
  MessageBoxSeen seen = AnswerBox();
  EXPECT_EQ(seen.text, "Settings succesfully saved.");
  EXPECT_EQ(seen.icon, "information");
  EXPECT_FALSE(seen.hasOwner);
  for (const char* name : {"Path", "CommandLine", "DemoSpeed"}) {
    RegistryValue value = ReadRegistryValue(HKEY_CURRENT_USER, kSettings, name);
    EXPECT_TRUE(value.exists && value.type == REG_SZ && value.data == std::vector<uint8_t>{0})
        << name;
  }
  // The program's folder has blanks: the open command quotes its path.
  RegistryValue command =
      ReadRegistryValue(HKEY_CLASSES_ROOT, "quendrix\\shell\\open\\command", nullptr);
  EXPECT_EQ(std::string(command.data.begin(), command.data.end()),
            "\"" + exe_ + "\" %1" + std::string(1, '\0'));
  DeleteRegistryTree(HKEY_CLASSES_ROOT, "quendrix");
  DeleteRegistryTree(HKEY_CLASSES_ROOT, ".DEM");
}

TEST_F(CommandsTest, SaveThatCannotWriteTheSettingsDoesNotConfirm) {
  InstallGame();  // values to read at start, so the only warnings are Save's
  CreateReadOnlyKey(HKEY_CURRENT_USER, kSettings);
  HWND window = StartWindow("");
  ASSERT_NE(window, nullptr);
  Click(window, IDC_SAVE);
  const char* warnings[] = {
      "Could not create the settings registry key.", "Could not set the path key value.",
      "Could not set the commandline key value.", "Could not set the speed key value."};
  for (const char* warning : warnings) {
    MessageBoxSeen seen = AnswerBox();
    EXPECT_EQ(seen.text, warning);
    EXPECT_EQ(seen.icon, "warning");
  }
  EXPECT_EQ(AnswerBox(1500).text, "") << "no confirmation after the warnings";
  UnlockKey(HKEY_CURRENT_USER, kSettings);
  DeleteRegistryTree(HKEY_CLASSES_ROOT, "quendrix");
  DeleteRegistryTree(HKEY_CLASSES_ROOT, ".DEM");
}

TEST_F(CommandsTest, FieldTextsAreCutTo259Characters) {
  HWND window = StartWindow("");
  ASSERT_NE(window, nullptr);
  std::string longPath = "C:\\" + std::string(297, 'g');
  SendMessageA(GetDlgItem(window, IDC_GAMEEXE), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(longPath.c_str()));
  Click(window, IDC_SAVE);
  EXPECT_EQ(AnswerBox().text, "Settings succesfully saved.");
  RegistryValue path = ReadRegistryValue(HKEY_CURRENT_USER, kSettings, "Path");
  EXPECT_EQ(std::string(path.data.begin(), path.data.end()), longPath.substr(0, 259) + '\0');
  DeleteRegistryTree(HKEY_CLASSES_ROOT, "quendrix");
  DeleteRegistryTree(HKEY_CLASSES_ROOT, ".DEM");
}

TEST_F(CommandsTest, BrowseForTheGameLeavesTheRegistryToSave) {
  InstallGame();
  HWND window = StartWindow("");
  ASSERT_NE(window, nullptr);
  std::string other = game_ + "\\other.exe";
  scratch_.Write("Half-Life Game\\other.exe", {'M', 'Z'});
  Click(window, IDC_BROWSEGAMEEXE);
  Choose("Browse Half-Life Executable", other);
  EXPECT_TRUE(WaitUntil([&] { return ControlText(window, IDC_GAMEEXE) == other; }));
  RegistryValue saved = ReadRegistryValue(HKEY_CURRENT_USER, kSettings, "Path");
  EXPECT_EQ(std::string(saved.data.begin(), saved.data.end()), game_ + "\\hl.exe" + '\0');
}

TEST_F(CommandsTest, PlayPlaysTheDemoTheWindowShows) {
  InstallGame();
  std::string first = Demo("first.dem", "de_first", "cstrike", 640, 480);
  std::string handed = Demo("handed.dem", "de_handed", "cstrike", 800, 600);
  std::string typed = Demo("typed.dem", "de_typed", "cstrike", 400, 300);
  HWND window = StartWindow(first);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(WaitForExit(Start(handed), kWaitMs), 0u);
  TypeAndEnter(window, typed);
  ASSERT_TRUE(ShowsInfo(window, Summary("de_typed", "cstrike", "400x300")));

  // The typed demo is shown, so it is the one played, not the handed-over one.
  std::map<std::string, std::string> report = Play(window);
  EXPECT_EQ(report["command line"],
            game_ + "\\hl.exe  -game cstrike -console +connect localhost +playdemo quendrix.dem ");
  EXPECT_EQ(report["EngineModeW"], "400");
  EXPECT_EQ(ReadFileBytes(game_ + "\\report.dem"), ReadFileBytes(typed));
  EXPECT_EQ(ControlText(window, IDC_DEMOPATH), "");
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_DETAILS))) << "no demo left to detail";
  EXPECT_EQ(GetFileAttributesA((game_ + "\\cstrike\\quendrix.dem").c_str()),
            INVALID_FILE_ATTRIBUTES);

  // A hand-over that is not replaced is played as it came.
  EXPECT_EQ(WaitForExit(Start(handed), kWaitMs), 0u);
  ASSERT_TRUE(ShowsInfo(window, Summary("de_handed", "cstrike", "800x600")));
  Play(window);
  EXPECT_EQ(ReadFileBytes(game_ + "\\report.dem"), ReadFileBytes(handed));
}

TEST_F(CommandsTest, ACutRecordingIsHandedOverRepairedAndLeftAlone) {
  std::vector<uint8_t> whole = ReadFileBytes(QUENDRIX_CORPUS_DIR "/weapon.dem");
  if (whole.empty()) GTEST_SKIP() << "no recordings at " << QUENDRIX_CORPUS_DIR;
  // Cut off where the game stopped writing: no directory, the last frame cut.
  std::vector<uint8_t> cut(whole.begin(), whole.begin() + whole.size() * 3 / 5);
  std::vector<uint8_t> repaired;
  ASSERT_EQ(RepairDemoBytes(cut.data(), cut.size(), &repaired), RepairOutcome::kRepaired);
  InstallGame();
  HWND window = StartWindow("");
  ASSERT_NE(window, nullptr);
  const struct {
    const char* what;
    const std::vector<uint8_t>& bytes;
    const std::vector<uint8_t>& handed;
  } cases[] = {
      {"cut", cut, repaired},
      {"intact", whole, whole},
  };
  for (const auto& c : cases) {
    std::string demo = scratch_.Write(std::string("My Demos\\") + c.what + ".dem", c.bytes);
    TypeAndEnter(window, demo);
    ASSERT_TRUE(WaitUntil([&] {
      return ControlText(window, IDC_INFO).find("crossfire") != std::string::npos;
    })) << c.what;
    Play(window);
    std::vector<uint8_t> handed = ReadFileBytes(game_ + "\\report.dem");
    EXPECT_EQ(handed.size(), c.handed.size()) << c.what;
    EXPECT_TRUE(handed == c.handed) << c.what;
    EXPECT_TRUE(ReadFileBytes(demo) == c.bytes) << c.what << ": the file itself is unchanged";
  }
  EXPECT_EQ(FindMessageBox(first_.dwProcessId), nullptr);
}

// The details dialog plays, from the moment in "From", the part that the
// trim writer makes; a kill line clicked puts its moment less 5 s there.
TEST_F(CommandsTest, PlayFromHereHandsTheGameThePartFromThatMoment) {
  std::vector<uint8_t> whole = ReadFileBytes(QUENDRIX_CORPUS_DIR "/hldm.dem");
  if (whole.empty()) GTEST_SKIP() << "no recordings at " << QUENDRIX_CORPUS_DIR;
  InstallGame();
  CreateDirectoryA((game_ + "\\valve").c_str(), nullptr);
  const std::string demo = scratch_.Write("My Demos\\hldm.dem", whole);
  HWND window = StartWindow("\"" + demo + "\"");
  ASSERT_NE(window, nullptr);
  Click(window, IDC_DETAILS);
  HWND details = WaitForDialog(first_.dwProcessId, "Demo details", kWaitMs);
  ASSERT_NE(details, nullptr);
  HWND text = GetDlgItem(details, IDC_DETAILSTEXT);
  HWND from = GetDlgItem(details, IDC_TRIMFROM);

  // "0:07 SATANiST killed Player with 9mmhandgun", clicked.
  const std::string shown = ControlText(details, IDC_DETAILSTEXT);
  const size_t kill = shown.find("\r\n0:07 SATANiST killed Player");
  ASSERT_NE(kill, std::string::npos) << shown;
  // The text wraps: a character's place, not a line's number, finds it,
  // on the line's first part and, in a narrow dialog, on its last.
  const size_t killEnd = shown.find("\r\n", kill + 2);
  for (const size_t at : {kill + 2 + 3, killEnd - 1}) {
    SendMessageA(from, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("1:00"));
    SendMessageA(text, EM_SETSEL, static_cast<WPARAM>(at), static_cast<LPARAM>(at));
    PostMessageA(text, WM_KEYUP, VK_RIGHT, 0xC0000001);
    EXPECT_TRUE(WaitUntil([&] { return WindowText(from) == "0:02"; })) << WindowText(from);
    SetWindowPos(details, nullptr, 0, 0, 240, 400, SWP_NOMOVE | SWP_NOZORDER);
  }
  EXPECT_GT(SendMessageA(text, EM_LINEFROMCHAR, killEnd - 1, 0),
            SendMessageA(text, EM_LINEFROMCHAR, kill + 2, 0))
      << "the kill line wraps in the narrow dialog";

  const struct {
    const char* typed;
    const char* message;  // the beginning of its warning
  } refused[] = {
      {"1:75", "Type the moment to start from in \"From\", as m:ss or in seconds."},
      {"99:00", "No part from 99:00 can be made: "},
  };
  for (const auto& r : refused) {
    SendMessageA(from, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(r.typed));
    Click(details, IDC_PLAYFROM);
    MessageBoxSeen box = AnswerBox();
    EXPECT_EQ(box.text.substr(0, strlen(r.message)), r.message) << box.text;
    EXPECT_EQ(box.icon, "warning") << r.typed;
  }

  std::vector<uint8_t> part;
  std::string reason;
  ASSERT_EQ(TrimDemo(whole.data(), whole.size(), 2, -1, &part, &reason), TrimOutcome::kWritten)
      << reason;
  SendMessageA(from, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("0:02"));
  const std::string saved = scratch_.Join("My Demos\\the part.dem");
  Click(details, IDC_SAVEPART);
  Choose("Save Part of the Demo", saved);
  EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(saved) == part; })) << "saved whole";
  EXPECT_EQ(FindMessageBox(first_.dwProcessId), nullptr);

  Click(details, IDC_PLAYFROM);
  ASSERT_TRUE(WaitUntil([&] { return !ReadStandInReport(game_).empty(); }));
  EXPECT_EQ(ReadStandInReport(game_)["copy"], "there");
  EXPECT_TRUE(ReadFileBytes(game_ + "\\report.dem") == part) << "the part, as the writer makes it";
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(details); })) << "closed with the cleared window";
  EXPECT_TRUE(ShowsInfo(window, ""));
  EXPECT_TRUE(ReadFileBytes(demo) == whole) << "the demo itself is unchanged";
}

TEST_F(CommandsTest, ASecondStartWhileTheGameRunsIsAnsweredAfterIt) {
  InstallGame();
  HANDLE go = KeepTheGameRunning("QuendrixTestGo");
  std::string playing = Demo("playing.dem", "de_playing", "cstrike", 640, 480);
  std::string next = Demo("next.dem", "de_next", "valve", 1152, 864);
  HWND window = StartWindow(playing);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(StartTheGame(window));
  PROCESS_INFORMATION second = Start(next);
  EXPECT_EQ(WaitForExit(second, 1500), DWORD(STILL_ACTIVE)) << "waits while the game runs";
  SetEvent(go);
  EXPECT_EQ(WaitForExit(second, kWaitMs), 0u);
  EXPECT_TRUE(ShowsInfo(window, Summary("de_next", "valve", "1152x864")));
  EXPECT_EQ(ControlText(window, IDC_DEMOPATH), next);
  CloseHandle(go);
}

TEST_F(CommandsTest, EndedWhileTheGameRunsTheNextStartPutsTheResolutionBack) {
  InstallGame();
  HANDLE end = KeepTheGameRunning("QuendrixTestEnd");
  std::string demo = Demo("small.dem", "de_small", "cstrike", 640, 480);
  HWND window = StartWindow(demo);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(StartTheGame(window));
  // As the Task Manager ends it; then the game ends too.
  ASSERT_TRUE(TerminateProcess(first_.hProcess, 1));
  EXPECT_EQ(WaitForExit(first_, kWaitMs), 1u);
  SetEvent(end);
  ASSERT_TRUE(WaitUntil([&] { return !ReadStandInReport(game_).empty(); }));
  EXPECT_EQ(ReadStandInReport(game_)["record"], "1024 x 768");
  EXPECT_EQ(GameValue("EngineModeW"), 640u) << "left at the demo's";
  CloseHandle(end);

  // The next start puts the start-time values back, silently.
  window = StartWindow(demo);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ControlText(window, IDC_INFO), Summary("de_small", "cstrike", "640x480"));
  EXPECT_EQ(FindMessageBox(first_.dwProcessId), nullptr);
  EXPECT_EQ(GameValue("EngineModeW"), 1024u);
  EXPECT_EQ(GameValue("EngineModeH"), 768u);
  EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, kSettings, "EngineModeWToRestore").exists);

  // And a normal game after it leaves them.
  DeleteFileA((game_ + "\\orders.txt").c_str());
  EXPECT_EQ(Play(window)["EngineModeW"], "640");
  EXPECT_EQ(GameValue("EngineModeW"), 1024u);
  EXPECT_EQ(GameValue("EngineModeH"), 768u);
  EXPECT_EQ(FindMessageBox(first_.dwProcessId), nullptr);
}

TEST_F(CommandsTest, ValuesChangedByHandAfterANormalGameSurviveTheNextStart) {
  InstallGame();
  std::string demo = Demo("small.dem", "de_small", "cstrike", 640, 480);
  HWND window = StartWindow(demo);
  ASSERT_NE(window, nullptr);
  Play(window);
  PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(WaitForExit(first_, kWaitMs), 0u);
  SetRegistryDword(HKEY_CURRENT_USER, kHalfLife, "EngineModeW", 1152);
  SetRegistryDword(HKEY_CURRENT_USER, kHalfLife, "EngineModeH", 864);

  window = StartWindow(demo);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ControlText(window, IDC_INFO),
            Summary("de_small", "cstrike", "640x480", false, "1152x864"));
  EXPECT_EQ(GameValue("EngineModeW"), 1152u);
  EXPECT_EQ(GameValue("EngineModeH"), 864u);
}

}  // namespace
