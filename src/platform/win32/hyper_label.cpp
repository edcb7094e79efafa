#include "platform/win32/hyper_label.h"

#include <shellapi.h>

#include <string>
#include <string_view>
#include <vector>

namespace pelnor {

namespace {

struct Segment {
  std::string text;
  std::string target;  // empty for plain text
  RECT rect{};
};

struct LabelState {
  std::vector<Segment> segments;
  HFONT font = nullptr;
  HFONT hot_font = nullptr;
  int hot = -1;
  bool tracking = false;
};

constexpr COLORREF kLinkColour = RGB(0, 0, 255);
constexpr COLORREF kTextColour = RGB(0, 0, 0);

// Markup delimiters are ASCII below 0x40, which no GBK trail byte can be.
std::vector<Segment> Parse(std::string_view markup) {
  constexpr std::string_view kOpen = "<a href=\"";
  constexpr std::string_view kClose = "</a>";
  std::vector<Segment> segments;
  while (!markup.empty()) {
    const std::size_t open = markup.find(kOpen);
    if (open != 0) {
      segments.push_back({std::string(markup.substr(0, open)), {}});
      if (open == std::string_view::npos) break;
      markup.remove_prefix(open);
    }
    markup.remove_prefix(kOpen.size());
    const std::size_t target_end = markup.find("\">");
    const std::size_t close = markup.find(kClose);
    if (target_end == std::string_view::npos || close == std::string_view::npos ||
        close < target_end) {
      segments.push_back({std::string(markup), {}});
      break;
    }
    segments.push_back({std::string(markup.substr(target_end + 2, close - target_end - 2)),
                        std::string(markup.substr(0, target_end))});
    markup.remove_prefix(close + kClose.size());
  }
  return segments;
}

HFONT MakeFont(bool underline) {
  const HDC screen = GetDC(nullptr);
  const int height = -MulDiv(9, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, underline, FALSE, GB2312_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, "宋体");
}

void Layout(HWND window, LabelState& state) {
  const int length = GetWindowTextLengthA(window);
  std::string markup(static_cast<std::size_t>(length) + 1, '\0');
  markup.resize(static_cast<std::size_t>(GetWindowTextA(window, markup.data(), length + 1)));
  state.segments = Parse(markup);
  state.hot = -1;

  RECT client;
  GetClientRect(window, &client);
  const HDC dc = GetDC(window);
  const HGDIOBJ old = SelectObject(dc, state.font);
  int x = 0;
  for (Segment& segment : state.segments) {
    SIZE size{};
    GetTextExtentPoint32A(dc, segment.text.c_str(), static_cast<int>(segment.text.size()), &size);
    segment.rect = {x, 0, x + size.cx, client.bottom};
    x += size.cx;
  }
  SelectObject(dc, old);
  ReleaseDC(window, dc);
}

int HitTest(const LabelState& state, POINT point) {
  for (std::size_t i = 0; i < state.segments.size(); ++i) {
    if (!state.segments[i].target.empty() && PtInRect(&state.segments[i].rect, point)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

void SetHot(HWND window, LabelState& state, int hot) {
  if (hot == state.hot) return;
  state.hot = hot;
  InvalidateRect(window, nullptr, TRUE);
}

void Paint(HWND window, const LabelState& state) {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  SetBkMode(dc, TRANSPARENT);
  const HGDIOBJ old = SelectObject(dc, state.font);
  for (std::size_t i = 0; i < state.segments.size(); ++i) {
    const Segment& segment = state.segments[i];
    const bool link = !segment.target.empty();
    SelectObject(dc, static_cast<int>(i) == state.hot ? state.hot_font : state.font);
    SetTextColor(dc, link ? kLinkColour : kTextColour);
    TextOutA(dc, segment.rect.left, 0, segment.text.c_str(), static_cast<int>(segment.text.size()));
  }
  SelectObject(dc, old);
  EndPaint(window, &paint);
}

LRESULT CALLBACK HyperLabelProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<LabelState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE:
      state = new LabelState;
      state->font = MakeFont(false);
      state->hot_font = MakeFont(true);
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
      break;
    case WM_CREATE:
      Layout(window, *state);
      return 0;
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcA(window, message, wparam, lparam);
      Layout(window, *state);
      InvalidateRect(window, nullptr, TRUE);
      return result;
    }
    case WM_PAINT:
      Paint(window, *state);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE: {
      SetHot(window, *state, HitTest(*state, {LOWORD(lparam), HIWORD(lparam)}));
      if (!state->tracking) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
        state->tracking = TrackMouseEvent(&track);
      }
      return 0;
    }
    case WM_MOUSELEAVE:
      state->tracking = false;
      SetHot(window, *state, -1);
      return 0;
    case WM_SETCURSOR:
      if (state && state->hot >= 0) {
        SetCursor(LoadCursor(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_LBUTTONUP: {
      const int hit = HitTest(*state, {LOWORD(lparam), HIWORD(lparam)});
      if (hit >= 0) {
        ShellExecuteA(nullptr, "open", state->segments[static_cast<std::size_t>(hit)].target.c_str(),
                      nullptr, nullptr, SW_SHOWNORMAL);
      }
      return 0;
    }
    case WM_NCDESTROY:
      if (state) {
        DeleteObject(state->font);
        DeleteObject(state->hot_font);
        delete state;
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

void RegisterHyperLabelClass(HINSTANCE instance) {
  WNDCLASSEXA window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = HyperLabelProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.lpszClassName = kHyperLabelClass;
  RegisterClassExA(&window_class);
}

}  // namespace pelnor
