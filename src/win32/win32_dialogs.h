#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "core/platform.h"

namespace orvel::win32 {

// The modal dialogues with the system's boxes and two of our own. Each modal
// one runs its own message loop on the UI thread, so the timers keep being
// served while it is open.
class Win32Dialogs final : public core::Dialogs {
 public:
  explicit Win32Dialogs(std::wstring app_title) : app_title_(std::move(app_title)) {}

  bool AskYesNo(const std::string& question) override;
  // The shell's folder browser: file-system folders only, no new-folder
  // button, starting at the current folder.
  std::string ChooseFolder(const std::string& title) override;
  std::string AskText(const std::string& caption, const std::string& prompt,
                      const std::string& default_text) override;
  void ShowNotice(const std::string& text) override;
  // A modeless box owned by the window: it runs no loop of its own, so a
  // close request reaches the window while it stands.
  void OpenNotice(const std::string& text, std::function<void()> dismissed) override;
  void OpenWithShell(const std::string& target) override;

  // Boxes are shown over this window when it is visible, else centred on
  // the screen.
  void SetOwner(HWND owner) { owner_ = owner; }

 private:
  HWND Parent() const;

  std::wstring app_title_;
  HWND owner_ = nullptr;
  HWND open_notice_ = nullptr;
};

}  // namespace orvel::win32
