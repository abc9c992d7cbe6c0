#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/platform.h"

// Standard library only: the benchmarks use these too, without GoogleTest.
namespace orvel::testing_support {

// Dialogs for units that only ever show notices: every notice is written
// down, a question gets the answer of a user who cancels. `on_notice` runs
// while the box is up, as the user's actions in its modal loop would.
class FakeDialogs final : public core::Dialogs {
 public:
  bool AskYesNo(const std::string&) override { return false; }
  std::string ChooseFolder(const std::string&) override { return {}; }
  std::string AskText(const std::string&, const std::string&,
                      const std::string& default_text) override {
    return default_text;
  }
  void ShowNotice(const std::string& text) override {
    notices.push_back(text);
    if (on_notice) on_notice();
  }
  void OpenWithShell(const std::string&) override {}

  std::vector<std::string> notices;
  std::function<void()> on_notice;
};

// Counts the times a unit lets the window process its messages. `hook`
// runs with the number of the call (from 1), so a test can act in the
// middle of a bus operation: unplug a device, let time pass, ask to close.
class FakePump final : public core::MessagePump {
 public:
  void ProcessMessages() override {
    ++calls;
    if (hook) hook(calls);
  }

  int calls = 0;
  std::function<void(int call)> hook;
};

}  // namespace orvel::testing_support
