#include "win32/screenshots.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "measure/poll_loop.h"
#include "win32/main_window.h"
#include "win32/png_file.h"
#include "win32/wide_text.h"

namespace orvel::win32 {
namespace {

constexpr DWORD kCheckMs = 100;
constexpr DWORD kSettleMs = 300;
constexpr DWORD kGiveUpMs = 15000;
constexpr char kNoValue[] = "--,--";

bool ShowsValue(HWND label) {
  const std::string text = WindowText(label);
  return !text.empty() && text != kNoValue;
}

// The client area as the screen shows it.
std::vector<std::uint8_t> GrabClient(HWND window, int width, int height) {
  const HDC screen = ::GetDC(window);
  const HDC memory = ::CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  ::GdiFlush();
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                                3);
  const auto* bgrx = static_cast<const std::uint8_t*>(bits);
  for (std::size_t i = 0; i < rgb.size() / 3; ++i) {
    rgb[i * 3] = bgrx[i * 4 + 2];
    rgb[i * 3 + 1] = bgrx[i * 4 + 1];
    rgb[i * 3 + 2] = bgrx[i * 4];
  }
  ::SelectObject(memory, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(window, screen);
  return rgb;
}

// Pumps the window's messages for `ms` milliseconds.
void Settle(MainWindow& window, DWORD ms) {
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < ms && !window.Closed()) {
    window.pump().ProcessMessages();
    ::Sleep(10);
  }
}

}  // namespace

void SaveTabScreenshots(MainWindow& window, const std::wstring& dir) {
  ::CreateDirectoryW(dir.c_str(), nullptr);
  const MainForm& f = window.form();
  const DWORD start = ::GetTickCount();
  bool ready = false;
  while (!window.Closed() && ::GetTickCount() - start < kGiveUpMs) {
    const measure::PollLoop& poll = window.station().poll();
    ready = poll.Polls() >= 1 && !poll.BusBusy() && ShowsValue(f.lblTvalue) &&
            ShowsValue(f.lblHvalue) && ShowsValue(f.lblValT28e17) && ShowsValue(f.lblValH28e17);
    if (ready) break;
    Settle(window, kCheckMs);
  }
  const DWORD elapsed = ::GetTickCount() - start;
  std::fprintf(stderr, "%s %lu ms after the last start-up answer\n",
               ready ? "values on all three sensor tabs" : "no values on the sensor tabs",
               static_cast<unsigned long>(elapsed));
  if (window.Closed()) return;
  // One more round of the 200 ms indicator, so the shapes show the state
  // between polls.
  Settle(window, kSettleMs);

  RECT client;
  ::GetClientRect(window.handle(), &client);
  std::fprintf(stderr, "title: %s\nclient area: %ldx%ld\n", WindowText(window.handle()).c_str(),
               client.right, client.bottom);
  const int shown = static_cast<int>(::SendMessageW(f.pgc1, TCM_GETCURSEL, 0, 0));
  for (int i = 0; i < kPageCount; ++i) {
    ShowPage(f, i);
    ::RedrawWindow(window.handle(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Settle(window, 50);
    const std::wstring path = dir + L"\\" + f.page_names[i] + L".png";
    if (!WritePng(path, client.right, client.bottom,
                  GrabClient(window.handle(), client.right, client.bottom)))
      std::fprintf(stderr, "could not save %s\n", Utf8(path).c_str());
  }
  ShowPage(f, shown);
  std::fflush(stderr);
  ::PostMessageW(window.handle(), WM_CLOSE, 0, 0);
}

}  // namespace orvel::win32
