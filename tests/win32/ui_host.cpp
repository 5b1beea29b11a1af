#include "ui_host.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "dll_host.h"
#include "win_files.h"

namespace kensaku_test {

HWND FindList() { return FindWindowA("QSelectWin", "#Select Windows"); }
HWND FindBox() { return FindWindowA("QInputBox", kBoxCaption); }
HWND FindViewer(const std::string& title) { return FindWindowA("QViewBox", title.c_str()); }

std::string WindowText(HWND window) {
  const int n = GetWindowTextLengthA(window);
  std::string s(n + 1, '\0');
  const int got = GetWindowTextA(window, s.data(), n + 1);
  s.resize(got > 0 ? got : 0);
  return s;
}

std::string ItemText(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  const LRESULT n = SendMessageA(item, WM_GETTEXTLENGTH, 0, 0);
  std::string s(n + 1, '\0');
  const LRESULT got = SendMessageA(item, WM_GETTEXT, n + 1, reinterpret_cast<LPARAM>(s.data()));
  s.resize(got > 0 ? got : 0);
  return s;
}

int ListCount(HWND list) {
  return static_cast<int>(SendDlgItemMessageA(list, 101, LB_GETCOUNT, 0, 0));
}

std::string ListEntry(HWND list, int index) {
  const LRESULT n = SendDlgItemMessageA(list, 101, LB_GETTEXTLEN, index, 0);
  if (n == LB_ERR) return "<none>";
  std::string s(n + 1, '\0');
  SendDlgItemMessageA(list, 101, LB_GETTEXT, index, reinterpret_cast<LPARAM>(s.data()));
  s.resize(n);
  return s;
}

std::vector<HWND> ListedViewers(HWND list) {
  std::vector<HWND> v;
  for (int i = 0; i < ListCount(list); ++i) {
    v.push_back(reinterpret_cast<HWND>(std::strtoul(ListEntry(list, i).c_str(), nullptr, 16)));
  }
  return v;
}

std::string EntryFor(HWND viewer, const std::string& title) {
  char head[16];
  std::snprintf(head, sizeof head, "%8lx# ",
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(viewer)));
  return head + title;
}

RECT Rect(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  return r;
}

bool Checked(HWND dialog, int id) {
  return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}
bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != 0; }

DWORD StyleOf(HWND window, DWORD ignore) {
  return static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & ~(WS_CLIPSIBLINGS | ignore);
}

int CurrentFoldFlags() { return K(xReSet)(0); }

int CurrentOutputMode() {
  // Matched parts end in CR LF, whole lines in LF alone. The search reads the setting without
  // changing it; only 0 and non-zero can be told apart this way.
  WinTempDir dir;
  const std::string file = dir / "probe.txt";
  WriteBytes(file, "xyz\n");
  const int flags = K(xReSet)(0);
  K(xSet)(0);
  const char* result = K(xMatchsMult)(file.c_str(), "y");
  K(xSet)(flags);
  if (result == nullptr) return -99;
  return std::strcmp(result, "y\r\n") == 0 ? 0 : 1;
}

bool DrainMessages() {
  bool quit = false;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quit = true;
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return quit;
}

void CloseLibraryWindows() {
  K(QInputBoxClose)();
  K(QSelectionWinClose)();
  // A viewer left behind by a list that went away on its own would still be found by caption.
  while (HWND v = FindWindowA("QViewBox", nullptr)) DestroyWindow(v);
  DrainMessages();
}

// ---- message boxes

namespace {

std::vector<SeenBox> g_seen;
UINT_PTR g_box_timer = 0;

BOOL CALLBACK FindMessageBox(HWND window, LPARAM result) {
  char cls[32];
  GetClassNameA(window, cls, sizeof cls);
  if (std::strcmp(cls, "#32770") == 0 && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(result) = window;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK ReadAndDismiss(HWND, UINT, UINT_PTR, DWORD) {
  HWND box = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindMessageBox, reinterpret_cast<LPARAM>(&box));
  if (box == nullptr || GetPropA(box, "kensaku-seen") != nullptr) return;
  SetPropA(box, "kensaku-seen", reinterpret_cast<HANDLE>(1));
  SeenBox seen;
  seen.caption = WindowText(box);
  char text[512] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  seen.text = text;
  // The icon is the static control of icon style, whatever its id (0x14 on some systems).
  for (HWND c = GetWindow(box, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    char cls[16] = {};
    GetClassNameA(c, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") != 0 || (GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
      continue;
    }
    seen.error_icon = IsWindowVisible(c) &&
                      reinterpret_cast<HICON>(SendMessageA(c, STM_GETICON, 0, 0)) ==
                          LoadIconA(nullptr, IDI_HAND);
  }
  g_seen.push_back(seen);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
}

}  // namespace

MessageBoxReader::MessageBoxReader() {
  g_seen.clear();
  g_box_timer = SetTimer(nullptr, 0, 20, ReadAndDismiss);
}
MessageBoxReader::~MessageBoxReader() { KillTimer(nullptr, g_box_timer); }
const std::vector<SeenBox>& MessageBoxReader::seen() const { return g_seen; }

// ---- sent messages

namespace {

std::vector<SentMessage> g_sent;
HHOOK g_hook = nullptr;

LRESULT CALLBACK RecordSent(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HC_ACTION) {
    const CWPSTRUCT* m = reinterpret_cast<const CWPSTRUCT*>(lparam);
    if (m->message == WM_COMMAND || m->message == WM_CLOSE) {
      g_sent.push_back({m->hwnd, m->message, m->wParam, m->lParam});
    }
  }
  return CallNextHookEx(g_hook, code, wparam, lparam);
}

}  // namespace

CommandLog::CommandLog() {
  g_sent.clear();
  g_hook = SetWindowsHookExA(WH_CALLWNDPROC, RecordSent, nullptr, GetCurrentThreadId());
}
CommandLog::~CommandLog() { UnhookWindowsHookEx(g_hook); }
std::vector<SentMessage> CommandLog::To(HWND window, UINT message) const {
  std::vector<SentMessage> v;
  for (const SentMessage& m : g_sent) {
    if (m.window == window && m.message == message) v.push_back(m);
  }
  return v;
}

// ---- resources

std::string Resource(int id, const char* type) {
  HRSRC r = FindResourceA(Dll(), MAKEINTRESOURCEA(id), type);
  if (r == nullptr) return "";
  HGLOBAL g = LoadResource(Dll(), r);
  const char* p = static_cast<const char*>(LockResource(g));
  return std::string(p, SizeofResource(Dll(), r));
}

namespace {

struct Reader {
  const char* p;
  const char* end;
  WORD Word() {
    WORD w;
    std::memcpy(&w, p, 2);
    p += 2;
    return w;
  }
  DWORD Dword() {
    DWORD d;
    std::memcpy(&d, p, 4);
    p += 4;
    return d;
  }
  short Short() { return static_cast<short>(Word()); }
  void Align4(const char* base) {
    while ((p - base) % 4 != 0) ++p;
  }
  std::string Text() {
    std::wstring w;
    while (WCHAR c = Word()) w.push_back(c);
    if (w.empty()) return "";
    char out[1024];
    const int n = WideCharToMultiByte(932, 0, w.c_str(), static_cast<int>(w.size()), out,
                                      sizeof out, nullptr, nullptr);
    return std::string(out, n);
  }
  // A name or an ordinal (0xFFFF then the number); ordinals are returned as "#n".
  std::string NameOrOrdinal() {
    WORD first;
    std::memcpy(&first, p, 2);
    if (first == 0xFFFF) {
      p += 2;
      std::string ordinal = "#";
      ordinal += std::to_string(Word());
      return ordinal;
    }
    return Text();
  }
};

std::string ControlClass(const std::string& name) {
  if (name == "#128") return "BUTTON";
  if (name == "#129") return "EDIT";
  if (name == "#130") return "STATIC";
  if (name == "#131") return "LISTBOX";
  return name;
}

}  // namespace

DialogTemplate ParseDialog(int id) {
  const std::string bytes = Resource(id, MAKEINTRESOURCEA(5));  // RT_DIALOG
  DialogTemplate t = {};
  if (bytes.empty()) return t;
  Reader r{bytes.data(), bytes.data() + bytes.size()};
  t.style = r.Dword();
  t.ex_style = r.Dword();
  const int count = r.Word();
  t.x = r.Short();
  t.y = r.Short();
  t.cx = r.Short();
  t.cy = r.Short();
  const std::string menu = r.NameOrOrdinal();
  t.menu = menu.empty() ? 0 : menu[0] == '#' ? std::atoi(menu.c_str() + 1) : -1;
  t.class_name = r.NameOrOrdinal();
  t.caption = r.Text();
  if (t.style & DS_SETFONT) {
    t.point_size = r.Word();
    t.face = r.Text();
  }
  for (int i = 0; i < count; ++i) {
    r.Align4(bytes.data());
    DialogItem item = {};
    item.style = r.Dword();
    item.ex_style = r.Dword();
    item.x = r.Short();
    item.y = r.Short();
    item.cx = r.Short();
    item.cy = r.Short();
    item.id = r.Short();
    item.class_name = ControlClass(r.NameOrOrdinal());
    item.text = r.NameOrOrdinal();
    const WORD extra = r.Word();
    r.p += extra;
    t.items.push_back(item);
  }
  return t;
}

// ---- watchdog

namespace {

class Watchdog : public ::testing::EmptyTestEventListener {
 public:
  explicit Watchdog(DWORD ms) : ms_(ms), done_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  void OnTestStart(const ::testing::TestInfo& info) override {
    std::snprintf(name_, sizeof name_, "%s.%s", info.test_suite_name(), info.name());
    ResetEvent(done_);
    thread_ = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
  }
  void OnTestEnd(const ::testing::TestInfo&) override {
    SetEvent(done_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }

 private:
  static DWORD WINAPI Watch(void* self) {
    Watchdog* w = static_cast<Watchdog*>(self);
    if (WaitForSingleObject(w->done_, w->ms_) == WAIT_TIMEOUT) {
      std::fprintf(stderr, "watchdog: %s still running after %lu ms; failing the run\n", w->name_,
                   static_cast<unsigned long>(w->ms_));
      std::fflush(stderr);
      ExitProcess(3);
    }
    return 0;
  }
  DWORD ms_;
  HANDLE done_;
  HANDLE thread_ = nullptr;
  char name_[256] = {};
};

}  // namespace

void InstallWatchdog(DWORD milliseconds) {
  ::testing::UnitTest::GetInstance()->listeners().Append(new Watchdog(milliseconds));
}

}  // namespace kensaku_test
