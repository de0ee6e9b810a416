#include "sim/window/window.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>

#include "sim/text/text.h"
#include "sim/window/scene.h"

namespace sim {

namespace {

const char kMainClass[] = "OrbitrixHostWindow";
const char kViewClass[] = "OrbitrixHostView";
constexpr int kClientWidth = 960, kClientHeight = 600;
constexpr int kMargin = 8, kBox = 13, kGap = 6;

// The window's own texts, in English and in Japanese. The option labels are
// the plug-in's and are shown as it registered them.
struct Texts {
  const char* perspective;     // a view in perspective, by number
  const char* notPerspective;  // a view whose "Pers" is 0
  const char* parallelForNow;  // while its "TempOrtho" is 1
  const char* status;          // heading, pitch, TempOrtho, drag state, answer
};
constexpr Texts kTexts[2] = {
    {"View %u: perspective", "View %u: not in perspective (Pers 0)",
     "parallel for now (TempOrtho 1)",
     "heading %s   pitch %s   TempOrtho %s   drag state %d   answer %d"},
    {"ビュー %u: 透視投影", "ビュー %u: 透視投影ではない (Pers 0)",
     "一時的に平行投影 (TempOrtho 1)",
     "ヘディング %s   ピッチ %s   TempOrtho %s   ドラッグ状態 %d   応答 %d"},
};
const char* const kLanguages[2] = {"English", "日本語"};

std::wstring Wide(const std::string& utf8) {
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(std::max(n, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
  return w;
}

// One line of text in the rectangle, at its left and middle, cut short with
// an ellipsis where it does not fit.
void Text(HDC dc, RECT r, const std::string& utf8) {
  const std::wstring w = Wide(utf8);
  DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

SIZE Extent(HDC dc, const std::string& utf8) {
  const std::wstring w = Wide(utf8);
  SIZE size{};
  GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
  return size;
}

int CALLBACK FaceFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

// A face with Japanese and Latin letters alike: Windows' Japanese user
// interface font, or IPAex Gothic (as Wine has it here); without either,
// Windows picks one for the character set, which may lack Latin letters.
std::string JapaneseFace() {
  HDC dc = GetDC(nullptr);
  std::string face;
  for (const char* name : {"MS UI Gothic", "IPAexGothic"}) {
    LOGFONTA wanted{};
    wanted.lfCharSet = SHIFTJIS_CHARSET;
    std::strncpy(wanted.lfFaceName, name, LF_FACESIZE - 1);
    bool found = false;
    EnumFontFamiliesExA(dc, &wanted, FaceFound, reinterpret_cast<LPARAM>(&found), 0);
    if (found) {
      face = name;
      break;
    }
  }
  ReleaseDC(nullptr, dc);
  return face;
}

bool Inside(const RECT& r, POINT p) { return PtInRect(&r, p) != FALSE; }

// The bits of the buttons that a mouse message says are held: bit 0 the
// left button, bit 1 the right, bit 2 the middle.
uint32_t Held(WPARAM keys) {
  return (keys & MK_LBUTTON ? 1u : 0u) | (keys & MK_RBUTTON ? 2u : 0u) |
         (keys & MK_MBUTTON ? 4u : 0u);
}

// The bit of the button that a button message is about.
uint32_t Changed(UINT message) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: return 1;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: return 2;
    default: return 4;
  }
}

// The HostWindow that a window of ours belongs to: handed over at creation,
// kept in the window's user data.
HostWindow* Owner(HWND hwnd, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  return reinterpret_cast<HostWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

// Draws into a bitmap the size of the window's client area, then copies it
// to the screen at once, so that nothing flickers while a view turns.
class Buffered {
 public:
  Buffered(HWND hwnd, HDC target) : target_(target) {
    GetClientRect(hwnd, &area_);
    dc_ = CreateCompatibleDC(target);
    bitmap_ = CreateCompatibleBitmap(target, area_.right, area_.bottom);
    old_ = SelectObject(dc_, bitmap_);
  }
  ~Buffered() {
    BitBlt(target_, 0, 0, area_.right, area_.bottom, dc_, 0, 0, SRCCOPY);
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Buffered(const Buffered&) = delete;
  Buffered& operator=(const Buffered&) = delete;
  HDC dc() const { return dc_; }
  const RECT& area() const { return area_; }

 private:
  HDC target_, dc_;
  RECT area_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
};

}  // namespace

HostWindow::HostWindow(Host& host, const std::vector<ViewHandle>& views, bool japanese,
                       std::function<void(const Step&)> sink)
    : host_(host), japanese_(japanese), sink_(std::move(sink)) {
  for (ViewHandle v : views) panes_.push_back(Pane{v});
  for (const Registration& r : host.registrations)
    if (r.kind == orbitrix::kToolInfo && r.bytes.size() >= 12)
      std::memcpy(&button_, &r.bytes[8], sizeof button_);
  // The labels are code page 932 bytes, drawn as a Japanese host draws them:
  // through the ANSI functions, with a font of the Shift-JIS character set.
  font_ = CreateFontA(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                      JapaneseFace().c_str());
  host_.onRefresh = [this](uint32_t target) {
    if (target != RefreshTarget()) return;
    for (Pane& pane : panes_) InvalidateRect(pane.hwnd, nullptr, FALSE);
  };
}

HostWindow::~HostWindow() {
  host_.onRefresh = nullptr;
  if (main_) DestroyWindow(main_);
  DeleteObject(font_);
  if (button_) DeleteObject(button_);
}

uint32_t HostWindow::RefreshTarget() const {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(main_));
}

bool HostWindow::Open(const std::string& title) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA c{};
  c.hInstance = instance;
  c.hCursor = LoadCursor(nullptr, IDC_ARROW);
  c.lpfnWndProc = MainProc;
  c.lpszClassName = kMainClass;
  c.hbrBackground = nullptr;
  if (!RegisterClassA(&c)) return false;
  c.lpfnWndProc = ViewProc;
  c.lpszClassName = kViewClass;
  c.hCursor = LoadCursor(nullptr, IDC_SIZEALL);
  if (!RegisterClassA(&c)) return false;

  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRect(&frame, style, FALSE);
  main_ = CreateWindowA(kMainClass, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                        frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                        instance, this);
  if (!main_) return false;
  for (Pane& pane : panes_) {
    pane.hwnd = CreateWindowA(kViewClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, main_, nullptr,
                              instance, this);
    if (!pane.hwnd) return false;
  }
  RECT client;
  GetClientRect(main_, &client);
  Layout(client.right, client.bottom);
  ShowWindow(main_, SW_SHOWNORMAL);
  UpdateWindow(main_);
  return true;
}

void HostWindow::Layout(int width, int height) {
  HDC dc = GetDC(main_);
  HGDIOBJ old = SelectObject(dc, font_);
  TEXTMETRICA metrics;
  GetTextMetricsA(dc, &metrics);
  textHeight_ = metrics.tmHeight;
  const int row = std::max(textHeight_, kBox) + 4;

  // The tool bar: the button, then the options in two columns, the second
  // under the first as its label says, and the language switch at the right.
  buttonRect_ = {kMargin, kMargin, kMargin + orbitrix::ToolInfoRecord::kWidth,
                 kMargin + orbitrix::ToolInfoRecord::kHeight};
  int x = buttonRect_.right + 3 * kMargin;
  for (int column = 0; column < 2; ++column) {
    int widest = 0;
    for (int i = 2 * column; i < 2 * column + 2; ++i) {
      SIZE label{};
      if (const orbitrix::GuiOptionRecord* o = host_.option(i); o && o->label)
        GetTextExtentPoint32A(dc, o->label, static_cast<int>(std::strlen(o->label)), &label);
      const int top = kMargin / 2 + (i % 2) * row;
      optionRects_[static_cast<size_t>(i)] = {x, top, x + kBox + kGap + label.cx, top + row};
      widest = std::max(widest, kBox + kGap + static_cast<int>(label.cx));
    }
    x += widest + 3 * kMargin;
  }
  const SIZE language = Extent(dc, Cat({kLanguages[0], " | ", kLanguages[1]}));
  languageRect_ = {width - kMargin - language.cx, kMargin / 2, width - kMargin, kMargin / 2 + row};
  bar_ = {0, 0, width, std::max<LONG>(buttonRect_.bottom + kMargin, kMargin + 2 * row)};

  // The views side by side under it, each with its status line below.
  const int status = textHeight_ + kMargin;
  const int n = static_cast<int>(panes_.size());
  for (int i = 0; i < n; ++i) {
    Pane& pane = panes_[static_cast<size_t>(i)];
    const int left = width * i / n, right = width * (i + 1) / n;
    pane.status = {left, height - status, right, height};
    // A gap of two pixels between neighbours.
    pane.area = {left, bar_.bottom, right - (i + 1 < n ? 2 : 0), height - status};
    MoveWindow(pane.hwnd, pane.area.left, pane.area.top, pane.area.right - pane.area.left,
               pane.area.bottom - pane.area.top, TRUE);
  }
  SelectObject(dc, old);
  ReleaseDC(main_, dc);
}

std::string HostWindow::Where() const {
  const auto line = [this](const std::string& name, RECT r) {
    MapWindowPoints(main_, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return Format("where %s %ld,%ld %ldx%ld\n", name.c_str(), r.left, r.top, r.right - r.left,
                  r.bottom - r.top);
  };
  RECT client;
  GetClientRect(main_, &client);
  std::string text = line("window", client) + line("button", buttonRect_);
  for (size_t i = 0; i < optionRects_.size(); ++i)
    text += line(Format("option %d", static_cast<int>(i) + 1), optionRects_[i]);
  text += line("language", languageRect_);
  for (const Pane& pane : panes_) {
    text += line(Format("view %u", pane.view), pane.area);
    text += line(Format("status %u", pane.view), pane.status);
  }
  return text;
}

void HostWindow::SelectTool() {
  for (Pane& pane : panes_) Send(pane, "switch", 0);
}

void HostWindow::Run() {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void HostWindow::Send(Pane& pane, const char* event, uint32_t buttons) {
  Step s;
  s.line = ++events_;
  s.event = event;
  s.view = pane.view;
  s.buttons = buttons;
  POINT cursor{};
  GetCursorPos(&cursor);  // as the plug-in reads it
  s.x = cursor.x, s.y = cursor.y;
  s.ctrl = GetKeyState(VK_CONTROL) < 0;
  sim::Send(host_, s, pane.context.data(), RefreshTarget());
  host_.ClearLog();
  pane.answer = s.result;
  // The host draws the view anew after each of its events, and all of them
  // when the plug-in asks: the step goes out once the screen shows it. (Wine
  // copies what a program drew to the X display when it waits for messages,
  // here for no time at all.)
  InvalidateRect(pane.hwnd, nullptr, FALSE);
  InvalidateRect(main_, &pane.status, FALSE);
  for (const Pane& p : panes_) UpdateWindow(p.hwnd);
  UpdateWindow(main_);
  MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
  sink_(s);
}

void HostWindow::Click(POINT p) {
  if (Inside(buttonRect_, p)) SelectTool();
  for (size_t i = 0; i < optionRects_.size(); ++i) {
    const orbitrix::GuiOptionRecord* o = host_.option(static_cast<int>(i));
    if (o && Inside(optionRects_[i], p)) host_.SetOption(static_cast<int>(i), o->value ? 0 : 1);
  }
  if (Inside(languageRect_, p)) japanese_ = !japanese_;
  InvalidateRect(main_, nullptr, FALSE);
  for (const Pane& pane : panes_) InvalidateRect(pane.hwnd, nullptr, FALSE);
}

void HostWindow::PaintMain(HDC target) {
  const Buffered buffer(main_, target);
  HDC dc = buffer.dc();
  FillRect(dc, &buffer.area(), GetSysColorBrush(COLOR_BTNFACE));
  HGDIOBJ old = SelectObject(dc, font_);
  SetBkMode(dc, TRANSPARENT);

  // The tool's button, pressed in: it is the current tool.
  RECT edge = buttonRect_;
  InflateRect(&edge, 2, 2);
  DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_RECT);
  if (button_) {
    HDC bitmapDc = CreateCompatibleDC(dc);
    HGDIOBJ oldBitmap = SelectObject(bitmapDc, button_);
    BitBlt(dc, buttonRect_.left, buttonRect_.top, orbitrix::ToolInfoRecord::kWidth,
           orbitrix::ToolInfoRecord::kHeight, bitmapDc, 0, 0, SRCCOPY);
    SelectObject(bitmapDc, oldBitmap);
    DeleteDC(bitmapDc);
  }

  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  for (size_t i = 0; i < optionRects_.size(); ++i) {
    const orbitrix::GuiOptionRecord* o = host_.option(static_cast<int>(i));
    if (!o) continue;
    const RECT& r = optionRects_[i];
    const int middle = (r.top + r.bottom) / 2;
    RECT box{r.left, middle - kBox / 2, r.left + kBox, middle - kBox / 2 + kBox};
    DrawFrameControl(dc, &box, DFC_BUTTON, DFCS_BUTTONCHECK | (o->value ? DFCS_CHECKED : 0));
    if (o->label)
      TextOutA(dc, box.right + kGap, middle - textHeight_ / 2, o->label,
               static_cast<int>(std::strlen(o->label)));
  }

  // English | 日本語, the language in use darker.
  RECT word = languageRect_;
  for (int language = 0; language < 2; ++language) {
    SetTextColor(dc, GetSysColor(language == japanese_ ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    const std::string text = language ? Cat({" | ", kLanguages[1]}) : kLanguages[0];
    Text(dc, word, text);
    word.left += Extent(dc, text).cx;
  }

  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  const Texts& t = kTexts[japanese_];
  for (const Pane& pane : panes_) {
    const View& v = host_.view(pane.view);
    const std::string tempOrtho = v.attributes.count("TempOrtho") ? v.text("TempOrtho") : "-";
    RECT line = pane.status;
    InflateRect(&line, -kMargin, 0);
    Text(dc, line,
         Format(t.status, Number(v.heading()).c_str(), Number(v.pitch()).c_str(), tempOrtho.c_str(),
                DragState(pane.context.data()), pane.answer));
  }
  SelectObject(dc, old);
}

void HostWindow::PaintView(Pane& pane, HDC target) {
  const Buffered buffer(pane.hwnd, target);
  HDC dc = buffer.dc();
  const View& v = host_.view(pane.view);
  const bool perspective = v.text("Pers") != "0", forNow = v.text("TempOrtho") == "1";
  DrawScene(dc, buffer.area(), v.heading(), v.pitch(), !perspective || forNow);
  const Texts& t = kTexts[japanese_];
  std::string caption = Format(perspective ? t.perspective : t.notPerspective, pane.view);
  if (forNow) caption.append(", ").append(t.parallelForNow);
  HGDIOBJ old = SelectObject(dc, font_);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(230, 230, 230));
  RECT line = buffer.area();
  line.left += kMargin;
  line.bottom = line.top + textHeight_ + kMargin;
  Text(dc, line, caption);
  SelectObject(dc, old);
}

LRESULT CALLBACK HostWindow::MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  HostWindow* self = Owner(hwnd, message, lParam);
  if (!self || !self->main_) return DefWindowProcA(hwnd, message, wParam, lParam);
  return self->OnMain(message, wParam, lParam);
}

LRESULT CALLBACK HostWindow::ViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (HostWindow* self = Owner(hwnd, message, lParam))
    for (Pane& pane : self->panes_)
      if (pane.hwnd == hwnd) return self->OnView(pane, message, wParam, lParam);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT HostWindow::OnMain(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) Layout(LOWORD(lParam), HIWORD(lParam));
      InvalidateRect(main_, nullptr, FALSE);
      return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      PaintMain(BeginPaint(main_, &paint));
      EndPaint(main_, &paint);
      return 0;
    }
    case WM_LBUTTONDOWN: Click({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}); return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) SelectTool();
      return 0;
    case WM_DESTROY:
      main_ = nullptr;
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(main_, message, wParam, lParam);
}

LRESULT HostWindow::OnView(Pane& pane, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      PaintView(pane, BeginPaint(pane.hwnd, &paint));
      EndPaint(pane.hwnd, &paint);
      return 0;
    }
    // A drag keeps going to the view it started in, wherever the cursor goes.
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      SetCapture(pane.hwnd);
      Send(pane, "press", Changed(message));
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      Send(pane, "release", Changed(message));
      if (!Held(wParam)) ReleaseCapture();
      return 0;
    case WM_MOUSEMOVE: Send(pane, "move", Held(wParam)); return 0;
  }
  return DefWindowProcA(pane.hwnd, message, wParam, lParam);
}

}  // namespace sim
