#include "app/screenshots.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPixmap>
#include <QTimer>
#include <algorithm>
#include <iostream>
#include <memory>

#include "app/history_plot.h"
#include "app/main_window.h"
#include "history/journal_source.h"
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

void Save(QWidget& widget, const QString& path) {
  if (!widget.grab().save(path)) std::cerr << "could not save " << path.toStdString() << '\n';
}

// The overview as the user opens it: F2 on the main window.
void SaveOverview(TFrmMain& window, const QString& dir) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier);
  QApplication::sendEvent(window.form().cmb1820, &press);
  if (window.overview() == nullptr) {
    std::cerr << "F2 opened no overview\n";
    return;
  }
  QApplication::processEvents();
  Save(*window.overview(), QDir(dir).filePath(QStringLiteral("overview.png")));
}

// The journal files of the devices the overview lists, named as it names
// them, over the day that ends with the newest line.
void SaveHistory(TFrmMain& window, const QString& dir, const QString& journal) {
  std::vector<PlotSource> sources;
  std::int64_t last = 0;
  const QStringList files =
      QDir(journal).entryList({QStringLiteral("*.csv")}, QDir::Files, QDir::Name);
  for (const board::BoardRow& row : window.board().Snapshot()) {
    for (const QString& file : files) {
      const std::string path = QDir(journal).filePath(file).toStdString();
      const auto source = history::SourceOfJournalName(path);
      if (!source || source->romText != row.device.romText ||
          source->quantity == measure::Quantity::PressureSensorTemperature) {
        continue;
      }
      history::JournalReader reader(path);
      if (!reader.Update() || reader.samples().empty()) continue;
      last = std::max(last, reader.samples().back().secs);
      QString label = QString::fromStdString(row.name.empty() ? row.device.romText : row.name);
      sources.push_back({label, path});
    }
  }
  if (sources.empty()) {
    std::cerr << "no journal of the listed devices in " << journal.toStdString() << '\n';
    return;
  }
  HistoryPlot plot(
      std::move(sources), [last] { return last; }, ',', &window);
  plot.resize(1000, 760);
  plot.show();
  QApplication::processEvents();
  Save(plot, QDir(dir).filePath(QStringLiteral("history.png")));
}

}  // namespace

void SaveTabScreenshots(TFrmMain& window, const std::string& dir, const std::string& journal) {
  QDir().mkpath(QString::fromStdString(dir));
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  auto* check = new QTimer(&window);
  check->setInterval(kCheckMs);
  QObject::connect(check, &QTimer::timeout, &window, [&window, check, clock, dir, journal] {
    measure::PollLoop& poll = window.station().poll();
    const bool ready = poll.Polls() >= 1 && !poll.BusBusy();
    if (!ready && clock->elapsed() < kGiveUpMs) return;
    check->stop();
    std::cerr << (ready ? "first poll done " : "no poll done after ") << clock->elapsed()
              << " ms after start\n";
    // One more round of the 200 ms indicator, so the shapes show the state
    // between polls.
    QTimer::singleShot(kSettleMs, &window, [&window, dir, journal] {
      SaveAll(window, QString::fromStdString(dir));
      SaveOverview(window, QString::fromStdString(dir));
      if (!journal.empty()) {
        SaveHistory(window, QString::fromStdString(dir), QString::fromStdString(journal));
      }
      window.close();
    });
  });
  check->start();
}

}  // namespace orvel::app
