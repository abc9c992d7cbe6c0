#pragma once

#include <QLabel>
#include <QTableWidget>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/history_plot.h"
#include "board/names_file.h"
#include "board/sensor_board.h"
#include "core/platform.h"
#include "core/settings.h"

namespace orvel::app {

// The window's title: it says how the window is opened.
inline constexpr char kOverviewTitle[] = "Все датчики (F2 в главном окне) — Orvel-viewer";

struct OverviewDeps {
  board::SensorBoard& board;
  board::NamesFile& names;
  core::Dialogs& dialogs;
  const core::StartupSettings& settings;  // where the journal is
  std::function<std::int64_t()> now;      // the journal's clock, for the plots
  char decimal = ',';
  // Told of every name kept, for other boards that show the same devices.
  std::function<void(const onewire::RomCode&, const std::string&)> renamed = {};
};

// Every device found on the bus, one row each, taken from the sensor board
// again after every poll (the main window calls Refresh). Enter renames the selected device; the
// history button plots the journals of the selected ones. Beside the main
// window, which stays as it is.
class OverviewWindow final : public QWidget {
 public:
  enum Column {
    kName,
    kKind,
    kRomOwn,
    kRomBusOrder,
    kTemperature,
    kHumidity,
    kPressure,
    kPressureSensorTemperature,
    kLastFresh,
    kState,
    kColumnCount
  };

  explicit OverviewWindow(OverviewDeps deps, QWidget* parent = nullptr);

  // Takes a new snapshot of the board and shows it.
  void Refresh();
  // Asks for a new name of the current row's device and keeps it.
  void RenameCurrent();
  // Opens the history of the selected rows' journals; the plot, or null
  // with a notice saying why there is nothing to draw.
  HistoryPlot* OpenHistory();

  QTableWidget& table() { return *table_; }
  const std::vector<board::BoardRow>& rows() const { return rows_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::vector<PlotSource> JournalsOf(const board::BoardRow& row) const;

  OverviewDeps deps_;
  QTableWidget* table_ = nullptr;
  QLabel* status_ = nullptr;
  std::vector<board::BoardRow> rows_;
};

}  // namespace orvel::app
