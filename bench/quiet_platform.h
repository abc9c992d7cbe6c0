#pragma once

#include <string>

#include "core/platform.h"

namespace orvel::bench {

// A window that never shows anything: benchmarks measure the bus work, not
// the dialogues.
class NoPump final : public core::MessagePump {
 public:
  void ProcessMessages() override {}
};

class NoDialogs final : public core::Dialogs {
 public:
  bool AskYesNo(const std::string&) override { return false; }
  std::string ChooseFolder(const std::string&) override { return {}; }
  std::string AskText(const std::string&, const std::string&, const std::string& d) override {
    return d;
  }
  void ShowNotice(const std::string&) override {}
  void OpenWithShell(const std::string&) override {}
};

}  // namespace orvel::bench
