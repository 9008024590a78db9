// A small window program that the driver's own tests work, with one of each control the
// driver handles. Every action writes what happened into the "Status" frame's label, so a
// test sees the effect of a click, a tick or a menu choice from outside, as a person would.
//
// Command line: --exit N (end at once with code N), --ask-first (a Yes/No box before the
// window: Yes ends with code 7 and no window, No shows the window), --flash (show the window,
// end by itself after 300 ms with code 9), --table (also a window "Driver Table" with a
// check-box table, a locked one and a progress bar).
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>

namespace {

enum : int {
  kPress = 101, kGreyed, kAsk, kHide, kLink, kPlain, kOption, kFramedPress, kCombo, kList, kLocked, kEdit, kStatus,
  kBack, kStatusFrame, kListFrame, kLockedFrame, kCwd, kTable, kLockedTable, kProgress, kTableStatus,
  kMenuPressAgain = 201, kMenuGreyed, kMenuExit, kMenuFirstTool, kMenuSecondTool, kMenuAsk,
};

HWND g_main = nullptr;
HWND g_second = nullptr;
HWND g_status = nullptr;
HWND g_tableStatus = nullptr;
int g_presses = 0;
int g_exitCode = 0;  // 5 after the close box, 0 after File > Exit

void SetStatus(const std::wstring& text) { SetWindowTextW(g_status, text.c_str()); }

HWND Make(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id) {
  return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

void AddLines(HWND list, std::initializer_list<const wchar_t*> lines) {
  ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  column.cx = 180;
  ListView_InsertColumn(list, 0, &column);
  int i = 0;
  for (const wchar_t* line : lines) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = i++;
    item.pszText = const_cast<wchar_t*>(line);
    ListView_InsertItem(list, &item);
  }
}

void Ask(HWND owner) {
  int answer = MessageBoxW(owner, L"Proceed with the test?", L"Tidewick", MB_YESNO | MB_ICONQUESTION);
  SetStatus(answer == IDYES ? L"answer yes" : L"answer no");
}

void CreateControls(HWND hwnd) {
  Make(hwnd, L"BUTTON", L"&Press", BS_PUSHBUTTON, 10, 10, 90, 26, kPress);
  HWND greyed = Make(hwnd, L"BUTTON", L"Greyed", BS_PUSHBUTTON, 110, 10, 90, 26, kGreyed);
  EnableWindow(greyed, FALSE);
  Make(hwnd, L"BUTTON", L"Ask", BS_PUSHBUTTON, 210, 10, 90, 26, kAsk);
  Make(hwnd, L"BUTTON", L"Hide for a while", BS_PUSHBUTTON, 310, 10, 120, 26, kHide);
  Make(hwnd, L"STATIC", L"Open link", SS_NOTIFY, 10, 46, 90, 18, kLink);
  Make(hwnd, L"STATIC", L"Plain", 0, 110, 46, 90, 18, kPlain);
  Make(hwnd, L"BUTTON", L"Option", BS_AUTOCHECKBOX, 210, 46, 90, 18, kOption);
  HWND combo = Make(hwnd, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 310, 44, 90, 120, kCombo);
  for (const wchar_t* root : {L"A:\\", L"E:\\", L"F:\\"}) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(root));

  Make(hwnd, L"BUTTON", L"Lists", BS_GROUPBOX, 10, 74, 220, 190, kListFrame);
  HWND list = Make(hwnd, WC_LISTVIEWW, L"", LVS_REPORT | LVS_NOCOLUMNHEADER | WS_BORDER, 20, 94, 200, 120, kList);
  AddLines(list, {L"alpha", L"beta", L"gamma", L"\u00fcn\u00ef \u2603 \u540d\u524d"});
  Make(hwnd, L"BUTTON", L"Press", BS_PUSHBUTTON, 20, 224, 90, 26, kFramedPress);

  Make(hwnd, L"BUTTON", L"Locked", BS_GROUPBOX, 240, 74, 190, 110, kLockedFrame);
  HWND locked = Make(hwnd, WC_LISTVIEWW, L"", LVS_REPORT | LVS_NOCOLUMNHEADER | WS_BORDER, 250, 94, 170, 80, kLocked);
  AddLines(locked, {L"kept"});
  EnableWindow(locked, FALSE);

  Make(hwnd, L"EDIT", L"line one\r\nline two\r\n", ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_BORDER, 240, 190, 190, 74, kEdit);

  Make(hwnd, L"BUTTON", L"Status", BS_GROUPBOX, 10, 270, 420, 70, kStatusFrame);
  g_status = Make(hwnd, L"STATIC", L"ready", SS_LEFT, 20, 290, 400, 18, kStatus);
  wchar_t cwd[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, cwd);
  Make(hwnd, L"STATIC", (std::wstring(L"cwd=") + cwd).c_str(), SS_LEFT, 20, 312, 400, 18, kCwd);
}

HMENU CreateMenuBar() {
  HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, kMenuPressAgain, L"Press Again");
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(file, MF_STRING | MF_GRAYED, kMenuGreyed, L"Greyed Item");
  AppendMenuW(file, MF_STRING, kMenuExit, L"Exit");
  HMENU tools = CreatePopupMenu();
  AppendMenuW(tools, MF_STRING, kMenuFirstTool, L"First Tool");
  AppendMenuW(tools, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(tools, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(tools, MF_STRING, kMenuSecondTool, L"Second Tool");
  AppendMenuW(tools, MF_STRING, kMenuAsk, L"Ask");
  HMENU bar = CreateMenu();
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"File");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(tools), L"Tools");
  return bar;
}

std::wstring Marks(HWND list) {
  std::wstring marks;
  int count = ListView_GetItemCount(list);
  for (int i = 0; i < count; ++i) marks += ListView_GetCheckState(list, i) ? L'1' : L'0';
  return marks;
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateControls(hwnd);
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kPress: SetStatus(L"pressed " + std::to_wstring(++g_presses)); break;
        case kGreyed: SetStatus(L"greyed pressed"); break;
        case kAsk: Ask(hwnd); break;
        case kHide:
          ShowWindow(hwnd, SW_HIDE);
          ShowWindow(g_second, SW_SHOW);
          break;
        case kLink: if (HIWORD(wParam) == STN_CLICKED) SetStatus(L"link"); break;
        case kOption:
          SetStatus(std::wstring(L"option ") + (SendDlgItemMessageW(hwnd, kOption, BM_GETCHECK, 0, 0) ? L"1" : L"0"));
          break;
        case kFramedPress: SetStatus(L"framed press"); break;
        case kCombo:
          if (HIWORD(wParam) == CBN_SELCHANGE) {
            wchar_t text[16] = {};
            GetWindowTextW(reinterpret_cast<HWND>(lParam), text, 16);
            SetStatus(std::wstring(L"chose ") + text);
          }
          break;
        case kMenuPressAgain: SetStatus(L"menu press"); break;
        case kMenuGreyed: SetStatus(L"greyed item"); break;
        case kMenuExit: DestroyWindow(hwnd); break;
        case kMenuFirstTool: SetStatus(L"tool 1"); break;
        case kMenuSecondTool: SetStatus(L"tool 2"); break;
        case kMenuAsk: Ask(hwnd); break;
      }
      return 0;
    case WM_NOTIFY: {
      auto* change = reinterpret_cast<NMLISTVIEW*>(lParam);
      if (change->hdr.code == LVN_ITEMCHANGED && (change->uChanged & LVIF_STATE) && change->hdr.idFrom == kList) {
        SetStatus(L"marks " + Marks(change->hdr.hwndFrom));
      }
      return 0;
    }
    case WM_TIMER:
      KillTimer(hwnd, 1);
      PostQuitMessage(9);
      return 0;
    case WM_CLOSE:
      g_exitCode = 5;
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(g_exitCode);
      return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// A report-view list with column headers and check boxes.
HWND MakeTable(HWND parent, int x, int y, int id, std::initializer_list<std::initializer_list<const wchar_t*>> rows) {
  HWND table = Make(parent, WC_LISTVIEWW, L"", LVS_REPORT | WS_BORDER, x, y, 300, 110, id);
  ListView_SetExtendedListViewStyle(table, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  int c = 0;
  for (const wchar_t* header : {L"Name", L"Size", L"Found in"}) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.cx = 90;
    column.pszText = const_cast<wchar_t*>(header);
    column.iSubItem = c;
    ListView_InsertColumn(table, c++, &column);
  }
  int i = 0;
  for (const auto& row : rows) {
    int cell = 0;
    for (const wchar_t* text : row) {
      if (cell == 0) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = const_cast<wchar_t*>(text);
        ListView_InsertItem(table, &item);
      } else {
        ListView_SetItemText(table, i, cell, const_cast<wchar_t*>(text));
      }
      ++cell;
    }
    ++i;
  }
  return table;
}

LRESULT CALLBACK TableProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      MakeTable(hwnd, 10, 10, kTable,
                {{L"x.vbs", L"12", L"E:\\"}, {L"Photos.lnk", L"3", L"E:\\DCIM"}, {L"\u540d\u524d.lnk", L"7", L"E:\\"}});
      HWND locked = MakeTable(hwnd, 10, 130, kLockedTable, {{L"kept", L"1", L"E:\\"}});
      EnableWindow(locked, FALSE);
      HWND progress = Make(hwnd, PROGRESS_CLASSW, L"", 0, 10, 250, 300, 18, kProgress);
      SendMessageW(progress, PBM_SETRANGE32, 10, 90);
      SendMessageW(progress, PBM_SETPOS, 40, 0);
      g_tableStatus = Make(hwnd, L"STATIC", L"ready", SS_LEFT, 10, 276, 300, 18, kTableStatus);
      return 0;
    }
    case WM_NOTIFY: {
      auto* change = reinterpret_cast<NMLISTVIEW*>(lParam);
      if (change->hdr.idFrom != kTable) return 0;
      if (change->hdr.code == LVN_COLUMNCLICK) {
        SetWindowTextW(g_tableStatus, (L"header " + std::to_wstring(change->iSubItem)).c_str());
      } else if (change->hdr.code == LVN_ITEMCHANGED && (change->uChanged & LVIF_STATE)) {
        SetWindowTextW(g_tableStatus, (L"marks " + Marks(change->hdr.hwndFrom)).c_str());
      }
      return 0;
    }
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK SecondProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      Make(hwnd, L"BUTTON", L"Back", BS_PUSHBUTTON, 10, 10, 90, 26, kBack);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kBack) {
        ShowWindow(hwnd, SW_HIDE);
        ShowWindow(g_main, SW_SHOW);
        SetStatus(L"back");
      }
      return 0;
    case WM_CLOSE:
      ShowWindow(hwnd, SW_HIDE);
      ShowWindow(g_main, SW_SHOW);
      return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  bool askFirst = false;
  bool flash = false;
  bool table = false;
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"--exit" && i + 1 < argc) return _wtoi(argv[i + 1]);
    if (arg == L"--ask-first") askFirst = true;
    if (arg == L"--flash") flash = true;
    if (arg == L"--table") table = true;
  }
  if (askFirst && MessageBoxW(nullptr, L"Start the window?", L"Tidewick", MB_YESNO | MB_ICONQUESTION) == IDYES) return 7;

  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  WNDCLASSW main{};
  main.lpfnWndProc = MainProc;
  main.hInstance = instance;
  main.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  main.lpszClassName = L"DriverTestWindow";
  RegisterClassW(&main);
  WNDCLASSW second = main;
  second.lpfnWndProc = SecondProc;
  second.lpszClassName = L"DriverTestSecond";
  RegisterClassW(&second);
  WNDCLASSW tableClass = main;
  tableClass.lpfnWndProc = TableProc;
  tableClass.lpszClassName = L"DriverTestTable";
  RegisterClassW(&tableClass);

  g_second = CreateWindowExW(0, L"DriverTestSecond", L"Second Window", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 200, 200,
                             240, 120, nullptr, nullptr, instance, nullptr);
  g_main = CreateWindowExW(0, L"DriverTestWindow", L"Driver Test", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 100, 100,
                           460, 420, nullptr, CreateMenuBar(), instance, nullptr);
  ShowWindow(g_main, SW_SHOW);
  if (flash) SetTimer(g_main, 1, 300, nullptr);
  if (table) {
    HWND tableWindow = CreateWindowExW(0, L"DriverTestTable", L"Driver Table", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                       580, 100, 340, 340, nullptr, nullptr, instance, nullptr);
    ShowWindow(tableWindow, SW_SHOW);
  }

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
