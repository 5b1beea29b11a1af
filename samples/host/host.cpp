// A small host program for kensaku.dll (kensaku64.dll when built for x64), as a script
// interpreter or an application would use it: it loads the DLL, opens the search box with
// QInputMain (so closing the box ends the program), optionally fills it from its command line
// with QFindData, and runs its own message loop.
//
//   kensaku_host.exe [FILE [PATTERNS]]       PATTERNS: one per line, "\n" between them
//   kensaku_host.exe --shots DIR FILE PATTERNS
//
// With --shots it shows the filled box, then the hits of the search in a viewer beside the
// viewer list; at each step it writes DIR/<step>.ready holding the screen area to capture
// ("WxH+X+Y") and waits until that file is gone (samples/host/run-demo.sh takes the pictures).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "kensaku.h"

namespace {

HMODULE g_dll = nullptr;

template <typename F>
F Export(const char* name) {
  F f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(g_dll, name)));
  if (f == nullptr) {
    MessageBoxA(nullptr, name, KENSAKU_DLL_FILE " lacks an export", MB_ICONERROR);
    ExitProcess(1);
  }
  return f;
}
#define KENSAKU(name) Export<decltype(&::name)>(#name)

// "\n" on the command line stands for a line break between patterns.
std::string Patterns(const char* text) {
  std::string s;
  for (const char* p = text; *p != '\0'; ++p) {
    if (p[0] == '\\' && p[1] == 'n') {
      s += "\r\n";
      ++p;
    } else {
      s += *p;
    }
  }
  return s;
}

// ---- the screenshot steps

std::string g_shot_dir;
int g_step = 0;
UINT_PTR g_timer = 0;
std::string g_ready;

void Union(RECT& all, HWND window) {
  RECT r;
  if (window == nullptr || !GetWindowRect(window, &r)) return;
  if (IsRectEmpty(&all)) {
    all = r;
  } else {
    UnionRect(&all, &all, &r);
  }
}

void Announce(const char* step, const RECT& area) {
  g_ready = g_shot_dir + "\\" + step + ".ready";
  FILE* f = std::fopen(g_ready.c_str(), "w");
  if (f == nullptr) ExitProcess(2);
  std::fprintf(f, "%ldx%ld+%ld+%ld\n", area.right - area.left + 8, area.bottom - area.top + 8,
               area.left > 4 ? area.left - 4 : 0, area.top > 4 ? area.top - 4 : 0);
  std::fclose(f);
}

void CALLBACK NextStep(HWND, UINT, UINT_PTR, DWORD) {
  if (GetFileAttributesA(g_ready.c_str()) != INVALID_FILE_ATTRIBUTES) return;  // not taken yet
  HWND box = FindWindowA("QInputBox", "#\x8C\x9F\x8D\xF5 Input Box");
  if (g_step == 0) {
    // The hits, in a viewer beside the list.
    KENSAKU(QFindStart)();
    HWND list = FindWindowA("QSelectWin", "#Select Windows");
    HWND viewer = FindWindowA("QViewBox", nullptr);
    if (list != nullptr) MoveWindow(list, 8, 8, 330, 260, TRUE);
    if (viewer != nullptr) MoveWindow(viewer, 346, 8, 670, 260, TRUE);
    if (box != nullptr) ShowWindow(box, SW_HIDE);
    RECT area = {};
    Union(area, list);
    Union(area, viewer);
    for (HWND w : {list, viewer}) {
      if (w != nullptr) UpdateWindow(w);
    }
    ++g_step;
    Announce("viewer", area);
    return;
  }
  KillTimer(nullptr, g_timer);
  KENSAKU(QSelectionWinClose)();
  KENSAKU(QInputBoxClose)();  // posts the quit message
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  if (char* slash = std::strrchr(path, '\\')) std::strcpy(slash + 1, KENSAKU_DLL_FILE);
  g_dll = LoadLibraryA(path);
  if (g_dll == nullptr) g_dll = LoadLibraryA(KENSAKU_DLL_FILE);
  if (g_dll == nullptr) {
    MessageBoxA(nullptr, KENSAKU_DLL_FILE " cannot be loaded.", "kensaku host", MB_ICONERROR);
    return 1;
  }

  int argc = __argc;
  char** argv = __argv;
  const bool shots = argc == 5 && std::strcmp(argv[1], "--shots") == 0;
  if (shots) {
    g_shot_dir = argv[2];
    argv += 2;
    argc -= 2;
  }

  HWND box = static_cast<HWND>(KENSAKU(QInputMain)());
  if (box == nullptr) {
    MessageBoxA(nullptr, "The search box cannot be opened.", "kensaku host", MB_ICONERROR);
    return 1;
  }
  if (argc >= 2) {
    const std::string patterns = argc >= 3 ? Patterns(argv[2]) : std::string();
    // Normal search, whole lines, kana and width ignored as the box's ticks show.
    KENSAKU(QFindData)(argv[1], patterns.c_str(), 1, 0x100 | 0x01 | 0x20);
  }
  if (shots) {
    SetWindowPos(box, nullptr, 8, 8, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    UpdateWindow(box);
    RECT r;
    GetWindowRect(box, &r);
    Announce("box", r);
    g_timer = SetTimer(nullptr, 0, 200, NextStep);
  }

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    HWND current = FindWindowA("QInputBox", "#\x8C\x9F\x8D\xF5 Input Box");
    if (current != nullptr && IsDialogMessageA(current, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}
