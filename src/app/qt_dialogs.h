#pragma once

#include <QString>

#include "core/platform.h"

class QWidget;

namespace orvel::app {

// The modal dialogues with real Qt boxes. Each runs its own event loop on
// the UI thread, so bus waits elsewhere keep being served while it is open.
class QtDialogs final : public core::Dialogs {
 public:
  explicit QtDialogs(QString app_title) : app_title_(std::move(app_title)) {}

  bool AskYesNo(const std::string& question) override;
  std::string ChooseFolder(const std::string& title) override;
  std::string AskText(const std::string& caption, const std::string& prompt,
                      const std::string& default_text) override;
  void ShowNotice(const std::string& text) override;
  // A box that blocks no window and runs no loop of its own: a close
  // request reaches the window while it stands, and it never keeps the
  // program alive.
  void OpenNotice(const std::string& text, std::function<void()> dismissed) override;
  void OpenWithShell(const std::string& target) override;

  // Boxes are shown over this window when it is visible, else centred on
  // the screen.
  void SetOwner(QWidget* owner) { owner_ = owner; }

 private:
  QWidget* Parent() const;

  QString app_title_;
  QWidget* owner_ = nullptr;
};

}  // namespace orvel::app
