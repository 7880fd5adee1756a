// The main window in this process, built from the program's own resources
// (linked into the test): the template as the program ships it, the opening
// sequence, the colours, painting, the release at the end, and the details of
// the demo it shows.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "app/details_dialog.h"
#include "app/main_dialog.h"
#include "app/resources/resource.h"
#include "common/app_state.h"
#include "common/bitmap_writer.h"
#include "messages/demo_details.h"
#include "messages/message_reader.h"
#include "tests/win32/win32_test_support.h"
#include "tools/demo_writer.h"

namespace {

// DLGTEMPLATEEX and DLGITEMTEMPLATEEX, read field by field.
class TemplateReader {
 public:
  explicit TemplateReader(const uint8_t* at) : at_(at) {}
  uint16_t Word() {
    uint16_t value;
    memcpy(&value, at_, 2);
    at_ += 2;
    return value;
  }
  uint32_t Dword() {
    uint32_t value;
    memcpy(&value, at_, 4);
    at_ += 4;
    return value;
  }
  // A name or ordinal: 0 for none, 0xFFFF and a number, or a UTF-16 text.
  std::string NameOrOrdinal() {
    uint16_t first = Word();
    if (first == 0) return "";
    if (first == 0xFFFF) return "#" + std::to_string(Word());
    std::string text(1, static_cast<char>(first));
    for (uint16_t c = Word(); c != 0; c = Word()) text += static_cast<char>(c);
    return text;
  }
  void AlignDword(const uint8_t* start) {
    while ((at_ - start) % 4 != 0) ++at_;
  }
  const uint8_t* at() const { return at_; }
  void Skip(size_t bytes) { at_ += bytes; }

 private:
  const uint8_t* at_;
};

struct TemplateControl {
  int id;
  const char* className;
  const char* text;
  DWORD style;
  short x, y, cx, cy;
};

const DWORD kEdit = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
const DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
const TemplateControl kControls[] = {
    {IDC_BROWSEDEMO, "BUTTON", "Browse...", kButton | BS_DEFPUSHBUTTON, 255, 45, 55, 14},
    {IDC_INFO, "STATIC", "", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT, 203, 75, 84, 74},
    {IDC_DETAILS, "BUTTON", "Details", kButton | WS_DISABLED | BS_PUSHBUTTON, 203, 160, 40, 14},
    {IDC_LIBRARY, "BUTTON", "Library", kButton | BS_PUSHBUTTON, 248, 160, 39, 14},
    {IDC_PLAY, "BUTTON", "Play!", kButton | BS_DEFPUSHBUTTON, 219, 181, 55, 14},
    {IDC_GAMEEXE, "EDIT", "", kEdit, 15, 221, 162, 8},
    {IDC_SAVE, "BUTTON", "Save", kButton | BS_PUSHBUTTON, 255, 240, 55, 14},
    {IDC_EXTRAARGS, "EDIT", "", kEdit, 15, 244, 230, 8},
    {IDC_BROWSEGAMEEXE, "BUTTON", "Browse...", kButton | BS_PUSHBUTTON, 255, 218, 55, 14},
    {IDC_DEMOPATH, "EDIT", "", kEdit, 17, 48, 227, 8},
    {IDC_DEMOSPEED, "EDIT", "", kEdit, 197, 221, 48, 8},
};

TEST(MainWindowTemplate, AsTheProgramShipsIt) {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(IDD_MAIN), MAKEINTRESOURCEA(5));
  ASSERT_NE(found, nullptr);
  const uint8_t* start = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
  TemplateReader read(start);
  EXPECT_EQ(read.Word(), 1) << "version";
  EXPECT_EQ(read.Word(), 0xFFFF) << "signature of the extended form";
  read.Dword();  // help id
  EXPECT_EQ(read.Dword(), 0u) << "extended style";
  EXPECT_EQ(read.Dword(), DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                                DS_MODALFRAME | DS_SETFONT));
  ASSERT_EQ(read.Word(), 11) << "controls";
  EXPECT_EQ(read.Word(), 0);
  EXPECT_EQ(read.Word(), 0);
  EXPECT_EQ(read.Word(), 313);
  EXPECT_EQ(read.Word(), 263);
  EXPECT_EQ(read.NameOrOrdinal(), "") << "menu";
  EXPECT_EQ(read.NameOrOrdinal(), "") << "the system's dialog class";
  EXPECT_EQ(read.NameOrOrdinal(), "Quendrix") << "caption";
  EXPECT_EQ(read.Word(), 8) << "point size";
  read.Word();   // weight
  read.Skip(2);  // italic, character set
  EXPECT_EQ(read.NameOrOrdinal(), "MS Sans Serif");
  for (const TemplateControl& c : kControls) {
    read.AlignDword(start);
    read.Dword();  // help id
    EXPECT_EQ(read.Dword(), 0u) << c.id << ": no extended style, no client edge";
    EXPECT_EQ(read.Dword(), c.style) << c.id << ": no border";
    EXPECT_EQ(short(read.Word()), c.x) << c.id;
    EXPECT_EQ(short(read.Word()), c.y) << c.id;
    EXPECT_EQ(short(read.Word()), c.cx) << c.id;
    EXPECT_EQ(short(read.Word()), c.cy) << c.id;
    EXPECT_EQ(int(read.Dword()), c.id);
    EXPECT_EQ(read.NameOrOrdinal(), c.className) << c.id;
    EXPECT_EQ(read.NameOrOrdinal(), c.text) << c.id;
    read.Skip(read.Word());  // creation data
  }
}

TEST(MainWindowResources, SkinIconAndVersion) {
  HBITMAP skin =
      static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_BACKGROUND),
                                      IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ASSERT_NE(skin, nullptr);
  DIBSECTION dib;
  ASSERT_EQ(GetObjectA(skin, sizeof dib, &dib), int(sizeof dib));
  EXPECT_EQ(dib.dsBm.bmWidth, 470);
  EXPECT_EQ(dib.dsBm.bmHeight, 426);
  EXPECT_EQ(dib.dsBmih.biBitCount, 8);
  DeleteObject(skin);

  // The icon group holds a 16 x 16 and a 32 x 32 image.
  HRSRC group = FindResourceA(nullptr, MAKEINTRESOURCEA(IDI_MAIN), MAKEINTRESOURCEA(14));
  ASSERT_NE(group, nullptr);
  const uint8_t* directory =
      static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, group)));
  ASSERT_EQ(directory[4], 2);
  EXPECT_EQ(LookupIconIdFromDirectoryEx(const_cast<uint8_t*>(directory), TRUE, 16, 16, 0) != 0,
            true);
  const uint8_t* first = directory + 6;
  const uint8_t* second = directory + 6 + 14;
  EXPECT_EQ(first[0] + second[0], 16 + 32) << "widths";
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  EXPECT_GT(GetFileVersionInfoSizeA(exe, nullptr), 0u) << "a VERSIONINFO resource";
}

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    app = AppState();
    app.instanceHandle = GetModuleHandleA(nullptr);
    lstrcpynA(app.ownDir, scratch_.path().c_str(), sizeof app.ownDir);
    // The program makes them once before it starts; each test's window
    // releases them again.
    app.dialogBrush = CreateSolidBrush(RGB(68, 68, 68));
    app.editBrush = CreateSolidBrush(RGB(78, 78, 78));
    app.buttonBrush = CreateSolidBrush(RGB(65, 65, 65));
    DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Tolvanek");
    DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Valve");
    SetRegistryDword(HKEY_CURRENT_USER, "Software\\Valve\\Half-Life\\Settings", "EngineModeW", 800);
    SetRegistryDword(HKEY_CURRENT_USER, "Software\\Valve\\Half-Life\\Settings", "EngineModeH", 600);
  }
  void TearDown() override {
    if (window_ != nullptr) DestroyWindow(window_);
    DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Valve");
    app = AppState();
  }
  void Open() {
    window_ = CreateDialogParamA(app.instanceHandle, MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                 MainDialogProc, 0);
    ASSERT_NE(window_, nullptr);
  }

  ScratchDir scratch_;
  MessageBoxCatcher boxes_;
  HWND window_ = nullptr;
};

TEST_F(MainWindowTest, OpensCentredWithIconSettingsAndThePendingDemo) {
  CreateDirectoryA(scratch_.Join("maps").c_str(), nullptr);
  scratch_.Write("maps\\de_open.bmp", EncodeBitmap24(4, 4, DrawMapPreview("de_open", 4, 4)));
  DemoRecipe recipe;
  recipe.mapName = "de_open";
  std::string demo = scratch_.Write("open.dem", WriteDemo(recipe));
  lstrcpynA(app.pendingDemoPath, demo.c_str(), sizeof app.pendingDemoPath);
  Open();

  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{});
  EXPECT_NE(app.backgroundBitmap, nullptr);
  ASSERT_NE(app.smallIcon, nullptr);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(window_, WM_GETICON, ICON_SMALL, 0)),
            app.smallIcon);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(window_, WM_GETICON, ICON_BIG, 0)), app.smallIcon);
  RECT client, frame;
  GetClientRect(window_, &client);
  EXPECT_EQ(client.right, 470) << "the client area takes the skin's size";
  EXPECT_EQ(client.bottom, 427);
  GetWindowRect(window_, &frame);
  EXPECT_EQ(frame.left, (GetSystemMetrics(SM_CXFULLSCREEN) - (frame.right - frame.left)) / 2);
  EXPECT_EQ(frame.top, (GetSystemMetrics(SM_CYFULLSCREEN) - (frame.bottom - frame.top)) / 2);
  EXPECT_STREQ(app.currentResWidth, "800") << "settings before the demo";
  char info[1024];
  GetDlgItemTextA(window_, IDC_INFO, info, sizeof info);
  EXPECT_NE(strstr(info, "Current Res: 800x600\n"), nullptr) << info;
  char shown[MAX_PATH];
  GetDlgItemTextA(window_, IDC_DEMOPATH, shown, sizeof shown);
  EXPECT_EQ(demo, shown);
  EXPECT_NE(app.mapBitmap, nullptr);
  EXPECT_STREQ(app.demoPath, "") << "a pending demo is not the field's";
}

// A drop as Explorer hands it over: DROPFILES, then the paths, each ended by
// a NUL and the list by one more, in one block of global memory.
HDROP MakeDrop(const std::vector<std::string>& paths) {
  std::string list;
  for (const std::string& path : paths) list += path + '\0';
  list += '\0';
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size());
  DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = FALSE;
  memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size());
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

TEST_F(MainWindowTest, ADroppedFileLoadsAsAHandOverDoes) {
  std::string one = scratch_.Write("one.dem", WriteDemo(TestRecipe("de_one", "cstrike", 640, 480)));
  std::string two = scratch_.Write("two.dem", WriteDemo(TestRecipe("de_two", "valve", 800, 600)));
  std::string folder = scratch_.Join("a folder.dem");
  CreateDirectoryA(folder.c_str(), nullptr);
  Open();
  EXPECT_NE(GetWindowLongA(window_, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0) << "from its opening on";
  const struct {
    const char* what;
    std::vector<std::string> dropped;
    std::string pending;
    const char* map;  // in the summary afterwards
    std::vector<std::string> boxes;
  } drops[] = {
      {"one file", {one}, one, "Map: de_one\n", {}},
      {"several files: the first counts", {two, one}, two, "Map: de_two\n", {}},
      {"a folder", {folder}, folder, "Map: de_two\n", {"Could not open demofile."}},
  };
  for (const auto& d : drops) {
    boxes_.Clear();
    lstrcpynA(app.demoPath, "typed earlier", sizeof app.demoPath);
    SendMessageA(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(d.dropped)), 0);
    EXPECT_EQ(boxes_.Texts(), d.boxes) << d.what;
    EXPECT_EQ(std::string(app.pendingDemoPath), d.pending) << d.what;
    EXPECT_STREQ(app.demoPath, "typed earlier") << d.what;
    char text[1024];
    GetDlgItemTextA(window_, IDC_DEMOPATH, text, sizeof text);
    EXPECT_EQ(std::string(text), d.pending) << d.what;
    GetDlgItemTextA(window_, IDC_INFO, text, sizeof text);
    EXPECT_NE(strstr(text, d.map), nullptr) << d.what << ": " << text;
  }
}

TEST_F(MainWindowTest, ControlColours) {
  Open();
  HDC dc = CreateCompatibleDC(nullptr);
  const struct {
    UINT message;
    HBRUSH brush;
    bool coloursText;
  } cases[] = {
      {WM_CTLCOLOREDIT, app.editBrush, true},     {WM_CTLCOLORBTN, app.buttonBrush, true},
      {WM_CTLCOLORSTATIC, app.dialogBrush, true}, {WM_CTLCOLORDLG, app.dialogBrush, false},
      {WM_CTLCOLORLISTBOX, nullptr, false},       {WM_CTLCOLORSCROLLBAR, nullptr, false},
  };
  for (const auto& c : cases) {
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkMode(dc, OPAQUE);
    INT_PTR result = MainDialogProc(window_, c.message, reinterpret_cast<WPARAM>(dc), 0);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(result), c.brush) << c.message;
    EXPECT_EQ(GetTextColor(dc), c.coloursText ? RGB(188, 188, 188) : RGB(1, 2, 3)) << c.message;
    EXPECT_EQ(GetBkMode(dc), c.coloursText ? TRANSPARENT : OPAQUE) << c.message;
  }
  DeleteDC(dc);
}

TEST_F(MainWindowTest, PaintsTheSkinAndThePreviewAt37And125) {
  Open();
  std::vector<Rgb> preview = DrawMapPreview("de_paint", 20, 10);
  scratch_.Write("paint.bmp", EncodeBitmap24(20, 10, preview));
  app.mapBitmap = static_cast<HBITMAP>(
      LoadImageA(nullptr, scratch_.Join("paint.bmp").c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  ASSERT_NE(app.mapBitmap, nullptr);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP canvas = CreateCompatibleBitmap(screen, 470, 427);
  ReleaseDC(nullptr, screen);
  HGDIOBJ previous = SelectObject(dc, canvas);
  PaintWindow(dc);
  EXPECT_EQ(GetPixel(dc, 24, 85), RGB(77, 75, 75)) << "demo box";
  EXPECT_EQ(GetPixel(dc, 25, 110), RGB(68, 68, 68)) << "main panel";
  EXPECT_EQ(GetPixel(dc, 37, 125), RGB(preview[0].r, preview[0].g, preview[0].b));
  EXPECT_EQ(GetPixel(dc, 56, 134), RGB(preview.back().r, preview.back().g, preview.back().b));
  EXPECT_EQ(GetPixel(dc, 57, 135), RGB(68, 68, 68)) << "no more than the preview's own size";
  SelectObject(dc, previous);
  DeleteObject(canvas);
  DeleteDC(dc);
}

TEST_F(MainWindowTest, ALargerWindowIsCentredAtNegativeCoordinates) {
  Open();
  int width = GetSystemMetrics(SM_CXFULLSCREEN) + 301;
  int height = GetSystemMetrics(SM_CYFULLSCREEN) + 101;
  MoveWindow(window_, 0, 0, width, height, FALSE);
  CenterWindow(window_);
  RECT frame;
  GetWindowRect(window_, &frame);
  EXPECT_EQ(frame.left, -301 / 2);
  EXPECT_EQ(frame.top, -101 / 2);
  EXPECT_EQ(frame.right - frame.left, width);
}

TEST_F(MainWindowTest, ReleasesItsGraphicsWhenDestroyed) {
  Open();
  HGDIOBJ skin = app.backgroundBitmap;
  HGDIOBJ brush = app.editBrush;
  app.mapBitmap = CreateBitmap(2, 2, 1, 32, nullptr);
  HGDIOBJ preview = app.mapBitmap;
  DestroyWindow(window_);
  window_ = nullptr;
  EXPECT_EQ(GetObjectType(skin), 0u);
  EXPECT_EQ(GetObjectType(brush), 0u);
  EXPECT_EQ(GetObjectType(preview), 0u);
  EXPECT_EQ(app.mapBitmap, nullptr);
  EXPECT_EQ(app.smallIcon, nullptr);
}

// "Вася: привет" as a player writes it, and as the edit holds it.
const char kCyrillicUtf8[] =
    "\xD0\x92\xD0\xB0\xD1\x81\xD1\x8F: \xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\n";
const wchar_t kCyrillicWide[] =
    L"\u0412\u0430\u0441\u044F: \u043F\u0440\u0438\u0432\u0435\u0442\r\n";

// The details of the demo read whole, apart from the windows that the dialog
// reads it in.
std::string DetailsOfWhole(const std::vector<uint8_t>& bytes) {
  MessageReader reader;
  const WindowReader also = MessageWindowReader(&reader);
  const DemoInspection demo = InspectDemo(bytes.data(), bytes.size(), &also);
  return ComposeDetails(demo, MessageReaderResult(&reader), false);
}

std::wstring WideText(HWND window) {
  std::wstring text(size_t(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(size_t(GetWindowTextW(window, &text[0], int(text.size()))));
  return text;
}

// What the details dialog held as it opened. Wine keeps every script in an
// ANSI edit too, Windows only the code page's: so whether it is wide counts.
struct DetailsSeen {
  HWND dialog = nullptr;
  std::wstring title, text, cyrillic;  // cyrillic: kCyrillicUtf8 put in as the details are
  bool wide = false;
};
DetailsSeen* detailsSeen = nullptr;

// Reads the details dialog as it opens, then presses Esc in its text: the
// click returns once that has closed it.
LRESULT CALLBACK ReadDetailsAndPressEsc(int code, WPARAM wParam, LPARAM lParam) {
  HWND dialog = reinterpret_cast<HWND>(wParam);
  HWND text = code == HCBT_ACTIVATE ? GetDlgItem(dialog, IDC_DETAILSTEXT) : nullptr;
  if (text != nullptr) {
    DetailsSeen& seen = *detailsSeen;
    seen.dialog = dialog;
    seen.title = WideText(dialog);
    seen.text = WideText(text);
    seen.wide = IsWindowUnicode(text) != FALSE;
    std::wstring cyrillic = DetailsForEdit(kCyrillicUtf8);
    SendMessageW(text, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(cyrillic.c_str()));
    seen.cyrillic = WideText(text);
    PostMessageW(text, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(text, WM_KEYUP, VK_ESCAPE, 0xC0010001);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MainWindowTest, DetailsOfTheDemoShown) {
  std::string good =
      scratch_.Write("good.dem", WriteDemo(TestRecipe("de_good", "cstrike", 800, 600)));
  std::string other =
      scratch_.Write("other.dem", WriteDemo(TestRecipe("de_other", "valve", 640, 480)));
  // Players who write their names in Cyrillic, read where the recording lies.
  std::string players = std::string("Z:") + QUENDRIX_CORPUS_DIR + "/normvozduh.dem";
  std::string gone = scratch_.Join("gone.dem");
  const std::vector<std::string> cannotOpen = {"Could not open demofile."};
  Open();
  enum { kNothing, kTypeInField, kHandOver, kDeleteShown };
  const struct {
    const char* what;
    int action;
    std::string path;
    std::vector<std::string> loadBoxes;
    bool enabled;
    std::string details;  // whose details the dialog shows; it does not open when empty
    std::vector<std::string> clickBoxes;  // all errors
  } steps[] = {
      {"before any demo", kNothing, "", {}, false, "", {}},
      {"a demo typed in", kTypeInField, good, {}, true, good, {}},
      {"a missing file typed in", kTypeInField, gone, cannotOpen, false, "", {}},
      {"a players' recording", kTypeInField, players, {}, true, players, {}},
      {"a demo handed over", kHandOver, other, {}, true, other, {}},
      {"the shown demo deleted since", kDeleteShown, other, {}, true, "", cannotOpen},
  };
  for (const auto& s : steps) {
    if (s.path == players && ReadFileBytes(players).empty()) continue;  // no recordings here
    boxes_.Clear();
    if (s.action == kTypeInField) {
      SetDlgItemTextA(window_, IDC_DEMOPATH, s.path.c_str());
      SendMessageA(window_, WM_COMMAND, IDOK, 0);
    } else if (s.action == kHandOver) {
      lstrcpynA(app.pendingDemoPath, s.path.c_str(), sizeof app.pendingDemoPath);
      LoadPendingDemo(window_);
    } else if (s.action == kDeleteShown) {
      DeleteFileA(s.path.c_str());
    }
    EXPECT_EQ(boxes_.Texts(), s.loadBoxes) << s.what;
    EXPECT_EQ(IsWindowEnabled(GetDlgItem(window_, IDC_DETAILS)) != FALSE, s.enabled) << s.what;
    if (!s.enabled) continue;

    boxes_.Clear();
    DetailsSeen seen;
    detailsSeen = &seen;
    HHOOK hook = SetWindowsHookExW(WH_CBT, ReadDetailsAndPressEsc, nullptr, GetCurrentThreadId());
    SendMessageA(window_, WM_COMMAND, IDC_DETAILS, 0);
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(boxes_.Texts(), s.clickBoxes) << s.what;
    for (const CaughtMessageBox& box : boxes_.boxes()) EXPECT_EQ(box.icon, "error") << s.what;
    EXPECT_EQ(seen.dialog != nullptr, !s.details.empty()) << s.what;
    if (s.details.empty()) continue;
    std::vector<uint8_t> bytes = ReadFileBytes(s.details);
    EXPECT_EQ(seen.title, L"Demo details") << s.what;
    EXPECT_EQ(seen.text, DetailsForEdit(DetailsOfWhole(bytes))) << s.what;
    EXPECT_EQ(seen.cyrillic, kCyrillicWide) << s.what;
    EXPECT_TRUE(seen.wide) << s.what;
    EXPECT_FALSE(IsWindow(seen.dialog)) << s.what << ": closed by Esc";
  }
}

}  // namespace
