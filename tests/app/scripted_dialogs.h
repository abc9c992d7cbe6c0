#pragma once

#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/platform.h"

namespace orvel::test {

// Dialogs that answer from a script and record every question, so a test
// can check which boxes were shown and in which order.
class ScriptedDialogs final : public core::Dialogs {
 public:
  std::deque<bool> yes_no;
  std::deque<std::string> folders;
  std::deque<std::string> texts;
  std::vector<std::string> shown;     // "ask:", "folder:", "text:", "notice:", "open:" + text
  std::function<void()> on_notice;    // runs inside ShowNotice, as a modal loop would
  std::function<void()> on_question;  // runs inside each of the three questions

  bool AskYesNo(const std::string& question) override {
    shown.push_back("ask:" + question);
    if (on_question) on_question();
    return Take(yes_no, "AskYesNo");
  }
  std::string ChooseFolder(const std::string& title) override {
    shown.push_back("folder:" + title);
    if (on_question) on_question();
    return Take(folders, "ChooseFolder");
  }
  std::string AskText(const std::string& caption, const std::string& prompt,
                      const std::string& default_text) override {
    shown.push_back("text:" + caption + "|" + prompt + "|" + default_text);
    if (on_question) on_question();
    return Take(texts, "AskText");
  }
  void ShowNotice(const std::string& text) override {
    shown.push_back("notice:" + text);
    if (on_notice) on_notice();
  }
  void OpenWithShell(const std::string& target) override { shown.push_back("open:" + target); }

  std::vector<std::string> Notices() const {
    std::vector<std::string> out;
    for (const auto& s : shown)
      if (s.rfind("notice:", 0) == 0) out.push_back(s.substr(7));
    return out;
  }

 private:
  template <typename T>
  static T Take(std::deque<T>& queue, const char* what) {
    if (queue.empty()) throw std::logic_error(std::string("unexpected ") + what);
    T value = queue.front();
    queue.pop_front();
    return value;
  }
};

}  // namespace orvel::test
