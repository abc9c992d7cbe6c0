#pragma once

#include <ostream>
#include <string>

#include "core/platform.h"

namespace orvel::logger {

// The window's modal dialogues without a window: notices go to the error
// stream, questions take their default answers (the start-up answers come
// from the command line instead).
class ConsoleDialogs final : public core::Dialogs {
 public:
  explicit ConsoleDialogs(std::ostream& err) : err_(err) {}

  bool AskYesNo(const std::string&) override { return false; }
  std::string ChooseFolder(const std::string&) override { return {}; }
  std::string AskText(const std::string&, const std::string&,
                      const std::string& default_text) override {
    return default_text;
  }
  // Prefixed with the context, if any: a bare status number on a console
  // full of devices would name nothing.
  void ShowNotice(const std::string& text) override {
    if (!context_.empty()) err_ << context_ << ": ";
    err_ << text << '\n' << std::flush;
  }
  void OpenWithShell(const std::string&) override {}
  void SetNoticeContext(const std::string& context) override { context_ = context; }

 private:
  std::ostream& err_;
  std::string context_;
};

// No window, so no messages to process.
class ConsolePump final : public core::MessagePump {
 public:
  void ProcessMessages() override {}
};

}  // namespace orvel::logger
