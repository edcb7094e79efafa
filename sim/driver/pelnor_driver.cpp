// pelnor_driver.exe: drives another Win32 program's window from a second
// process under the same Wine prefix. One command a line on stdin, one JSON
// line on stdout. Arguments are separated by single spaces and
// percent-encoded (%20 a space, %25 a percent sign), so any text, the empty
// one included, fits in an argument. Texts come back as UTF-8; texts that are
// not clean GBK also come back as "<name>_hex".
//
// Nothing here may block for good: sends use SendMessageTimeout, clicks and
// choices are posted, and every wait has a time-out.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <psapi.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "../common/sim_text.h"

namespace {

using Args = std::vector<std::string>;
using sim::JsonObject;

constexpr UINT kTrayCallbackMessage = 123456;
constexpr int kMessageBoxTextId = 0xFFFF;

struct Target {
  HWND main = nullptr;
  DWORD pid = 0;
  DWORD tid = 0;
  HANDLE process = nullptr;
};

Target g_target;
UINT g_send_timeout_ms = 5000;

// The result of a command: a JSON object or an error text.
struct Reply {
  bool ok = true;
  std::string error;
  JsonObject body;
};

Reply Fail(std::string why) {
  Reply r;
  r.ok = false;
  r.error = std::move(why);
  return r;
}

std::string PercentDecode(const std::string& token) {
  std::string out;
  for (size_t i = 0; i < token.size(); ++i) {
    if (token[i] == '%' && i + 2 < token.size() &&
        isxdigit(static_cast<unsigned char>(token[i + 1])) &&
        isxdigit(static_cast<unsigned char>(token[i + 2]))) {
      out += static_cast<char>(strtol(token.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      out += token[i];
    }
  }
  return out;
}

Args SplitCommand(const std::string& line) {
  Args out;
  size_t pos = 0;
  for (;;) {
    size_t space = line.find(' ', pos);
    out.push_back(PercentDecode(
        line.substr(pos, space == std::string::npos ? std::string::npos : space - pos)));
    if (space == std::string::npos) return out;
    pos = space + 1;
  }
}

bool ParseInt(const std::string& text, long long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  *value = strtoll(text.c_str(), &end, 0);
  return end && *end == '\0';
}

long long IntArg(const Args& args, size_t index, long long fallback) {
  if (index >= args.size()) return fallback;
  long long v = 0;
  return ParseInt(args[index], &v) ? v : fallback;
}

std::string HwndText(HWND hwnd) {
  return std::to_string(reinterpret_cast<std::uintptr_t>(hwnd));
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t buf[256];
  int n = GetClassNameW(hwnd, buf, 256);
  return std::wstring(buf, n > 0 ? n : 0);
}

bool SendTimeout(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, DWORD_PTR* result, bool wide = true) {
  DWORD_PTR r = 0;
  LRESULT ok =
      wide ? SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_ABORTIFHUNG, g_send_timeout_ms, &r)
           : SendMessageTimeoutA(hwnd, msg, wp, lp, SMTO_ABORTIFHUNG, g_send_timeout_ms, &r);
  if (result) *result = r;
  return ok != 0;
}

// The GBK text of a window, asked with WM_GETTEXT in its A form.
bool WindowTextGbk(HWND hwnd, std::string* text) {
  DWORD_PTR length = 0;
  if (!SendTimeout(hwnd, WM_GETTEXTLENGTH, 0, 0, &length, false)) return false;
  std::string buf(length + 2, '\0');
  DWORD_PTR got = 0;
  if (!SendTimeout(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), &got, false))
    return false;
  buf.resize(strnlen(buf.c_str(), buf.size()));
  *text = buf;
  return true;
}

std::string RectJson(const RECT& r) {
  JsonObject o;
  o.Int("x", r.left).Int("y", r.top).Int("w", r.right - r.left).Int("h", r.bottom - r.top);
  return o.Done();
}

// The descendant with a control id; 0 is the main window itself. "hwnd:<n>"
// names any window directly.
struct IdSearch {
  int id;
  HWND found;
};

BOOL CALLBACK FindId(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<IdSearch*>(lp);
  if (GetDlgCtrlID(hwnd) != s->id) return TRUE;
  s->found = hwnd;
  return FALSE;
}

BOOL CALLBACK Collect(HWND hwnd, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
  return TRUE;
}

// Null, with the reason in *error, when there is no such window.
HWND Resolve(const std::string& spec, std::string* error) {
  if (spec.rfind("hwnd:", 0) == 0) {
    long long v = 0;
    HWND hwnd = ParseInt(spec.substr(5), &v)
                    ? reinterpret_cast<HWND>(static_cast<std::uintptr_t>(v))
                    : nullptr;
    if (!hwnd || !IsWindow(hwnd)) *error = "no such window: " + spec;
    return *error == "" ? hwnd : nullptr;
  }
  if (!g_target.main || !IsWindow(g_target.main)) {
    *error = "not attached to a live window";
    return nullptr;
  }
  long long id = 0;
  if (!ParseInt(spec, &id)) {
    *error = "not a control id: " + spec;
    return nullptr;
  }
  if (id == 0) return g_target.main;
  IdSearch search{static_cast<int>(id), nullptr};
  EnumChildWindows(g_target.main, FindId, reinterpret_cast<LPARAM>(&search));
  if (!search.found) *error = "no control with id " + spec;
  return search.found;
}

HWND ResolveArg(const Args& args, size_t index, std::string* error) {
  return Resolve(index < args.size() ? args[index] : "0", error);
}

// Declares `hwnd` from argument `index` or returns the failure.
#define RESOLVE_OR_FAIL(hwnd, args, index)            \
  std::string hwnd##_error;                           \
  HWND hwnd = ResolveArg(args, index, &hwnd##_error); \
  if (!hwnd) return Fail(hwnd##_error)

std::string WindowJson(HWND hwnd) {
  JsonObject o;
  o.Raw("hwnd", HwndText(hwnd));
  LONG style = GetWindowLongW(hwnd, GWL_STYLE);
  bool child = (style & WS_CHILD) != 0;
  o.Int("id", child ? GetDlgCtrlID(hwnd) : 0);
  std::wstring cls = ClassOf(hwnd);
  o.Str("class", sim::FromWide(cls, CP_UTF8));
  std::string text;
  if (WindowTextGbk(hwnd, &text))
    o.Gbk("text", text);
  else
    o.Null("text");
  RECT r;
  GetWindowRect(hwnd, &r);
  o.Raw("rect", RectJson(r));
  RECT client;
  GetClientRect(hwnd, &client);
  MapWindowPoints(hwnd, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
  o.Raw("client", RectJson(client));
  HWND parent = GetAncestor(hwnd, GA_PARENT);
  if (child && parent) {
    RECT rel = r;
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rel), 2);
    o.Raw("rel", RectJson(rel));
    o.Raw("parent", HwndText(parent));
    o.Int("parent_id", parent == g_target.main ? 0 : GetDlgCtrlID(parent));
  } else {
    o.Null("rel").Null("parent").Null("parent_id");
  }
  o.Bool("visible", IsWindowVisible(hwnd)).Bool("own_visible", (style & WS_VISIBLE) != 0);
  o.Bool("enabled", IsWindowEnabled(hwnd));
  o.Int("style", static_cast<DWORD>(style))
      .Int("exstyle", static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE)));
  // Wine 8 does not answer WM_GETFONT from another process: null then.
  DWORD_PTR font = 0;
  if (SendTimeout(hwnd, WM_GETFONT, 0, 0, &font))
    o.Int("font", static_cast<long long>(font))
        .Bool("default_gui_font",
              reinterpret_cast<HGDIOBJ>(font) == GetStockObject(DEFAULT_GUI_FONT));
  else
    o.Null("font").Null("default_gui_font");
  if (_wcsicmp(cls.c_str(), L"Button") == 0) {
    LONG type = style & BS_TYPEMASK;
    o.Int("button_type", type);
    bool checkable = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                     type == BS_3STATE || type == BS_AUTO3STATE || type == BS_AUTORADIOBUTTON;
    DWORD_PTR check = 0;
    if (checkable && SendTimeout(hwnd, BM_GETCHECK, 0, 0, &check))
      o.Int("checked", static_cast<long long>(check));
    else
      o.Null("checked");
  }
  if (_wcsicmp(cls.c_str(), L"ComboBox") == 0) {
    DWORD_PTR count = 0, sel = 0;
    SendTimeout(hwnd, CB_GETCOUNT, 0, 0, &count);
    SendTimeout(hwnd, CB_GETCURSEL, 0, 0, &sel);
    o.Int("count", static_cast<int>(count)).Int("selection", static_cast<int>(sel));
  }
  return o.Done();
}

std::vector<HWND> Descendants(HWND root) {
  std::vector<HWND> out;
  EnumChildWindows(root, Collect, reinterpret_cast<LPARAM>(&out));
  return out;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> out;
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&out));
  return out;
}

DWORD PidOf(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return pid;
}

// A visible top-level window of the target process (any other process when
// not attached) with the class, waited for up to timeout_ms.
HWND WaitForWindowOfClass(const wchar_t* cls, long long timeout_ms) {
  DWORD deadline = GetTickCount() + static_cast<DWORD>(timeout_ms);
  for (;;) {
    for (HWND hwnd : TopLevelWindows()) {
      DWORD pid = PidOf(hwnd);
      bool ours = g_target.pid ? pid == g_target.pid : pid != GetCurrentProcessId();
      if (ours && IsWindowVisible(hwnd) && _wcsicmp(ClassOf(hwnd).c_str(), cls) == 0) return hwnd;
    }
    if (static_cast<LONG>(GetTickCount() - deadline) >= 0) return nullptr;
    Sleep(20);
  }
}

bool WaitGone(HWND hwnd, long long timeout_ms) {
  DWORD deadline = GetTickCount() + static_cast<DWORD>(timeout_ms);
  while (IsWindow(hwnd) && IsWindowVisible(hwnd)) {
    if (static_cast<LONG>(GetTickCount() - deadline) >= 0) return false;
    Sleep(20);
  }
  return true;
}

extern "C" {
LONG NTAPI NtMapViewOfSection(HANDLE section, HANDLE process, PVOID* base, ULONG_PTR zero_bits,
                              SIZE_T commit, PLARGE_INTEGER offset, PSIZE_T view_size,
                              DWORD inherit, ULONG allocation, ULONG protect);
LONG NTAPI NtUnmapViewOfSection(HANDLE process, PVOID base);
}

// Memory that the target process sees, for messages that are not marshalled
// between processes (those above WM_USER). A section mapped into both
// processes: under Wine this needs no ptrace, which ReadProcessMemory does
// (and which fails where Wine itself runs under an emulator).
class RemoteBuffer {
 public:
  explicit RemoteBuffer(size_t size) : size_(size) {
    if (!g_target.process) return;
    section_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  static_cast<DWORD>(size), nullptr);
    if (!section_) return;
    local_ = static_cast<char*>(MapViewOfFile(section_, FILE_MAP_ALL_ACCESS, 0, 0, size));
    SIZE_T view = 0;
    constexpr DWORD kViewUnmap = 2;
    if (local_ && NtMapViewOfSection(section_, g_target.process, &remote_, 0, 0, nullptr, &view,
                                     kViewUnmap, 0, PAGE_READWRITE) != 0)
      remote_ = nullptr;
    if (local_) memset(local_, 0, size);
  }
  ~RemoteBuffer() {
    if (remote_) NtUnmapViewOfSection(g_target.process, remote_);
    if (local_) UnmapViewOfFile(local_);
    if (section_) CloseHandle(section_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;
  bool valid() const { return remote_ != nullptr; }
  LPARAM lparam() const { return reinterpret_cast<LPARAM>(remote_); }
  std::string Read() const { return std::string(local_, size_); }

 private:
  HANDLE section_ = nullptr;
  char* local_ = nullptr;
  void* remote_ = nullptr;
  size_t size_;
};

// ---- commands ----

Reply CmdPing(const Args&) {
  Reply r;
  r.body.Bool("pong", true).Int("pid", GetCurrentProcessId());
  return r;
}

Reply CmdTimeout(const Args& args) {
  g_send_timeout_ms = static_cast<UINT>(IntArg(args, 1, g_send_timeout_ms));
  Reply r;
  r.body.Int("send_timeout_ms", g_send_timeout_ms);
  return r;
}

// attach <timeout_ms> [caption prefix|-] [class|-]
Reply CmdAttach(const Args& args) {
  long long timeout = IntArg(args, 1, 10000);
  std::wstring prefix = sim::ToWide(args.size() > 2 ? args[2] : "PelnorV1.1", CP_UTF8);
  std::wstring cls = sim::ToWide(args.size() > 3 ? args[3] : "-", CP_UTF8);
  if (prefix == L"-") prefix.clear();
  if (cls == L"-") cls.clear();
  DWORD deadline = GetTickCount() + static_cast<DWORD>(timeout);
  HWND found = nullptr;
  while (!found) {
    for (HWND hwnd : TopLevelWindows()) {
      if (PidOf(hwnd) == GetCurrentProcessId()) continue;
      wchar_t caption[512] = {};
      GetWindowTextW(hwnd, caption, 512);
      if (!prefix.empty() && wcsncmp(caption, prefix.c_str(), prefix.size()) != 0) continue;
      if (!cls.empty() && _wcsicmp(ClassOf(hwnd).c_str(), cls.c_str()) != 0) continue;
      if (prefix.empty() && cls.empty()) continue;
      found = hwnd;
      break;
    }
    if (found || static_cast<LONG>(GetTickCount() - deadline) >= 0) break;
    Sleep(50);
  }
  if (!found) return Fail("no window found in time");
  if (g_target.process) CloseHandle(g_target.process);
  g_target = {};
  g_target.main = found;
  g_target.tid = GetWindowThreadProcessId(found, &g_target.pid);
  g_target.process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                                     PROCESS_VM_READ | PROCESS_VM_WRITE | SYNCHRONIZE,
                                 FALSE, g_target.pid);
  Reply r;
  r.body.Int("pid", g_target.pid).Int("tid", g_target.tid).Raw("window", WindowJson(found));
  return r;
}

Reply CmdWindow(const Args& args) {
  RESOLVE_OR_FAIL(hwnd, args, 1);
  Reply r;
  r.body.Raw("window", WindowJson(hwnd))
      .Bool("iconic", IsIconic(hwnd))
      .Bool("zoomed", IsZoomed(hwnd));
  r.body.Raw("owner", HwndText(GetWindow(hwnd, GW_OWNER)));
  r.body.Bool("foreground", GetForegroundWindow() == hwnd);
  return r;
}

Reply CmdControls(const Args& args) {
  RESOLVE_OR_FAIL(root, args, 1);
  std::string list = "[";
  bool first = true;
  for (HWND hwnd : Descendants(root)) {
    list += (first ? "" : ",") + WindowJson(hwnd);
    first = false;
  }
  Reply r;
  r.body.Raw("controls", list + "]");
  return r;
}

Reply CmdText(const Args& args) {
  RESOLVE_OR_FAIL(hwnd, args, 1);
  std::string text;
  if (!WindowTextGbk(hwnd, &text)) return Fail("WM_GETTEXT timed out");
  Reply r;
  r.body.Gbk("text", text);
  return r;
}

HWND AttachedStatusBar() {
  if (!g_target.main) return nullptr;
  for (HWND hwnd : Descendants(g_target.main))
    if (_wcsicmp(ClassOf(hwnd).c_str(), STATUSCLASSNAMEW) == 0) return hwnd;
  return nullptr;
}

// One pane's text, GBK, through a buffer already mapped into the target.
bool ReadPane(HWND bar, long long index, const RemoteBuffer& buffer, size_t room,
              std::string* text) {
  // Wine counts the length in characters, not bytes: it only bounds the room.
  DWORD_PTR length = 0;
  if (!SendTimeout(bar, SB_GETTEXTLENGTHA, static_cast<WPARAM>(index), 0, &length, false) ||
      2u * LOWORD(length) >= room)
    return false;
  if (!SendTimeout(bar, SB_GETTEXTA, static_cast<WPARAM>(index), buffer.lparam(), nullptr, false))
    return false;
  const std::string bytes = buffer.Read();
  text->assign(bytes.c_str(), strnlen(bytes.c_str(), room));
  return true;
}

// panes [status bar id]: the parts of a status bar with their right edges and texts.
Reply CmdPanes(const Args& args) {
  HWND bar = nullptr;
  if (args.size() > 1) {
    std::string error;
    bar = Resolve(args[1], &error);
    if (!bar) return Fail(error);
  } else {
    if (!g_target.main) return Fail("not attached");
    bar = AttachedStatusBar();
  }
  if (!bar) return Fail("no status bar");
  RemoteBuffer edges(sizeof(int) * 256);
  if (!edges.valid()) return Fail("cannot map memory into the target");
  DWORD_PTR parts = 0;
  if (!SendTimeout(bar, SB_GETPARTS, 256, edges.lparam(), &parts, false))
    return Fail("SB_GETPARTS timed out");
  std::string edge_bytes = edges.Read();
  constexpr size_t kTextRoom = 4096;
  RemoteBuffer text(kTextRoom);
  if (!text.valid()) return Fail("cannot map memory into the target");
  std::string list = "[";
  for (DWORD_PTR i = 0; i < parts; ++i) {
    int right = 0;
    memcpy(&right, edge_bytes.data() + i * sizeof(int), sizeof(int));
    std::string bytes;
    if (!ReadPane(bar, static_cast<long long>(i), text, kTextRoom, &bytes))
      return Fail("SB_GETTEXTA timed out");
    DWORD_PTR got = 0;  // the pane's drawing type
    SendTimeout(bar, SB_GETTEXTLENGTHA, i, 0, &got, false);
    RemoteBuffer rect(sizeof(RECT));
    RECT pane{};
    if (SendTimeout(bar, SB_GETRECT, i, rect.lparam(), nullptr, false))
      memcpy(&pane, rect.Read().data(), sizeof pane);
    JsonObject o;
    o.Int("index", static_cast<long long>(i)).Int("right", right).Gbk("text", bytes);
    o.Int("type", HIWORD(got)).Raw("rect", RectJson(pane));
    list += (i ? "," : "") + o.Done();
  }
  Reply r;
  r.body.Raw("bar", HwndText(bar)).Raw("panes", list + "]");
  return r;
}

// items <id>: the items of a combo box or list box and its selection.
Reply CmdItems(const Args& args) {
  RESOLVE_OR_FAIL(box, args, 1);
  bool combo = _wcsicmp(ClassOf(box).c_str(), L"ComboBox") == 0;
  UINT get_count = combo ? CB_GETCOUNT : LB_GETCOUNT,
       get_len = combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
  UINT get_text = combo ? CB_GETLBTEXT : LB_GETTEXT, get_sel = combo ? CB_GETCURSEL : LB_GETCURSEL;
  DWORD_PTR count = 0, sel = 0;
  if (!SendTimeout(box, get_count, 0, 0, &count)) return Fail("count timed out");
  SendTimeout(box, get_sel, 0, 0, &sel);
  std::string list = "[";
  for (DWORD_PTR i = 0; i < count && i < 100000; ++i) {
    DWORD_PTR length = 0;
    SendTimeout(box, get_len, i, 0, &length);
    std::wstring buf(static_cast<int>(length) < 0 ? 0 : length + 2, L'\0');
    DWORD_PTR got = 0;
    SendTimeout(box, get_text, i, reinterpret_cast<LPARAM>(buf.data()), &got);
    buf.resize(wcsnlen(buf.c_str(), buf.size()));
    list += (i ? "," : "") + sim::JsonGbkMember("", sim::FromWide(buf, sim::kGbk)).substr(3);
  }
  Reply r;
  r.body.Raw("items", list + "]")
      .Int("selection", static_cast<int>(sel))
      .Int("count", static_cast<int>(count));
  return r;
}

Reply CmdClick(const Args& args) {
  RESOLVE_OR_FAIL(hwnd, args, 1);
  if (!PostMessageW(hwnd, BM_CLICK, 0, 0)) return Fail("PostMessage failed");
  return {};
}

Reply CmdSetText(const Args& args) {
  RESOLVE_OR_FAIL(hwnd, args, 1);
  std::wstring text = sim::ToWide(args.size() > 2 ? args[2] : "", CP_UTF8);
  DWORD_PTR ok = 0;
  if (!SendTimeout(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &ok))
    return Fail("WM_SETTEXT timed out");
  Reply r;
  r.body.Int("result", static_cast<long long>(ok));
  return r;
}

// select <id> <index>: sets a combo box's selection, then tells its parent
// the way a user's pick does.
Reply CmdSelect(const Args& args) {
  RESOLVE_OR_FAIL(box, args, 1);
  long long index = IntArg(args, 2, -1);
  DWORD_PTR result = 0;
  if (!SendTimeout(box, CB_SETCURSEL, static_cast<WPARAM>(index), 0, &result))
    return Fail("CB_SETCURSEL timed out");
  PostMessageW(GetAncestor(box, GA_PARENT), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(box), CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
  Reply r;
  r.body.Int("result", static_cast<int>(result));
  return r;
}

Reply CmdSetCheck(const Args& args) {
  RESOLVE_OR_FAIL(hwnd, args, 1);
  if (!SendTimeout(hwnd, BM_SETCHECK, static_cast<WPARAM>(IntArg(args, 2, 1)), 0, nullptr))
    return Fail("BM_SETCHECK timed out");
  return {};
}

std::string MessageBoxJson(HWND box) {
  JsonObject o;
  o.Raw("hwnd", HwndText(box));
  std::string title, text;
  WindowTextGbk(box, &title);
  o.Gbk("title", title);
  std::string buttons = "[";
  bool icon = false;
  for (HWND child : Descendants(box)) {
    std::wstring cls = ClassOf(child);
    int id = GetDlgCtrlID(child);
    std::string child_text;
    WindowTextGbk(child, &child_text);
    if (_wcsicmp(cls.c_str(), L"Static") == 0 && id == kMessageBoxTextId) text = child_text;
    DWORD_PTR hicon = 0;
    if (_wcsicmp(cls.c_str(), L"Static") == 0 &&
        (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child) &&
        SendTimeout(child, STM_GETICON, 0, 0, &hicon) && hicon != 0)
      icon = true;
    if (_wcsicmp(cls.c_str(), L"Button") == 0 && IsWindowVisible(child)) {
      JsonObject b;
      b.Int("id", id).Gbk("text", child_text);
      buttons += (buttons.size() > 1 ? "," : "") + b.Done();
    }
  }
  o.Gbk("text", text).Raw("buttons", buttons + "]").Bool("icon", icon);
  o.Raw("owner", HwndText(GetWindow(box, GW_OWNER)));
  RECT r;
  GetWindowRect(box, &r);
  o.Raw("rect", RectJson(r));
  o.Int("style", static_cast<DWORD>(GetWindowLongW(box, GWL_STYLE)));
  o.Int("exstyle", static_cast<DWORD>(GetWindowLongW(box, GWL_EXSTYLE)));
  if (g_target.main && IsWindow(g_target.main))
    o.Bool("main_enabled", IsWindowEnabled(g_target.main));
  return o.Done();
}

// msgbox [timeout_ms]: the message box of the target, waited for; found=false after the time-out.
Reply CmdMsgBox(const Args& args) {
  HWND box = WaitForWindowOfClass(L"#32770", IntArg(args, 1, 0));
  Reply r;
  r.body.Bool("found", box != nullptr);
  if (box) r.body.Raw("box", MessageBoxJson(box));
  return r;
}

// msgbox-close [button id, 1 = OK] [timeout_ms]
Reply CmdMsgBoxClose(const Args& args) {
  long long button = IntArg(args, 1, IDOK);
  long long timeout = IntArg(args, 2, 5000);
  HWND box = WaitForWindowOfClass(L"#32770", timeout);
  if (!box) return Fail("no message box");
  std::string shown = MessageBoxJson(box);
  HWND control = GetDlgItem(box, static_cast<int>(button));
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(control));
  if (!WaitGone(box, timeout)) return Fail("message box did not close");
  Reply r;
  r.body.Raw("box", shown);
  return r;
}

void PostKey(HWND hwnd, UINT vk) {
  PostMessageW(hwnd, WM_KEYDOWN, vk, 1);
  PostMessageW(hwnd, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
}

std::string MenuJson(HWND menu) {
  JsonObject o;
  RECT r;
  GetWindowRect(menu, &r);
  o.Raw("hwnd", HwndText(menu)).Raw("rect", RectJson(r));
  return o.Done();
}

// Chooses the index-th item (0-based) of an open pop-up menu with the
// keyboard, or cancels it with index -1; waits for it to close.
Reply ChooseMenuItem(HWND menu, long long index, long long timeout) {
  std::string shown = MenuJson(menu);
  if (index < 0) {
    PostKey(menu, VK_ESCAPE);
  } else {
    for (long long i = 0; i <= index; ++i) PostKey(menu, VK_DOWN);
    PostKey(menu, VK_RETURN);
  }
  if (!WaitGone(menu, timeout)) return Fail("menu did not close");
  Reply r;
  r.body.Raw("menu", shown);
  return r;
}

// tray-menu [index|-] [timeout_ms]: a right-button press on the tray icon,
// then the pop-up menu's position; with an index, that item is chosen.
Reply CmdTrayMenu(const Args& args) {
  if (!g_target.main) return Fail("not attached");
  long long timeout = IntArg(args, 2, 5000);
  PostMessageW(g_target.main, kTrayCallbackMessage, 1, WM_RBUTTONDOWN);
  HWND menu = WaitForWindowOfClass(L"#32768", timeout);
  if (!menu) return Fail("no pop-up menu appeared");
  long long index = 0;
  if (args.size() > 1 && ParseInt(args[1], &index)) return ChooseMenuItem(menu, index, timeout);
  Reply r;
  r.body.Raw("menu", MenuJson(menu));
  return r;
}

// menu [timeout_ms]: the open pop-up menu, if any.
Reply CmdMenu(const Args& args) {
  HWND menu = WaitForWindowOfClass(L"#32768", IntArg(args, 1, 0));
  Reply r;
  r.body.Bool("found", menu != nullptr);
  if (menu) r.body.Raw("menu", MenuJson(menu));
  return r;
}

// menu-choose <index|-1> [timeout_ms]
Reply CmdMenuChoose(const Args& args) {
  long long timeout = IntArg(args, 2, 5000);
  HWND menu = WaitForWindowOfClass(L"#32768", timeout);
  if (!menu) return Fail("no pop-up menu");
  return ChooseMenuItem(menu, IntArg(args, 1, -1), timeout);
}

WORD KeyCode(std::string name) {
  for (auto& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  if (name.size() >= 2 && name[0] == 'F' && isdigit(static_cast<unsigned char>(name[1]))) {
    int n = atoi(name.c_str() + 1);
    if (n >= 1 && n <= 24) return static_cast<WORD>(VK_F1 + n - 1);
  }
  static const std::map<std::string, WORD> kNamed = {
      {"ENTER", VK_RETURN}, {"RETURN", VK_RETURN}, {"ESC", VK_ESCAPE},   {"ESCAPE", VK_ESCAPE},
      {"TAB", VK_TAB},      {"SPACE", VK_SPACE},   {"UP", VK_UP},        {"DOWN", VK_DOWN},
      {"LEFT", VK_LEFT},    {"RIGHT", VK_RIGHT},   {"CTRL", VK_CONTROL}, {"SHIFT", VK_SHIFT},
      {"ALT", VK_MENU},     {"WIN", VK_LWIN}};
  auto it = kNamed.find(name);
  if (it != kNamed.end()) return it->second;
  if (name.size() == 1 && isalnum(static_cast<unsigned char>(name[0])))
    return static_cast<WORD>(name[0]);
  return 0;
}

// key <name> [ctrl|shift|alt|win]...: presses and releases a key through SendInput.
Reply CmdKey(const Args& args) {
  if (args.size() < 2) return Fail("key needs a key name");
  std::vector<WORD> keys;
  for (size_t i = 2; i < args.size(); ++i) {
    WORD vk = KeyCode(args[i]);
    if (!vk) return Fail("unknown modifier " + args[i]);
    keys.push_back(vk);
  }
  WORD main_key = KeyCode(args[1]);
  if (!main_key) return Fail("unknown key " + args[1]);
  keys.push_back(main_key);
  std::vector<INPUT> inputs;
  for (WORD vk : keys) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    inputs.push_back(in);
  }
  for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = *it;
    in.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(in);
  }
  UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  Reply r;
  r.body.Int("sent", sent);
  if (sent != inputs.size()) return Fail("SendInput sent " + std::to_string(sent));
  return r;
}

// post <msg> <wparam> <lparam> [target]; send ... waits (with the time-out) for the result.
Reply CmdPost(const Args& args, bool send) {
  long long msg = 0, wp = 0, lp = 0;
  if (args.size() < 4 || !ParseInt(args[1], &msg) || !ParseInt(args[2], &wp) ||
      !ParseInt(args[3], &lp))
    return Fail("usage: post|send <msg> <wparam> <lparam> [target]");
  RESOLVE_OR_FAIL(hwnd, args, 4);
  Reply r;
  if (send) {
    DWORD_PTR result = 0;
    if (!SendTimeout(hwnd, static_cast<UINT>(msg), static_cast<WPARAM>(wp), static_cast<LPARAM>(lp),
                     &result))
      return Fail("send failed, error " + std::to_string(GetLastError()));
    r.body.Int("result", static_cast<long long>(static_cast<LONG_PTR>(result)));
  } else if (!PostMessageW(hwnd, static_cast<UINT>(msg), static_cast<WPARAM>(wp),
                           static_cast<LPARAM>(lp))) {
    return Fail("PostMessage failed");
  }
  return r;
}

Reply CmdRegisterMessage(const Args& args) {
  if (args.size() < 2) return Fail("register-message needs a name");
  Reply r;
  r.body.Int("message", RegisterWindowMessageW(sim::ToWide(args[1], CP_UTF8).c_str()));
  return r;
}

Reply CmdClose(const Args&) {
  if (!g_target.main) return Fail("not attached");
  PostMessageW(g_target.main, WM_CLOSE, 0, 0);
  return {};
}

Reply CmdWindows(const Args& args) {
  bool all = args.size() > 1 && args[1] == "all";
  std::string list = "[";
  for (HWND hwnd : TopLevelWindows()) {
    DWORD pid = PidOf(hwnd);
    if (!all && pid != g_target.pid) continue;
    JsonObject o;
    wchar_t caption[512] = {};
    GetWindowTextW(hwnd, caption, 512);
    RECT r;
    GetWindowRect(hwnd, &r);
    o.Raw("hwnd", HwndText(hwnd))
        .Int("pid", pid)
        .Str("class", sim::FromWide(ClassOf(hwnd), CP_UTF8));
    o.Str("title", sim::FromWide(caption, CP_UTF8))
        .Raw("rect", RectJson(r))
        .Bool("visible", IsWindowVisible(hwnd));
    o.Raw("owner", HwndText(GetWindow(hwnd, GW_OWNER)));
    list += (list.size() > 1 ? "," : "") + o.Done();
  }
  Reply r;
  r.body.Raw("windows", list + "]");
  return r;
}

long long FileTimeMs(const FILETIME& ft) {
  return static_cast<long long>(
      ((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 10000);
}

// proc: the target's memory, CPU times and object counts, for benchmarks.
Reply CmdProc(const Args&) {
  if (!g_target.process) return Fail("not attached");
  PROCESS_MEMORY_COUNTERS_EX mem{};
  mem.cb = sizeof mem;
  Reply r;
  if (GetProcessMemoryInfo(g_target.process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&mem),
                           sizeof mem)) {
    r.body.Int("private_bytes", mem.PrivateUsage).Int("working_set", mem.WorkingSetSize);
    r.body.Int("peak_working_set", mem.PeakWorkingSetSize).Int("pagefile", mem.PagefileUsage);
  }
  FILETIME created, exited, kernel, user;
  if (GetProcessTimes(g_target.process, &created, &exited, &kernel, &user))
    r.body.Int("kernel_ms", FileTimeMs(kernel)).Int("user_ms", FileTimeMs(user));
  DWORD handles = 0;
  if (GetProcessHandleCount(g_target.process, &handles)) r.body.Int("handles", handles);
  r.body.Int("gdi_objects", GetGuiResources(g_target.process, GR_GDIOBJECTS));
  r.body.Int("user_objects", GetGuiResources(g_target.process, GR_USEROBJECTS));
  return r;
}

// ---- timing, for the benchmarks

double CpuMs(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
  auto ticks = [](const FILETIME& ft) {
    return (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

double NowMs() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

enum class PaneMatch { kStartsWith, kEquals, kDiffers };

// Reads a pane every millisecond or so until it matches `text`. The
// milliseconds waited; negative after the time-out.
double PollPane(HWND bar, long long index, const std::string& text, PaneMatch match,
                long long timeout, std::string* last, DWORD poll_ms = 1) {
  constexpr size_t kRoom = 4096;
  RemoteBuffer buffer(kRoom);
  const double start = NowMs();
  if (!buffer.valid()) return -1;
  for (;;) {
    std::string pane;
    if (ReadPane(bar, index, buffer, kRoom, &pane)) {
      *last = pane;
      const bool matched = match == PaneMatch::kEquals   ? pane == text
                           : match == PaneMatch::kDiffers ? pane != text
                                                          : pane.compare(0, text.size(), text) == 0;
      if (matched) return NowMs() - start;
    }
    if (NowMs() - start > static_cast<double>(timeout)) return -1;
    Sleep(poll_ms);
  }
}

// time-click <id> <pane> <text> [timeout_ms] [settle_ms] [poll_ms]: posts a
// click, waits until the pane reads something else (the action has begun),
// leaves the target alone for settle_ms, then reads the pane every poll_ms
// until it is exactly `text`. How long that took, and the target's CPU time
// (kernel and user) meanwhile. Every read is two messages the target answers,
// so settle and poll rarely when its CPU time is what counts.
Reply CmdTimeClick(const Args& args) {
  RESOLVE_OR_FAIL(button, args, 1);
  HWND bar = AttachedStatusBar();
  if (!bar) return Fail("no status bar");
  const std::string wanted = sim::FromWide(sim::ToWide(args.size() > 3 ? args[3] : "", CP_UTF8), sim::kGbk);
  const double cpu_before = CpuMs(g_target.process);
  const double start = NowMs();
  if (!PostMessageW(button, BM_CLICK, 0, 0)) return Fail("PostMessage failed");
  std::string last;
  const long long pane = IntArg(args, 2, 0), timeout = IntArg(args, 4, 30000);
  const auto settle = static_cast<DWORD>(IntArg(args, 5, 0));
  const auto poll = static_cast<DWORD>(IntArg(args, 6, 1));
  double waited = PollPane(bar, pane, wanted, PaneMatch::kDiffers, timeout, &last);
  if (waited >= 0) {
    Sleep(settle);
    waited = PollPane(bar, pane, wanted, PaneMatch::kEquals, timeout, &last, poll);
  }
  const double elapsed = NowMs() - start;
  Reply r;
  r.body.Bool("reached", waited >= 0).Gbk("pane", last);
  r.body.Raw("ms", std::to_string(elapsed)).Raw("cpu_ms", std::to_string(CpuMs(g_target.process) - cpu_before));
  return r;
}

// wait-pane <pane> <prefix> [timeout_ms]: waits until the pane's text starts with prefix.
Reply CmdWaitPane(const Args& args) {
  HWND bar = AttachedStatusBar();
  if (!bar) return Fail("no status bar");
  const std::string prefix = sim::FromWide(sim::ToWide(args.size() > 2 ? args[2] : "", CP_UTF8), sim::kGbk);
  std::string last;
  const double waited =
      PollPane(bar, IntArg(args, 1, 0), prefix, PaneMatch::kStartsWith, IntArg(args, 3, 30000), &last);
  Reply r;
  r.body.Bool("reached", waited >= 0).Gbk("pane", last).Raw("ms", std::to_string(waited));
  return r;
}

// wait-exit [timeout_ms]: exited=false after the time-out.
Reply CmdWaitExit(const Args& args) {
  if (!g_target.process) return Fail("not attached");
  DWORD wait = WaitForSingleObject(g_target.process, static_cast<DWORD>(IntArg(args, 1, 10000)));
  Reply r;
  r.body.Bool("exited", wait == WAIT_OBJECT_0);
  DWORD code = 0;
  if (wait == WAIT_OBJECT_0 && GetExitCodeProcess(g_target.process, &code))
    r.body.Int("code", code);
  return r;
}

using Handler = std::function<Reply(const Args&)>;

const std::map<std::string, Handler>& Commands() {
  static const std::map<std::string, Handler> kCommands = {
      {"ping", CmdPing},
      {"timeout", CmdTimeout},
      {"attach", CmdAttach},
      {"window", CmdWindow},
      {"controls", CmdControls},
      {"control",
       [](const Args& a) {
         RESOLVE_OR_FAIL(hwnd, a, 1);
         Reply r;
         r.body.Raw("control", WindowJson(hwnd));
         return r;
       }},
      {"text", CmdText},
      {"panes", CmdPanes},
      {"items", CmdItems},
      {"click", CmdClick},
      {"settext", CmdSetText},
      {"select", CmdSelect},
      {"setcheck", CmdSetCheck},
      {"msgbox", CmdMsgBox},
      {"msgbox-close", CmdMsgBoxClose},
      {"tray-menu", CmdTrayMenu},
      {"menu", CmdMenu},
      {"menu-choose", CmdMenuChoose},
      {"key", CmdKey},
      {"post", [](const Args& a) { return CmdPost(a, false); }},
      {"send", [](const Args& a) { return CmdPost(a, true); }},
      {"register-message", CmdRegisterMessage},
      {"close", CmdClose},
      {"windows", CmdWindows},
      {"proc", CmdProc},
      {"wait-exit", CmdWaitExit},
      {"time-click", CmdTimeClick},
      {"wait-pane", CmdWaitPane},
  };
  return kCommands;
}

std::string Run(const std::string& line) {
  Args args = SplitCommand(line);
  Reply reply;
  auto it = Commands().find(args[0]);
  if (it == Commands().end()) {
    reply = Fail("unknown command: " + args[0]);
  } else {
    reply = it->second(args);
  }
  JsonObject out;
  out.Bool("ok", reply.ok).Str("cmd", args[0]);
  if (!reply.ok) out.Str("error", reply.error);
  std::string body = reply.body.Done();
  if (body.size() > 2) return out.Done().substr(0, out.Done().size() - 1) + "," + body.substr(1);
  return out.Done();
}

void WriteLine(const std::string& text) {
  std::string line = text + "\n";
  DWORD wrote = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &wrote,
            nullptr);
}

}  // namespace

int main() {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  std::string pending;
  char buf[4096];
  for (;;) {
    size_t newline;
    while ((newline = pending.find('\n')) != std::string::npos) {
      std::string line = pending.substr(0, newline);
      pending.erase(0, newline + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty()) continue;
      if (line == "quit") {
        WriteLine("{\"ok\":true,\"cmd\":\"quit\"}");
        return 0;
      }
      WriteLine(Run(line));
    }
    DWORD got = 0;
    if (!ReadFile(in, buf, sizeof buf, &got, nullptr) || got == 0) return 0;
    pending.append(buf, got);
  }
}
