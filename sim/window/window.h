// The host's window: a tool bar with the plug-in's button and its options,
// the views side by side with a status line under each, and the window's own
// mouse and key messages sent to the plug-in as the host's tool events.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "sim/host/host.h"
#include "sim/session/session.h"

namespace sim {

class HostWindow {
 public:
  // The host must be started and its views set up. Each view gets a context
  // record of its own; sink hears every tool event the window sends, after
  // the window has drawn what it did.
  HostWindow(Host& host, const std::vector<ViewHandle>& views, bool japanese,
             std::function<void(const Step&)> sink);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  // Creates and shows the window; false when Windows refuses.
  bool Open(const std::string& title);
  // Where the window's inside, the button, the options, the language switch,
  // the views and their status lines are on the screen, one line each:
  // "where NAME X,Y WxH".
  std::string Where() const;
  // Makes the plug-in's tool current: a switch in every view.
  void SelectTool();
  // Runs until the window is closed.
  void Run();

 private:
  struct Pane {
    ViewHandle view;
    HWND hwnd = nullptr;
    std::array<unsigned char, kContextBytes> context{};
    int32_t answer = 0;  // the plug-in's answer to the last event here
    RECT area{};         // the view, in the main window
    RECT status{};       // its status line, in the main window
  };

  static LRESULT CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMain(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnView(Pane& pane, UINT message, WPARAM wParam, LPARAM lParam);

  void Layout(int width, int height);
  void Click(POINT p);
  void PaintMain(HDC dc);
  void PaintView(Pane& pane, HDC dc);
  void Send(Pane& pane, const char* event, uint32_t buttons);
  uint32_t RefreshTarget() const;

  Host& host_;
  std::vector<Pane> panes_;
  bool japanese_;
  std::function<void(const Step&)> sink_;
  HWND main_ = nullptr;
  HFONT font_ = nullptr;
  HBITMAP button_ = nullptr;  // from the tool record; the host owns it
  int textHeight_ = 16;
  RECT bar_{}, buttonRect_{}, languageRect_{};
  std::array<RECT, 4> optionRects_{};  // each option's box and label
  int events_ = 0;
};

}  // namespace sim
