// The settings, the game's resolution and the .DEM association in the real
// registry of the build's own Wine prefix. Every test starts and ends with
// none of the keys it touches.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/resources/resource.h"
#include "common/app_state.h"
#include "game/association.h"
#include "game/settings.h"
#include "tests/win32/win32_test_support.h"

namespace {

using Texts = std::vector<std::string>;

const char kSettings[] = "Software\\Tolvanek\\Quendrix\\Settings";
const char kHalfLife[] = "Software\\Valve\\Half-Life\\Settings";
const char kCounterStrike[] = "Software\\Valve\\CounterStrike\\Settings";
const char kCommand[] = "quendrix\\shell\\open\\command";
const char kIcon[] = "quendrix\\DefaultIcon";
const char kExtension[] = ".DEM";

// The same key among the user's own classes.
std::string UserClass(const char* key) {
  return std::string("Software\\Classes\\") + key;
}

std::string TextOf(const RegistryValue& value) {
  return std::string(value.data.begin(), value.data.end());
}

// A REG_SZ value stored with its terminator.
::testing::AssertionResult HoldsText(HKEY root, const char* key, const char* name,
                                     const std::string& text) {
  RegistryValue value = ReadRegistryValue(root, key, name);
  if (value.exists && value.type == REG_SZ && TextOf(value) == text + '\0') {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << key << "\\" << (name ? name : "(default)") << ": exists " << value.exists << ", type "
         << value.type << ", data \"" << TextOf(value) << "\" (" << value.data.size()
         << " bytes), wanted \"" << text << "\" with its terminator";
}

class SettingsTest : public testing::Test {
 protected:
  void SetUp() override {
    CleanRegistry();
    app = AppState();
    lstrcpynA(app.ownExePath, "C:\\Program Files\\Quendrix Test\\quendrix.exe",
              sizeof app.ownExePath);
  }
  void TearDown() override {
    CleanRegistry();
    app = AppState();
  }
  static void CleanRegistry() {
    for (const char* key : {kSettings, kHalfLife, kCounterStrike})
      UnlockKey(HKEY_CURRENT_USER, key);
    for (const char* key : {kCommand, kIcon, kExtension}) {
      UnlockKey(HKEY_CLASSES_ROOT, key);
      UnlockKey(HKEY_CURRENT_USER, UserClass(key).c_str());
    }
    DeleteRegistryTree(HKEY_CURRENT_USER, UserClass("quendrix").c_str());
    DeleteRegistryTree(HKEY_CURRENT_USER, UserClass(kExtension).c_str());
    DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Tolvanek");
    DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Valve");
    DeleteRegistryTree(HKEY_CLASSES_ROOT, "quendrix");
    DeleteRegistryTree(HKEY_CLASSES_ROOT, kExtension);
  }
  static void SetGameResolution(const char* key, DWORD width, DWORD height) {
    SetRegistryDword(HKEY_CURRENT_USER, key, "EngineModeW", width);
    SetRegistryDword(HKEY_CURRENT_USER, key, "EngineModeH", height);
  }
  void Save(const char* path, const char* args, const char* speed) {
    lstrcpynA(app.gameExePath, path, sizeof app.gameExePath);
    lstrcpynA(app.extraArgs, args, sizeof app.extraArgs);
    lstrcpynA(app.demoSpeed, speed, sizeof app.demoSpeed);
    saved_ = SaveSettings();
  }
  // A later start of the program: a fresh state and fresh fields.
  void LoadAfresh() {
    app = AppState();
    for (int control : {IDC_GAMEEXE, IDC_EXTRAARGS, IDC_DEMOSPEED}) window_.SetText(control, "");
    LoadSettings(window_.handle());
  }

  FieldsWindow window_;
  MessageBoxCatcher boxes_;
  bool saved_ = false;
};

TEST_F(SettingsTest, FirstRunWithoutSettingsStillReadsTheGameResolution) {
  SetGameResolution(kHalfLife, 1024, 768);
  LoadSettings(window_.handle());
  EXPECT_EQ(boxes_.Texts(), Texts{});
  EXPECT_STREQ(app.gameExePath, "");
  EXPECT_EQ(window_.Text(IDC_GAMEEXE), "");
  EXPECT_EQ(window_.Text(IDC_EXTRAARGS), "");
  EXPECT_EQ(window_.Text(IDC_DEMOSPEED), "");
  EXPECT_STREQ(app.currentResWidth, "1024");
  EXPECT_STREQ(app.currentResHeight, "768");
}

TEST_F(SettingsTest, SavedTextsComeBackAtTheNextStart) {
  SetGameResolution(kHalfLife, 800, 600);
  Save("C:\\Games\\Half-Life\\hl.exe", "-dev -nointro", "");
  EXPECT_TRUE(saved_);
  EXPECT_TRUE(HoldsText(HKEY_CURRENT_USER, kSettings, "Path", "C:\\Games\\Half-Life\\hl.exe"));
  EXPECT_TRUE(HoldsText(HKEY_CURRENT_USER, kSettings, "CommandLine", "-dev -nointro"));
  EXPECT_TRUE(HoldsText(HKEY_CURRENT_USER, kSettings, "DemoSpeed", "")) << "one byte, the NUL";

  LoadAfresh();
  EXPECT_EQ(boxes_.Texts(), Texts{});
  EXPECT_STREQ(app.gameExePath, "C:\\Games\\Half-Life\\hl.exe");
  EXPECT_STREQ(app.extraArgs, "-dev -nointro");
  EXPECT_STREQ(app.demoSpeed, "");
  EXPECT_EQ(window_.Text(IDC_GAMEEXE), "C:\\Games\\Half-Life\\hl.exe");
  EXPECT_EQ(window_.Text(IDC_EXTRAARGS), "-dev -nointro");
  EXPECT_EQ(window_.Text(IDC_DEMOSPEED), "");
  EXPECT_STREQ(app.gameDir, "C:\\Games\\Half-Life");
}

TEST_F(SettingsTest, GameDirIsThePathCutAtItsLastBackslash) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Program Files\\Valve\\Half-Life\\hl.exe", "C:\\Program Files\\Valve\\Half-Life"},
      {"D:\\HL\\hl.exe", "D:\\HL"},  // after the longer one: nothing of it stays
      {"hl.exe", "hl.exe"},
      {"C:\\Games\\", "C:\\Games"},
      {"", ""},
  };
  for (auto [path, dir] : cases) {
    Save(path, "", "");
    EXPECT_STREQ(app.gameDir, dir) << path;
    LoadAfresh();
    EXPECT_STREQ(app.gameDir, dir) << path;
  }
}

TEST_F(SettingsTest, TheCounterStrikeKeyAlone) {
  SetGameResolution(kCounterStrike, 640, 480);
  LoadSettings(window_.handle());
  EXPECT_EQ(boxes_.Texts(), Texts{});
  EXPECT_STREQ(app.currentResWidth, "640");
  EXPECT_STREQ(app.currentResHeight, "480");
}

TEST_F(SettingsTest, TheHalfLifeKeyComesFirst) {
  SetGameResolution(kHalfLife, 1280, 960);
  SetGameResolution(kCounterStrike, 640, 480);
  LoadSettings(window_.handle());
  EXPECT_STREQ(app.currentResWidth, "1280");
  EXPECT_STREQ(app.currentResHeight, "960");
}

TEST_F(SettingsTest, GameResolutionWarnings) {
  LoadSettings(window_.handle());
  EXPECT_EQ(boxes_.Texts(), Texts{"Could not read Half-Life registry."});
  for (const CaughtMessageBox& box : boxes_.boxes()) {
    EXPECT_EQ(box.caption, "Quendrix");
    EXPECT_EQ(box.icon, "warning");
    EXPECT_FALSE(box.hasOwner);
  }
  EXPECT_STREQ(app.currentResWidth, "");

  boxes_.Clear();
  SetRegistryValue(HKEY_CURRENT_USER, kHalfLife, "Other", REG_SZ, "x", 2);
  LoadAfresh();
  EXPECT_EQ(boxes_.Texts(), (Texts{"Could not read HLV1.", "Could not read HLV1."}));
  EXPECT_STREQ(app.currentResWidth, "");
  EXPECT_STREQ(app.currentResHeight, "");
}

struct ResolutionValue {
  const char* why;
  DWORD type;
  std::vector<uint8_t> data;
  const char* text;  // nullptr: refused with "Could not read HLV1."
};

TEST_F(SettingsTest, ResolutionValuesThatCannotBeKept) {
  const ResolutionValue cases[] = {
      {"a DWORD", REG_DWORD, {0x20, 0x03, 0, 0}, "800"},
      {"negative", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}, "-1"},
      {"seven characters", REG_DWORD, {0xC0, 0x1D, 0xFE, 0xFF}, "-123456"},
      {"eight characters", REG_DWORD, {0x80, 0x96, 0x98, 0x00}, nullptr},
      {"the smallest number", REG_DWORD, {0x00, 0x00, 0x00, 0x80}, nullptr},
      {"more than four bytes", REG_BINARY, {0x20, 0x03, 0, 0, 0, 0, 0, 0}, nullptr},
      {"a text of the number", REG_SZ, {'8', '0', '0', 0}, "3158072"},
  };
  for (const ResolutionValue& c : cases) {
    SetRegistryValue(HKEY_CURRENT_USER, kHalfLife, "EngineModeW", c.type, c.data.data(),
                     static_cast<DWORD>(c.data.size()));
    SetRegistryDword(HKEY_CURRENT_USER, kHalfLife, "EngineModeH", 600);
    boxes_.Clear();
    LoadAfresh();
    EXPECT_STREQ(app.currentResHeight, "600") << c.why;
    if (c.text != nullptr) {
      EXPECT_EQ(boxes_.Texts(), Texts{}) << c.why;
      EXPECT_STREQ(app.currentResWidth, c.text) << c.why;
    } else {
      EXPECT_EQ(boxes_.Texts(), Texts{"Could not read HLV1."}) << c.why;
      EXPECT_STREQ(app.currentResWidth, "") << c.why;
    }
  }
}

TEST_F(SettingsTest, AResolutionRecordLeftBehindIsPutBackAtStart) {
  const struct {
    const char* why;
    bool wholeRecord;  // 800 x 600, else its width alone
    DWORD gameWidth;   // the game's afterwards; 640 x 480 before; 0: no game key
    bool savedSettings;
    Texts boxes;
  } cases[] = {
      {"a whole record", true, 800, true, {}},
      {"a key that only the record made goes with it", true, 800, false, {}},
      {"no game key", true, 0, true, {"Could not read Half-Life registry."}},
      {"half a record is dropped", false, 640, true, {}},
  };
  for (const auto& c : cases) {
    CleanRegistry();
    boxes_.Clear();
    if (c.gameWidth != 0) SetGameResolution(kHalfLife, 640, 480);
    for (const char* name : {"Path", "CommandLine", "DemoSpeed"})
      if (c.savedSettings) SetRegistryValue(HKEY_CURRENT_USER, kSettings, name, REG_SZ, "", 1);
    SetRegistryDword(HKEY_CURRENT_USER, kSettings, "EngineModeWToRestore", 800);
    if (c.wholeRecord) SetRegistryDword(HKEY_CURRENT_USER, kSettings, "EngineModeHToRestore", 600);
    LoadAfresh();
    EXPECT_EQ(boxes_.Texts(), c.boxes) << c.why;
    EXPECT_STREQ(app.currentResWidth, c.wholeRecord ? "800" : "640") << c.why;
    const DWORD none = 0xDEADu;
    EXPECT_EQ(ReadRegistryDword(HKEY_CURRENT_USER, kHalfLife, "EngineModeW"),
              c.gameWidth ? c.gameWidth : none)
        << c.why;
    EXPECT_EQ(ReadRegistryDword(HKEY_CURRENT_USER, kHalfLife, "EngineModeH"),
              c.gameWidth ? c.gameWidth * 3 / 4 : none)
        << c.why;
    EXPECT_EQ(RegistryKeyExists(HKEY_CURRENT_USER, kSettings), c.savedSettings) << c.why;
    EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, kSettings, "EngineModeWToRestore").exists)
        << c.why;
  }
}

TEST_F(SettingsTest, TextValuesTooLongOrWithoutTerminator) {
  std::string tooLong(300, 'p');
  SetRegistryValue(HKEY_CURRENT_USER, kSettings, "Path", REG_SZ, tooLong.c_str(),
                   static_cast<DWORD>(tooLong.size() + 1));
  // 260 characters without a terminator fill the whole buffer: one too many.
  std::string full(260, 'c');
  SetRegistryValue(HKEY_CURRENT_USER, kSettings, "CommandLine", REG_SZ, full.data(), 260);
  // 259 without a terminator still fit.
  std::string fits(259, 's');
  SetRegistryValue(HKEY_CURRENT_USER, kSettings, "DemoSpeed", REG_SZ, fits.data(), 259);
  SetGameResolution(kHalfLife, 1024, 768);
  LoadSettings(window_.handle());
  EXPECT_EQ(boxes_.Texts(), (Texts{"Could not read TKV1.", "Could not read TKV2."}));
  EXPECT_STREQ(app.gameExePath, "");
  EXPECT_STREQ(app.extraArgs, "");
  EXPECT_EQ(std::string(app.demoSpeed), fits);
  EXPECT_EQ(window_.Text(IDC_GAMEEXE), "");
  EXPECT_EQ(window_.Text(IDC_DEMOSPEED), fits);
  EXPECT_STREQ(app.currentResWidth, "1024") << "the reads after the failures still run";
}

TEST_F(SettingsTest, MissingTextValuesEachWarn) {
  SetRegistryValue(HKEY_CURRENT_USER, kSettings, "CommandLine", REG_SZ, "-x", 3);
  SetGameResolution(kHalfLife, 1024, 768);
  LoadSettings(window_.handle());
  EXPECT_EQ(boxes_.Texts(), (Texts{"Could not read TKV1.", "Could not read TKV3."}));
  EXPECT_STREQ(app.extraArgs, "-x");
}

// The library keeps its folder and place in the same key before any save:
// that key alone is no settings that cannot be read.
TEST_F(SettingsTest, AKeyOfTheLibrarysValuesAloneReadsAsNoSettings) {
  ASSERT_TRUE(WriteSetting("LibraryFolder", REG_SZ, "C:\\Demos", 9));
  SetGameResolution(kHalfLife, 1024, 768);
  LoadSettings(window_.handle());
  EXPECT_EQ(boxes_.Texts(), Texts{});
  EXPECT_STREQ(app.currentResWidth, "1024");
}

TEST_F(SettingsTest, TheLibrarysValuesAreReadOnlyWhole) {
  struct Case {
    const char* what;
    DWORD storedType;
    std::string stored;
    DWORD askedType;
    DWORD askedSize;
    bool read;
    std::string got;  // as far as the asked size, for a text up to its NUL
  };
  const Case cases[] = {
      {"a text", REG_SZ, std::string("C:\\x\0", 5), REG_SZ, 8, true, "C:\\x"},
      {"without its NUL", REG_SZ, "abc", REG_SZ, 8, true, "abc"},
      {"filling the buffer", REG_SZ, std::string("1234567\0", 8), REG_SZ, 8, true, "1234567"},
      {"one too many", REG_SZ, "12345678", REG_SZ, 8, false, ""},
      {"longer", REG_SZ, "123456789", REG_SZ, 8, false, ""},
      {"of another type", REG_BINARY, "abc", REG_SZ, 8, false, ""},
      {"bytes of the size", REG_BINARY, "wxyz", REG_BINARY, 4, true, "wxyz"},
      {"bytes too few", REG_BINARY, "wxy", REG_BINARY, 4, false, ""},
      {"bytes too many", REG_BINARY, "vwxyz", REG_BINARY, 4, false, ""},
  };
  for (const Case& c : cases) {
    SetRegistryValue(HKEY_CURRENT_USER, kSettings, "Value", c.storedType, c.stored.data(),
                     static_cast<DWORD>(c.stored.size()));
    char got[8] = {};
    const bool read = ReadSetting("Value", c.askedType, got, c.askedSize);
    EXPECT_EQ(read, c.read) << c.what;
    if (!read) continue;
    const std::string text = c.askedType == REG_SZ ? std::string(got) : std::string(got, 4);
    EXPECT_EQ(text, c.got) << c.what;
  }
  char none[8];
  EXPECT_FALSE(ReadSetting("Missing", REG_SZ, none, sizeof none));
}

TEST_F(SettingsTest, SaveWhereTheSettingsKeyCannotBeWritten) {
  CreateReadOnlyKey(HKEY_CURRENT_USER, kSettings);
  Save("C:\\HL\\hl.exe", "-x", "2");
  EXPECT_FALSE(saved_);
  EXPECT_EQ(
      boxes_.Texts(),
      (Texts{"Could not create the settings registry key.", "Could not set the path key value.",
             "Could not set the commandline key value.", "Could not set the speed key value."}));
  for (const CaughtMessageBox& box : boxes_.boxes()) EXPECT_EQ(box.icon, "warning");
  EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, kSettings, "Path").exists);
  // The association does not depend on the settings key.
  EXPECT_TRUE(HoldsText(HKEY_CLASSES_ROOT, kExtension, nullptr, "quendrix"));
}

TEST_F(SettingsTest, AssociationWithBlanksInTheProgramsPath) {
  Save("C:\\HL\\hl.exe", "", "");
  EXPECT_EQ(boxes_.Texts(), Texts{});
  EXPECT_TRUE(HoldsText(HKEY_CLASSES_ROOT, kCommand, nullptr,
                        "\"C:\\Program Files\\Quendrix Test\\quendrix.exe\" %1"));
  EXPECT_TRUE(HoldsText(HKEY_CLASSES_ROOT, kIcon, nullptr,
                        "C:\\Program Files\\Quendrix Test\\quendrix.exe,0"));
  EXPECT_TRUE(HoldsText(HKEY_CLASSES_ROOT, kExtension, nullptr, "quendrix"));
  EXPECT_TRUE(HoldsText(HKEY_CLASSES_ROOT, ".dem", nullptr, "quendrix")) << "names of any case";
  // Where HKEY_CLASSES_ROOT takes them, the user's own classes stay as they were.
  EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, UserClass(kExtension).c_str(), nullptr).exists);
}

TEST_F(SettingsTest, SavingTwiceLeavesTheSameValuesAndNoWarning) {
  Save("C:\\HL\\hl.exe", "-a", "1");
  Save("C:\\HL\\hl.exe", "-a", "1");
  EXPECT_TRUE(saved_);
  EXPECT_EQ(boxes_.Texts(), Texts{});
  EXPECT_TRUE(HoldsText(HKEY_CURRENT_USER, kSettings, "Path", "C:\\HL\\hl.exe"));
  EXPECT_TRUE(HoldsText(HKEY_CLASSES_ROOT, kIcon, nullptr,
                        "C:\\Program Files\\Quendrix Test\\quendrix.exe,0"));
  // A moved program points the association at its new place.
  lstrcpynA(app.ownExePath, "D:\\Moved\\quendrix.exe", sizeof app.ownExePath);
  Save("C:\\HL\\hl.exe", "-a", "1");
  EXPECT_TRUE(HoldsText(HKEY_CLASSES_ROOT, kCommand, nullptr, "\"D:\\Moved\\quendrix.exe\" %1"));
}

// Where the keys under HKEY_CLASSES_ROOT may not be written, as for every
// program that is not elevated since Windows Vista, the user's own classes
// hold them; only where those may not be written either is there a warning.
TEST_F(SettingsTest, AssociationKeysThatCannotBeWritten) {
  const std::string command = "\"C:\\Program Files\\Quendrix Test\\quendrix.exe\" %1";
  const struct {
    bool lockUsers;
    Texts warnings;
  } cases[] = {
      {false, {}},
      {true,
       {"Could not create the quendrix registry key.", "Could not set the shellcommand key value.",
        "Could not create the defaulticon registry key.",
        "Could not set the defaulticon key value.", "Could not create the .dem registry key.",
        "Could not set the .dem key value."}},
  };
  for (const auto& c : cases) {
    CleanRegistry();
    boxes_.Clear();
    for (const char* key : {kCommand, kIcon, kExtension}) {
      CreateReadOnlyKey(HKEY_CLASSES_ROOT, key);
      if (c.lockUsers) CreateReadOnlyKey(HKEY_CURRENT_USER, UserClass(key).c_str());
    }
    Save("C:\\HL\\hl.exe", "", "");
    EXPECT_EQ(boxes_.Texts(), c.warnings) << "users' classes locked: " << c.lockUsers;
    EXPECT_FALSE(ReadRegistryValue(HKEY_CLASSES_ROOT, kCommand, nullptr).exists);
    EXPECT_EQ(HoldsText(HKEY_CURRENT_USER, UserClass(kCommand).c_str(), nullptr, command),
              !c.lockUsers);
    EXPECT_EQ(HoldsText(HKEY_CURRENT_USER, UserClass(kExtension).c_str(), nullptr, "quendrix"),
              !c.lockUsers);
    // The settings themselves are still written.
    EXPECT_TRUE(saved_);
    EXPECT_TRUE(HoldsText(HKEY_CURRENT_USER, kSettings, "Path", "C:\\HL\\hl.exe"));
  }
}

TEST_F(SettingsTest, AProgramPathTooLongForTheCommandIsNotWrittenCut) {
  // 257 characters: with the quotes and " %1" the command has 262, the icon 259.
  std::string path = "C:\\" + std::string(250, 'q') + ".exe";
  ASSERT_EQ(path.size(), 257u);
  lstrcpynA(app.ownExePath, path.c_str(), sizeof app.ownExePath);
  Save("C:\\HL\\hl.exe", "", "");
  EXPECT_EQ(boxes_.Texts(), Texts{"Could not set the shellcommand key value."});
  EXPECT_FALSE(ReadRegistryValue(HKEY_CLASSES_ROOT, kCommand, nullptr).exists);
  EXPECT_TRUE(HoldsText(HKEY_CLASSES_ROOT, kIcon, nullptr, path + ",0"));
}

}  // namespace
