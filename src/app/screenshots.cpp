#include "app/screenshots.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <iostream>
#include <memory>

#include "app/main_window.h"
#include "measure/poll_loop.h"

namespace orvel::app {
namespace {

constexpr int kCheckMs = 100;
constexpr int kSettleMs = 300;
constexpr qint64 kGiveUpMs = 15000;

void SaveAll(TFrmMain& window, const QString& dir) {
  QTabWidget& tabs = *window.form().pgc1;
  const int shown = tabs.currentIndex();
  for (int i = 0; i < tabs.count(); ++i) {
    tabs.setCurrentIndex(i);
    const QString path = QDir(dir).filePath(tabs.widget(i)->objectName() + QStringLiteral(".png"));
    if (!window.grab().save(path)) std::cerr << "could not save " << path.toStdString() << '\n';
  }
  tabs.setCurrentIndex(shown);
}

}  // namespace

void SaveTabScreenshots(TFrmMain& window, const std::string& dir) {
  QDir().mkpath(QString::fromStdString(dir));
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  auto* check = new QTimer(&window);
  check->setInterval(kCheckMs);
  QObject::connect(check, &QTimer::timeout, &window, [&window, check, clock, dir] {
    measure::PollLoop& poll = window.station().poll();
    const bool ready = poll.Polls() >= 1 && !poll.BusBusy();
    if (!ready && clock->elapsed() < kGiveUpMs) return;
    check->stop();
    std::cerr << (ready ? "first poll done " : "no poll done after ") << clock->elapsed()
              << " ms after start\n";
    // One more round of the 200 ms indicator, so the shapes show the state
    // between polls.
    QTimer::singleShot(kSettleMs, &window, [&window, dir] {
      SaveAll(window, QString::fromStdString(dir));
      window.close();
    });
  });
  check->start();
}

}  // namespace orvel::app
