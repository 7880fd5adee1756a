#include "app/details_dialog.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "app/main_dialog.h"
#include "app/resources/resource.h"
#include "common/app_state.h"
#include "common/message_box.h"
#include "common/wide_text.h"
#include "demo/demo_file.h"
#include "demo/duration_text.h"
#include "demo/repair_file.h"
#include "game/playback.h"
#include "messages/demo_details.h"
#include "messages/message_reader.h"
#include "messages/trim_file.h"

namespace {

// What the open dialog shows, and of which demo.
struct DetailsShown {
  const wchar_t* text;
  HWND owner;
  char* path;
  WNDPROC textProc;
};
DetailsShown shown;

// The caret may have moved to another line of the text.
constexpr UINT kCaretMoved = WM_APP + 1;
// A kill or chat line clicked puts its moment, less these seconds, in "From".
constexpr double kLeadIn = 5.0;

// Dialog units of the layout, as in the template.
const int kTextMargin = 7;
const int kRowHeight = 14;
struct RowPlace {
  int control;
  int left, top, width;  // top from the row's top; 0 for the buttons
};
const RowPlace kRow[] = {
    {IDC_TRIMFROMLABEL, 0, 3, 22},
    {IDC_TRIMFROM, 24, 0, 40},
    {IDC_PLAYFROM, 70, 0, 62},
    {IDC_SAVEPART, 138, 0, 56},
};

// The text fills the client area but for its margin and the row of the part
// below it, at any size.
void FitText(HWND dialog) {
  RECT units = {kTextMargin, kRowHeight, 0, 0};
  MapDialogRect(dialog, &units);
  const int margin = units.left;
  const int rowHeight = units.top;
  RECT client;
  GetClientRect(dialog, &client);
  const int width = client.right - 2 * margin;
  const int height = client.bottom - 3 * margin - rowHeight;
  MoveWindow(GetDlgItem(dialog, IDC_DETAILSTEXT), margin, margin, std::max(width, 0),
             std::max(height, 0), TRUE);
  const int rowTop = std::max(static_cast<int>(client.bottom) - margin - rowHeight, 0);
  for (const RowPlace& place : kRow) {
    RECT box = {place.left, place.top, place.left + place.width, 0};
    MapDialogRect(dialog, &box);
    MoveWindow(GetDlgItem(dialog, place.control), margin + box.left, rowTop + box.top,
               box.right - box.left, rowHeight - box.top, TRUE);
  }
}

// Clicks and keys move the caret in the read-only text: the dialog looks at
// its line once the text has moved it.
LRESULT CALLBACK WatchCaret(HWND text, UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CallWindowProcW(shown.textProc, text, message, wParam, lParam);
  if (message == WM_LBUTTONUP || message == WM_KEYUP) {
    PostMessageW(GetParent(text), kCaretMoved, 0, 0);
  }
  return result;
}

// The text wraps long lines: the caret's line is found between line breaks
// in the text, not by the edit's lines on screen.
void TakeMomentOfCaretLine(HWND dialog) {
  HWND text = GetDlgItem(dialog, IDC_DETAILSTEXT);
  DWORD caret = 0;
  SendMessageW(text, EM_GETSEL, reinterpret_cast<WPARAM>(&caret), 0);
  std::wstring all(static_cast<size_t>(GetWindowTextLengthW(text)) + 1, L'\0');
  all.resize(static_cast<size_t>(GetWindowTextW(text, &all[0], static_cast<int>(all.size()))));
  if (caret > all.size()) return;
  const size_t before = caret == 0 ? std::wstring::npos : all.rfind(L'\n', caret - 1);
  const size_t start = before == std::wstring::npos ? 0 : before + 1;
  const size_t end = std::min(all.find(L'\r', start), all.find(L'\n', start));
  double moment = 0;
  if (MomentOfLine(Utf8Text(all.substr(start, end == std::wstring::npos ? end : end - start)),
                   &moment)) {
    SetDlgItemTextA(dialog, IDC_TRIMFROM, ClockText(std::max(moment - kLeadIn, 0.0)).c_str());
  }
}

// The moment typed in "From", or none, with the reason shown.
bool ReadFrom(HWND dialog, double* from) {
  wchar_t typed[64] = L"";
  GetDlgItemTextW(dialog, IDC_TRIMFROM, typed, 64);
  if (ParseMoment(Utf8Text(typed), from)) return true;
  ShowMessage("Type the moment to start from in \"From\", as m:ss or in seconds.", MB_ICONWARNING);
  return false;
}

std::string SavePartMessage(RepairFileStatus status) {
  switch (status) {
    case RepairFileStatus::kOutIsDemo: return "A part is never saved over the demo itself.";
    case RepairFileStatus::kOutNotAFile: return "The part can only replace a file.";
    case RepairFileStatus::kDiskFull: return "Could not save the part: the disk is full.";
    default: return "Could not save the part there.";
  }
}

// Whether the part was made; why not, shown.
bool PartMade(const TrimFileOutcome& made, double from) {
  if (made.read != DemoFileStatus::kRead) {
    ShowMessage(DemoFileMessage(made.read), MB_ICONERROR);
  } else if (made.trim != TrimOutcome::kWritten) {
    ShowMessage(("No part from " + ClockText(from) + " can be made: " + made.reason).c_str(),
                MB_ICONWARNING);
  } else if (made.file == RepairFileStatus::kCannotRead) {
    ShowMessage(DemoFileMessage(DemoFileStatus::kCannotOpen), MB_ICONERROR);
  } else if (made.file != RepairFileStatus::kWritten) {
    ShowMessage(SavePartMessage(made.file).c_str(), MB_ICONERROR);
  }
  return made.read == DemoFileStatus::kRead && made.trim == TrimOutcome::kWritten &&
         made.file == RepairFileStatus::kWritten;
}

// A game that ran leaves the main window cleared: the details go with it.
void PlayFrom(HWND dialog) {
  double from = 0;
  if (!ReadFrom(dialog, &from)) return;
  std::vector<uint8_t> part;
  if (!PartMade(TrimDemoFileInto(shown.path, from, -1, &part), from)) return;
  if (!PlayDemo(shown.owner, shown.path, &part)) return;
  EnableWindow(GetDlgItem(shown.owner, IDC_DETAILS), FALSE);
  EndDialog(dialog, IDOK);
}

// The part is made as it is written, once its file is chosen.
void SavePart(HWND dialog) {
  double from = 0;
  if (!ReadFrom(dialog, &from)) return;
  char out[kPathSize] = "";
  OPENFILENAMEA chooser = {};
  chooser.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  chooser.hwndOwner = dialog;
  chooser.lpstrFilter = "Demo Files (*.dem)\0*.dem\0All Files (*.*)\0*.*\0";
  chooser.lpstrFile = out;
  chooser.nMaxFile = sizeof out;
  chooser.lpstrTitle = "Save Part of the Demo";
  chooser.lpstrDefExt = "dem";
  chooser.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetSaveFileNameA(&chooser)) return;
  WholeFile copy;
  const RepairFileStatus status = PrepareCopy(shown.path, out, true, &copy);
  if (status != RepairFileStatus::kWritten) {
    ShowMessage(SavePartMessage(status).c_str(), MB_ICONERROR);
    return;
  }
  PartMade(TrimDemoFile(shown.path, from, -1, &copy, true), from);
}

void OpenDetails(HWND dialog, const wchar_t* text) {
  shown.textProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      GetDlgItem(dialog, IDC_DETAILSTEXT), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchCaret)));
  FitText(dialog);
  if (app.smallIcon != nullptr) {
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(app.smallIcon));
  }
  HWND edit = GetDlgItem(dialog, IDC_DETAILSTEXT);
  SendMessageW(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(4, 4));
  // A long match's kills and chat run past the edit's first limit of 32 K.
  SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
  SetDlgItemTextW(dialog, IDC_DETAILSTEXT, text);
  // The keys that scroll go to the text, which the dialog manager's own
  // focus would show all selected.
  SetFocus(edit);
  SendMessageW(edit, EM_SETSEL, 0, 0);
}

// A read-only edit asks for the colours of a static; its ground is opaque so
// that scrolling leaves no trails.
INT_PTR ColourText(WPARAM dc) {
  SetTextColor(reinterpret_cast<HDC>(dc), kControlText);
  SetBkColor(reinterpret_cast<HDC>(dc), kFieldGround);
  return reinterpret_cast<INT_PTR>(app.editBrush);
}

INT_PTR CALLBACK DetailsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: OpenDetails(dialog, reinterpret_cast<const wchar_t*>(lParam)); return FALSE;
    case WM_SIZE: FitText(dialog); return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDCANCEL:
        case IDOK: EndDialog(dialog, IDCANCEL); break;
        case IDC_PLAYFROM: PlayFrom(dialog); break;
        case IDC_SAVEPART: SavePart(dialog); break;
      }
      return TRUE;
    case kCaretMoved: TakeMomentOfCaretLine(dialog); return TRUE;
    // Esc in a multi-line edit closes its dialog this way.
    case WM_CLOSE: EndDialog(dialog, IDCANCEL); return TRUE;
    case WM_CTLCOLORSTATIC:
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_TRIMFROMLABEL) {
        SetTextColor(reinterpret_cast<HDC>(wParam), kControlText);
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<INT_PTR>(app.dialogBrush);
      }
      return ColourText(wParam);
    case WM_CTLCOLORDLG: return reinterpret_cast<INT_PTR>(app.dialogBrush);
  }
  return FALSE;
}

}  // namespace

// The file is read a window at a time, as the inspector reads it: a demo of
// any size takes a few MiB.
void ShowDemoDetails(HWND owner, char* path) {
  DemoInspection demo;
  MessageReader reader;
  const WindowReader also = MessageWindowReader(&reader);
  const DemoFileStatus status = InspectDemoFile(path, &demo, &also);
  if (status != DemoFileStatus::kRead) {
    ShowMessage(DemoFileMessage(status), MB_ICONERROR);
    return;
  }
  const std::wstring text =
      DetailsForEdit(ComposeDetails(demo, MessageReaderResult(&reader), false));
  // A dialog of the wide functions has wide controls, which keep every
  // script of the text; an ANSI edit would keep only the code page's.
  shown = {text.c_str(), owner, path, nullptr};
  DialogBoxParamW(app.instanceHandle, MAKEINTRESOURCEW(IDD_DETAILS), owner, DetailsDialogProc,
                  reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring DetailsForEdit(const std::string& utf8) {
  std::string lines;
  lines.reserve(utf8.size() + utf8.size() / 16);
  for (char c : utf8) {
    if (c == '\n') lines += '\r';
    lines += c;
  }
  return WideText(lines, CP_UTF8);
}
