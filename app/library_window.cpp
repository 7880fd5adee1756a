#include "app/library_window.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "app/commands.h"
#include "app/main_dialog.h"
#include "app/resources/resource.h"
#include "common/app_state.h"
#include "common/message_box.h"
#include "common/text_format.h"
#include "common/wide_text.h"
#include "demo/duration_text.h"
#include "game/settings.h"
#include "library/demo_folder.h"
#include "library/library_entry.h"

namespace {

// The reading thread has something new for the window.
constexpr UINT kReadingNews = WM_APP + 1;
// Rows read one by one are shown a few times a second, not one by one: each
// showing searches and sorts them all.
constexpr UINT_PTR kNewsTimer = 1;
constexpr DWORD kNewsInterval = 150;  // milliseconds

// What the reading thread hands over to the window, under the lock.
struct ReadingNews {
  std::vector<LibraryEntry> entries;
  bool listed = false;
  FolderStatus status = FolderStatus::kListed;
  std::vector<UnlistedFolder> unlisted;
  size_t toRead = 0;
  size_t read = 0;
  bool ended = false;
  bool posted = false;  // a kReadingNews is on its way
};

struct Reading {
  HWND window = nullptr;
  std::string folder;
  std::atomic<bool> stop{false};
  CRITICAL_SECTION lock;
  ReadingNews news;
};

// The window's side: every entry read so far and the rows shown of them.
struct Library {
  HWND mainWindow = nullptr;
  std::string folder;
  std::string shownFolder;  // UTF-8, as the entries' shown paths begin
  std::vector<LibraryEntry> entries;
  std::vector<size_t> rows;
  std::string search;  // UTF-8
  LibraryColumn sortColumn = LibraryColumn::kModified;
  bool ascending = false;  // the newest first
  Reading* reading = nullptr;
  HANDLE thread = nullptr;
  HHOOK keysHook = nullptr;
  // The state of the last news, which the status line shows.
  ReadingNews progress;
  DWORD newsTakenAt = 0;
  bool newsTimer = false;
};
Library library;

struct Column {
  LibraryColumn column;
  const wchar_t* title;
  int width;  // dialog units
  bool number;
};
const Column kColumns[kLibraryColumnCount] = {
    {LibraryColumn::kFileName, L"File name", 96, false},
    {LibraryColumn::kFolder, L"Folder", 62, false},
    {LibraryColumn::kModified, L"Date modified", 66, false},
    {LibraryColumn::kSize, L"Size", 36, true},
    {LibraryColumn::kMap, L"Map", 54, false},
    {LibraryColumn::kMod, L"Mod", 32, false},
    {LibraryColumn::kDuration, L"Duration", 38, true},
    {LibraryColumn::kServer, L"Server", 64, false},
    {LibraryColumn::kRecorder, L"Recorder", 48, false},
    {LibraryColumn::kPlayers, L"Players", 34, true},
    {LibraryColumn::kKills, L"Kills", 26, true},
    {LibraryColumn::kIntact, L"Intact", 30, false},
};

// ---- The index, a cache: any failure to read or write it only costs reading
// the demos again.

std::string IndexPath() {
  char folder[MAX_PATH];
  if (SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, folder) != S_OK) {
    return std::string();
  }
  return std::string(folder) + "\\Quendrix\\library.idx";
}

// An index larger than this is not one the library wrote.
constexpr DWORD kIndexLimit = 256u * 1024 * 1024;

std::vector<LibraryEntry> ReadIndexFile() {
  std::vector<LibraryEntry> entries;
  const std::string path = IndexPath();
  HANDLE file = path.empty() ? INVALID_HANDLE_VALUE
                             : CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return entries;
  DWORD sizeHigh = 0;
  const DWORD size = GetFileSize(file, &sizeHigh);
  if (size != INVALID_FILE_SIZE && sizeHigh == 0 && size <= kIndexLimit) {
    std::string bytes(size, '\0');
    DWORD read = 0;
    if (ReadFile(file, &bytes[0], size, &read, nullptr) && read == size) {
      LoadLibraryIndex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &entries);
    }
  }
  CloseHandle(file);
  return entries;
}

// Written under a temporary name and then put in place, so that an index is
// always whole.
void WriteIndexFile(const std::vector<LibraryEntry>& entries) {
  const std::string path = IndexPath();
  if (path.empty()) return;
  CreateDirectoryA(path.substr(0, path.rfind('\\')).c_str(), nullptr);
  const std::string temporary = path + ".new";
  HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string bytes = SaveLibraryIndex(entries);
  DWORD written = 0;
  const bool whole =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  CloseHandle(file);
  if (!whole || !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileA(temporary.c_str());
  }
}

// ---- The reading thread.

// Hands news over; the window is told once until it has taken them.
template <typename Change>
void Tell(Reading* reading, Change change) {
  EnterCriticalSection(&reading->lock);
  change(reading->news);
  const bool post = !reading->news.posted;
  reading->news.posted = true;
  LeaveCriticalSection(&reading->lock);
  if (post) PostMessageW(reading->window, kReadingNews, 0, 0);
}

DWORD WINAPI ReadLibrary(void* parameter) {
  Reading* reading = static_cast<Reading*>(parameter);
  std::vector<LibraryEntry> indexed = ReadIndexFile();
  std::vector<FoundDemo> listed;
  std::vector<UnlistedFolder> unlisted;
  const FolderStatus status =
      ListDemoFolder(reading->folder.c_str(), &listed, &unlisted, &reading->stop);
  // A listing cut short would drop from the index what it did not reach.
  if (status != FolderStatus::kListed || reading->stop) {
    Tell(reading, [&](ReadingNews& news) {
      news.status = status;
      news.ended = true;
    });
    return 0;
  }
  LibraryPlan plan = PlanLibrary(std::move(indexed), reading->folder, listed);
  std::vector<LibraryEntry> kept = plan.unchanged;
  Tell(reading, [&](ReadingNews& news) {
    news.listed = true;
    news.unlisted = std::move(unlisted);
    news.toRead = plan.toRead.size();
    news.entries = std::move(plan.unchanged);
  });
  for (const FoundDemo& file : plan.toRead) {
    if (reading->stop) break;
    LibraryEntry entry = ReadLibraryEntry(file);
    kept.push_back(entry);
    Tell(reading, [&](ReadingNews& news) {
      news.entries.push_back(std::move(entry));
      ++news.read;
    });
  }
  // What was read is kept even when the reading was stopped.
  for (LibraryEntry& entry : kept) plan.elsewhere.push_back(std::move(entry));
  WriteIndexFile(plan.elsewhere);
  Tell(reading, [&](ReadingNews& news) { news.ended = true; });
  return 0;
}

void StopReading() {
  if (library.thread == nullptr) return;
  library.reading->stop = true;
  WaitForSingleObject(library.thread, INFINITE);
  CloseHandle(library.thread);
  DeleteCriticalSection(&library.reading->lock);
  delete library.reading;
  library.thread = nullptr;
  library.reading = nullptr;
}

// ---- The window's side.

HWND List() {
  return GetDlgItem(app.libraryWindow, IDC_LIBRARYLIST);
}

void ShowTitle() {
  SetWindowTextA(app.libraryWindow,
                 FormatText("Demo library (%u of %u)", static_cast<unsigned>(library.rows.size()),
                            static_cast<unsigned>(library.entries.size()))
                     .c_str());
}

void ShowStatus() {
  const ReadingNews& progress = library.progress;
  std::string text;
  if (library.folder.empty()) {
    text = "No folder yet: choose one with \"Folder...\".";
  } else if (progress.status != FolderStatus::kListed) {
    text = library.folder + ": the folder does not exist or cannot be read.";
  } else if (!progress.listed) {
    text = "Looking for demos in " + library.folder + "...";
  } else if (!progress.ended) {
    text = FormatText("Reading %u of %u new or changed demos in %s",
                      static_cast<unsigned>(progress.read + 1),
                      static_cast<unsigned>(progress.toRead), library.folder.c_str());
  } else {
    text = library.folder;
    if (!progress.unlisted.empty()) {
      text += FormatText(" (%u folders in it could not be read)",
                         static_cast<unsigned>(progress.unlisted.size()));
    }
  }
  SetDlgItemTextA(app.libraryWindow, IDC_LIBRARYSTATUS, text.c_str());
}

int SelectedRow() {
  return static_cast<int>(
      SendMessageW(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void SelectRow(int row) {
  LVITEMW item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = 0;
  SendMessageW(List(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
  if (row < 0) return;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(List(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  SendMessageW(List(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

// The rows again after the entries, the search or the order changed; the
// selected demo stays selected where it is still shown.
void ShowRows() {
  const int selected = SelectedRow();
  const size_t selectedEntry = selected >= 0 && static_cast<size_t>(selected) < library.rows.size()
                                   ? library.rows[static_cast<size_t>(selected)]
                                   : library.entries.size();
  library.rows.clear();
  for (size_t i = 0; i < library.entries.size(); ++i) {
    if (MatchesSearch(library.entries[i], library.search)) library.rows.push_back(i);
  }
  SortLibraryRows(library.entries, &library.rows, library.sortColumn, library.ascending);
  SendMessageW(List(), LVM_SETITEMCOUNT, library.rows.size(), LVSICF_NOSCROLL);
  const auto at = std::find(library.rows.begin(), library.rows.end(), selectedEntry);
  if (selected >= 0)
    SelectRow(at == library.rows.end() ? -1 : static_cast<int>(at - library.rows.begin()));
  InvalidateRect(List(), nullptr, FALSE);
  ShowTitle();
}

void TakeNews() {
  if (library.reading == nullptr) return;
  Reading* reading = library.reading;
  EnterCriticalSection(&reading->lock);
  ReadingNews& news = reading->news;
  for (LibraryEntry& entry : news.entries) library.entries.push_back(std::move(entry));
  news.entries.clear();
  news.posted = false;
  library.progress.listed = news.listed;
  library.progress.status = news.status;
  library.progress.unlisted = news.unlisted;
  library.progress.toRead = news.toRead;
  library.progress.read = news.read;
  library.progress.ended = news.ended;
  LeaveCriticalSection(&reading->lock);
  library.newsTakenAt = GetTickCount();
  ShowRows();
  ShowStatus();
  if (library.progress.status != FolderStatus::kListed) {
    StopReading();
    ShowMessage(("The folder \"" + library.folder +
                 "\" does not exist or cannot be read. Choose another with \"Folder...\".")
                    .c_str(),
                MB_ICONWARNING);
  }
}

// At once when the last were taken a while ago, as the rows that the index
// keeps are; else with the next tick.
void TakeNewsSoon(HWND window) {
  if (library.newsTimer) return;
  if (GetTickCount() - library.newsTakenAt >= kNewsInterval) {
    TakeNews();
    return;
  }
  library.newsTimer = SetTimer(window, kNewsTimer, kNewsInterval, nullptr) != 0;
  if (!library.newsTimer) TakeNews();
}

// Lists the folder afresh: the rows of the last one go.
void StartReading(const std::string& folder) {
  StopReading();
  library.folder = folder;
  library.shownFolder = Utf8Text(WideText(folder, CP_ACP));
  library.entries.clear();
  library.progress = ReadingNews();
  ShowRows();
  ShowStatus();
  if (folder.empty()) return;
  library.reading = new Reading;
  library.reading->window = app.libraryWindow;
  library.reading->folder = folder;
  InitializeCriticalSection(&library.reading->lock);
  library.thread = CreateThread(nullptr, 0, ReadLibrary, library.reading, 0, nullptr);
  if (library.thread == nullptr) {
    DeleteCriticalSection(&library.reading->lock);
    delete library.reading;
    library.reading = nullptr;
    ShowMessage("Could not start reading the library's folder.", MB_ICONERROR);
  }
}

// The folder chosen last, else the game's: every mod's demos.
std::string DefaultFolder() {
  char folder[kPathSize] = "";
  if (ReadSetting("LibraryFolder", REG_SZ, folder, sizeof folder) && folder[0] != '\0') {
    return folder;
  }
  return app.gameDir;
}

void ChooseFolder() {
  BROWSEINFOA browse = {};
  char name[MAX_PATH] = "";
  browse.hwndOwner = app.libraryWindow;
  browse.pszDisplayName = name;
  browse.lpszTitle = "The folder whose demos the library lists, subfolders included:";
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  LPITEMIDLIST chosen = SHBrowseForFolderA(&browse);
  if (chosen == nullptr) return;
  char folder[MAX_PATH] = "";
  const bool hasPath = SHGetPathFromIDListA(chosen, folder) != FALSE;
  CoTaskMemFree(chosen);
  if (!hasPath) return;
  WriteSetting("LibraryFolder", REG_SZ, folder, static_cast<DWORD>(strlen(folder) + 1));
  StartReading(folder);
}

// Loads the demo into the main window as "Browse..." would, and brings it to
// the front: "Play!" is one click away.
void LoadRow(int row) {
  if (row < 0 || static_cast<size_t>(row) >= library.rows.size()) return;
  const LibraryEntry& entry = library.entries[library.rows[static_cast<size_t>(row)]];
  HWND main = library.mainWindow;
  if (entry.file.path.size() >= sizeof app.demoPath) {
    ShowMessage("The demo's path is too long for the demo field.", MB_ICONERROR);
    return;
  }
  if (IsIconic(main)) ShowWindow(main, SW_RESTORE);
  SetForegroundWindow(main);
  SetDlgItemTextA(main, IDC_DEMOPATH, entry.file.path.c_str());
  LoadDemoFromField(main);
}

std::string SizeText(uint64_t bytes) {
  std::string digits = std::to_string((bytes + 1023) / 1024);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits + " KB";
}

std::string ModifiedText(int64_t ticks) {
  FILETIME utc = {static_cast<DWORD>(ticks),
                  static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32)};
  FILETIME local;
  SYSTEMTIME time;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &time)) return "";
  return FormatText("%04u-%02u-%02u %02u:%02u", time.wYear, time.wMonth, time.wDay, time.wHour,
                    time.wMinute);
}

// The folder below the library's own, which all rows share: "." for the
// library's own folder.
std::string FolderInLibrary(const LibraryEntry& entry) {
  const std::string folder = EntryFolder(entry);
  const std::string& root = library.shownFolder;
  if (folder.compare(0, root.size(), root) != 0) return folder;
  size_t from = root.size();
  while (from < folder.size() && (folder[from] == '\\' || folder[from] == '/')) ++from;
  return from < folder.size() ? folder.substr(from) : ".";
}

std::string CellText(const LibraryEntry& entry, LibraryColumn column) {
  switch (column) {
    case LibraryColumn::kFileName: return EntryFileName(entry);
    case LibraryColumn::kFolder: return FolderInLibrary(entry);
    case LibraryColumn::kModified: return ModifiedText(entry.file.modified);
    case LibraryColumn::kSize: return SizeText(entry.file.size);
    default: break;
  }
  // A file that is not a demo says why where its map would be.
  if (!entry.isDemo) return column == LibraryColumn::kMap ? entry.problem : std::string();
  switch (column) {
    case LibraryColumn::kMap: return entry.map;
    case LibraryColumn::kMod: return entry.mod;
    case LibraryColumn::kDuration: return entry.duration < 0 ? "" : ClockText(entry.duration);
    case LibraryColumn::kServer: return entry.server;
    case LibraryColumn::kRecorder: return entry.recorder;
    case LibraryColumn::kPlayers: return std::to_string(entry.players.size());
    case LibraryColumn::kKills: return std::to_string(entry.kills);
    case LibraryColumn::kIntact: return entry.intact ? "yes" : "no";
    default: return std::string();
  }
}

void GiveCell(NMLVDISPINFOW* asked) {
  LVITEMW& item = asked->item;
  if (!(item.mask & LVIF_TEXT) || item.cchTextMax <= 0) return;
  if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= library.rows.size() ||
      item.iSubItem < 0 || item.iSubItem >= kLibraryColumnCount) {
    item.pszText[0] = L'\0';
    return;
  }
  const LibraryEntry& entry = library.entries[library.rows[static_cast<size_t>(item.iItem)]];
  const std::wstring text = WideText(CellText(entry, kColumns[item.iSubItem].column), CP_UTF8);
  lstrcpynW(item.pszText, text.c_str(), item.cchTextMax);
}

void SortBy(int columnIndex) {
  if (columnIndex < 0 || columnIndex >= kLibraryColumnCount) return;
  const LibraryColumn column = kColumns[columnIndex].column;
  library.ascending = column == library.sortColumn ? !library.ascending : true;
  library.sortColumn = column;
  ShowRows();
}

void TakeSearch() {
  HWND field = GetDlgItem(app.libraryWindow, IDC_LIBRARYSEARCH);
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(field)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(field, &text[0], static_cast<int>(text.size()))));
  library.search = Utf8Text(text);
  ShowRows();
}

// Dialog units of the layout.
const int kMargin = 7;
const int kButtonWidth = 50;
const int kButtonHeight = 14;
const int kSearchWidth = 150;
const int kSearchLabelWidth = 28;

void Layout(HWND window) {
  RECT units = {kMargin, kButtonHeight, kButtonWidth, kSearchWidth};
  MapDialogRect(window, &units);
  RECT label = {kSearchLabelWidth, 0, 0, 0};
  MapDialogRect(window, &label);
  const int margin = units.left;
  const int height = units.top;
  const int buttonWidth = units.right;
  const int searchWidth = units.bottom;
  const int labelWidth = label.left;
  RECT area;
  GetClientRect(window, &area);
  const int right = static_cast<int>(area.right);
  const int bottom = static_cast<int>(area.bottom);
  const int searchLeft = std::max(right - margin - searchWidth, margin);
  MoveWindow(GetDlgItem(window, IDC_LIBRARYFOLDER), margin, margin, buttonWidth, height, TRUE);
  const int statusLeft = 2 * margin + buttonWidth;
  MoveWindow(GetDlgItem(window, IDC_LIBRARYSTATUS), statusLeft, margin + height / 4,
             std::max(searchLeft - labelWidth - margin - statusLeft, 0), height, TRUE);
  MoveWindow(GetDlgItem(window, IDC_LIBRARYSEARCHLABEL), searchLeft - labelWidth,
             margin + height / 4, labelWidth, height, TRUE);
  MoveWindow(GetDlgItem(window, IDC_LIBRARYSEARCH), searchLeft, margin, searchWidth, height, TRUE);
  const int listTop = 2 * margin + height;
  MoveWindow(List(), margin, listTop, std::max(right - 2 * margin, 0),
             std::max(bottom - listTop - margin, 0), TRUE);
}

void AddColumns(HWND window) {
  HWND list = List();
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
  for (int i = 0; i < kLibraryColumnCount; ++i) {
    RECT width = {kColumns[i].width, 0, 0, 0};
    MapDialogRect(window, &width);
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = kColumns[i].number ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.cx = width.left;
    column.pszText = const_cast<wchar_t*>(kColumns[i].title);
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(&column));
  }
}

// The size and place of the last closing, where they are still on a screen.
void RestorePlace(HWND window) {
  WINDOWPLACEMENT place = {};
  if (ReadSetting("LibraryPlace", REG_BINARY, &place, sizeof place) &&
      place.length == sizeof place &&
      MonitorFromRect(&place.rcNormalPosition, MONITOR_DEFAULTTONULL) != nullptr) {
    place.showCmd = place.showCmd == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    place.flags = 0;
    SetWindowPlacement(window, &place);
    return;
  }
  CenterWindow(window);
  ShowWindow(window, SW_SHOWNORMAL);
}

void KeepPlace(HWND window) {
  WINDOWPLACEMENT place = {};
  place.length = sizeof place;
  if (GetWindowPlacement(window, &place)) {
    WriteSetting("LibraryPlace", REG_BINARY, &place, sizeof place);
  }
}

// The main window's modal loop passes every message through its dialog
// manager's filter: there the library's own keys (Tab, Enter, Esc) are given
// to the library's dialog manager.
LRESULT CALLBACK LibraryKeys(int code, WPARAM wParam, LPARAM lParam) {
  static bool inside = false;  // the library's dialog manager calls the filter too
  MSG* message = reinterpret_cast<MSG*>(lParam);
  if (code == MSGF_DIALOGBOX && !inside && app.libraryWindow != nullptr &&
      message->hwnd != nullptr &&
      (message->hwnd == app.libraryWindow || IsChild(app.libraryWindow, message->hwnd))) {
    inside = true;
    const bool handled = IsDialogMessageW(app.libraryWindow, message) != FALSE;
    inside = false;
    if (handled) return 1;
  }
  return CallNextHookEx(library.keysHook, code, wParam, lParam);
}

void OpenLibraryWindow(HWND window) {
  app.libraryWindow = window;
  if (app.smallIcon != nullptr) {
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(app.smallIcon));
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(app.smallIcon));
  }
  AddColumns(window);
  Layout(window);
  library.keysHook = SetWindowsHookExW(WH_MSGFILTER, LibraryKeys, nullptr, GetCurrentThreadId());
}

void CloseLibraryWindow(HWND window) {
  StopReading();
  KeepPlace(window);
  if (library.keysHook != nullptr) UnhookWindowsHookEx(library.keysHook);
  library.keysHook = nullptr;
  DestroyWindow(window);  // and its timer
  library.newsTimer = false;
  app.libraryWindow = nullptr;
  library.entries.clear();
  library.entries.shrink_to_fit();
  library.rows.clear();
}

INT_PTR Notify(const NMHDR* header) {
  if (header->idFrom != IDC_LIBRARYLIST) return FALSE;
  switch (header->code) {
    case LVN_GETDISPINFOW:
      GiveCell(reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(header)));
      return TRUE;
    case LVN_COLUMNCLICK:
      SortBy(reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
      return TRUE;
    case NM_DBLCLK: LoadRow(reinterpret_cast<const NMITEMACTIVATE*>(header)->iItem); return TRUE;
    case NM_RETURN: LoadRow(SelectedRow()); return TRUE;
  }
  return FALSE;
}

// Enter loads the selected demo, or the first shown when none is selected:
// typing a search and Enter opens what it found.
void Command(WORD control, WORD code) {
  switch (control) {
    case IDOK: LoadRow(library.rows.empty() ? -1 : std::max(SelectedRow(), 0)); break;
    case IDCANCEL: CloseLibraryWindow(app.libraryWindow); break;
    case IDC_LIBRARYFOLDER: ChooseFolder(); break;
    case IDC_LIBRARYSEARCH:
      if (code == EN_CHANGE) TakeSearch();
      break;
  }
}

INT_PTR CALLBACK LibraryDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: OpenLibraryWindow(window); return TRUE;
    case WM_SIZE: Layout(window); return TRUE;
    case WM_GETMINMAXINFO: {
      RECT least = {220, 120, 0, 0};
      MapDialogRect(window, &least);
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {least.left, least.top};
      return TRUE;
    }
    case WM_NOTIFY: {
      const INT_PTR result = Notify(reinterpret_cast<const NMHDR*>(lParam));
      SetWindowLongPtrW(window, DWLP_MSGRESULT, 0);
      return result;
    }
    case WM_COMMAND: Command(LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_CLOSE: CloseLibraryWindow(window); return TRUE;
    case kReadingNews: TakeNewsSoon(window); return TRUE;
    case WM_TIMER:
      if (wParam != kNewsTimer) return FALSE;
      KillTimer(window, kNewsTimer);
      library.newsTimer = false;
      TakeNews();
      return TRUE;
  }
  return FALSE;
}

}  // namespace

void OpenLibrary(HWND mainWindow, const char* folder) {
  library.mainWindow = mainWindow;
  if (app.libraryWindow == nullptr) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    // Of no owner: the main window can come in front of it.
    if (CreateDialogParamW(app.instanceHandle, MAKEINTRESOURCEW(IDD_LIBRARY), nullptr,
                           LibraryDialogProc, 0) == nullptr) {
      ShowMessage("Could not open the library window.", MB_ICONERROR);
      return;
    }
    RestorePlace(app.libraryWindow);
    StartReading(folder[0] != '\0' ? folder : DefaultFolder());
  } else if (folder[0] != '\0') {
    StartReading(folder);
  }
  if (IsIconic(app.libraryWindow)) ShowWindow(app.libraryWindow, SW_RESTORE);
  SetForegroundWindow(app.libraryWindow);
}

void CloseLibrary() {
  if (app.libraryWindow != nullptr) CloseLibraryWindow(app.libraryWindow);
}
