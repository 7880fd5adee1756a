#include "app/details_dialog.h"

#include "app/main_dialog.h"
#include "app/resources/resource.h"
#include "common/app_state.h"
#include "common/message_box.h"
#include "common/wide_text.h"
#include "demo/demo_file.h"
#include "messages/demo_details.h"
#include "messages/message_reader.h"

namespace {

const int kTextMargin = 7;  // dialog units around the text, as in the template

// The text fills the client area but for its margin, at any size.
void FitText(HWND dialog) {
  RECT margin = {kTextMargin, kTextMargin, 0, 0};
  MapDialogRect(dialog, &margin);
  RECT client;
  GetClientRect(dialog, &client);
  const int width = client.right - 2 * margin.left;
  const int height = client.bottom - 2 * margin.top;
  MoveWindow(GetDlgItem(dialog, IDC_DETAILSTEXT), margin.left, margin.top, width > 0 ? width : 0,
             height > 0 ? height : 0, TRUE);
}

void OpenDetails(HWND dialog, const wchar_t* text) {
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
      if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) EndDialog(dialog, IDCANCEL);
      return TRUE;
    // Esc in a multi-line edit closes its dialog this way.
    case WM_CLOSE: EndDialog(dialog, IDCANCEL); return TRUE;
    case WM_CTLCOLORSTATIC: return ColourText(wParam);
    case WM_CTLCOLORDLG: return reinterpret_cast<INT_PTR>(app.dialogBrush);
  }
  return FALSE;
}

}  // namespace

// The file is read a window at a time, as the inspector reads it: a demo of
// any size takes a few MiB.
void ShowDemoDetails(HWND owner, const char* path) {
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
