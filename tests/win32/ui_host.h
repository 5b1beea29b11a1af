// What the window tests need from the host side: finding the library's windows, reading them
// back, reading and dismissing the message boxes the library raises (from inside their modal
// loops), watching the messages sent to a window, reading the DLL's own resources, and a
// watchdog that ends a stuck test run.
#ifndef KENSAKU_TESTS_WIN32_UI_HOST_H_
#define KENSAKU_TESTS_WIN32_UI_HOST_H_

#include <windows.h>

#include <string>
#include <vector>

namespace kensaku_test {

// "#検索 Input Box"
inline constexpr char kBoxCaption[] = "#\x8C\x9F\x8D\xF5 Input Box";

HWND FindList();  // the viewer list, or null
HWND FindBox();   // the search box, or null
HWND FindViewer(const std::string& title);

std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);
int ListCount(HWND list);
std::string ListEntry(HWND list, int index);
std::vector<HWND> ListedViewers(HWND list);  // in list order
std::string EntryFor(HWND viewer, const std::string& title);  // "%8x# title"
RECT Rect(HWND window);  // screen coordinates
bool Checked(HWND dialog, int id);
bool Enabled(HWND dialog, int id);
// Window style without the bits the system adds or drops by itself (WS_CLIPSIBLINGS, and the
// scroll bars of a list box whose scroll bars are hidden).
DWORD StyleOf(HWND window, DWORD ignore = 0);

// The library's state read through its exports.
int CurrentFoldFlags();
int CurrentOutputMode();  // by a search whose output shows it; leaves it unchanged

// Closes every window the library has open and drops a quit message they may have posted.
void CloseLibraryWindows();
// Dispatches every message already waiting; true when a quit message was among them.
bool DrainMessages();

struct SeenBox {
  std::string caption, text;
  bool error_icon = false;
};

// While it lives, every message box the thread shows is read and dismissed with OK.
class MessageBoxReader {
 public:
  MessageBoxReader();
  ~MessageBoxReader();
  const std::vector<SeenBox>& seen() const;
};

struct SentMessage {
  HWND window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

// While it lives, records the WM_COMMAND and WM_CLOSE messages sent to windows of the thread.
class CommandLog {
 public:
  CommandLog();
  ~CommandLog();
  std::vector<SentMessage> To(HWND window, UINT message) const;
};

// A resource of the DLL, or an empty string.
std::string Resource(int id, const char* type);

// A dialog template, parsed.
struct DialogItem {
  DWORD style, ex_style;
  short x, y, cx, cy;
  int id;
  std::string class_name;  // BUTTON, EDIT, STATIC, LISTBOX for the predefined ordinals
  std::string text;        // Shift_JIS
};
struct DialogTemplate {
  DWORD style, ex_style;
  short x, y, cx, cy;
  int menu;
  std::string class_name, caption, face;
  int point_size;
  std::vector<DialogItem> items;
};
DialogTemplate ParseDialog(int id);

// Ends the process with a failure when a single test runs longer than the given time.
void InstallWatchdog(DWORD milliseconds);

}  // namespace kensaku_test

#endif  // KENSAKU_TESTS_WIN32_UI_HOST_H_
