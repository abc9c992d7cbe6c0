#pragma once

#include <functional>
#include <string>

namespace orvel::core {

// "Let the window process its pending messages": the long bus operations
// call this so that the user interface stays responsive while they wait.
class MessagePump {
 public:
  virtual ~MessagePump() = default;
  virtual void ProcessMessages() = 0;
};

// The modal dialogues of the user interface. All run on the UI thread.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Anything but an explicit Yes counts as No.
  virtual bool AskYesNo(const std::string& question) = 0;
  // Empty when the user cancels.
  virtual std::string ChooseFolder(const std::string& title) = 0;
  // The default text when the user cancels.
  virtual std::string AskText(const std::string& caption, const std::string& prompt,
                              const std::string& default_text) = 0;
  // Waits for OK; the box is titled with the application title.
  virtual void ShowNotice(const std::string& text) = 0;
  // The same notice without waiting and without blocking the window:
  // `dismissed` runs on the UI thread once the user has closed it. Where
  // nothing stands on screen, this is the waiting notice.
  virtual void OpenNotice(const std::string& text, std::function<void()> dismissed) {
    ShowNotice(text);
    dismissed();
  }
  // The desktop's "open" action; failures are ignored.
  virtual void OpenWithShell(const std::string& target) = 0;
  // What the notices that follow are about (the device's ROM text and the
  // reading), empty when nothing is being read. A box shows the text alone;
  // a log without the window around it names the device with this.
  virtual void SetNoticeContext(const std::string& /*context*/) {}
};

// Sets the notice context for one reading and clears it afterwards, also
// when the reading throws.
class NoticeContext {
 public:
  NoticeContext(Dialogs& dialogs, const std::string& context) : dialogs_(dialogs) {
    dialogs_.SetNoticeContext(context);
  }
  ~NoticeContext() { dialogs_.SetNoticeContext({}); }
  NoticeContext(const NoticeContext&) = delete;
  NoticeContext& operator=(const NoticeContext&) = delete;

 private:
  Dialogs& dialogs_;
};

struct LocaleSeparators {
  char decimal = ',';
  char date = '.';
  char time = ':';
};

// The separators of the process locale (LC_NUMERIC for the decimal sign,
// LC_TIME for the date and time separators).
LocaleSeparators ProcessLocaleSeparators();

}  // namespace orvel::core
