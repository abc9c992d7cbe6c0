// Opening a year of 30 s readings (about a million journal lines) in the
// history plot window, drawn once, on Qt's offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>

#include "app/history_plot.h"
#include "million_line_journal.h"

namespace {

void BM_PlotMillionLineJournal(benchmark::State& state) {
  const std::string& path = orvel::bench::MillionLineJournal();
  // The journal's last line is "now": the span shows a full day.
  const std::int64_t last = [&] {
    orvel::history::JournalReader reader(path);
    reader.Update();
    return reader.samples().back().secs;
  }();
  const auto span = static_cast<orvel::history::Span>(state.range(0));
  for (auto _ : state) {
    orvel::app::HistoryPlot plot(
        {{QStringLiteral("Теплица"), path}}, [last] { return last; }, ',');
    plot.SetSpan(span);
    plot.resize(1000, 600);
    benchmark::DoNotOptimize(plot.grab());
    if (plot.ShownRanges().front().samples.empty()) {
      state.SkipWithError("nothing shown");
      break;
    }
  }
}
BENCHMARK(BM_PlotMillionLineJournal)
    ->Arg(static_cast<int>(orvel::history::Span::Day))
    ->Arg(static_cast<int>(orvel::history::Span::All))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  return orvel::bench::RunThenRemoveJournal(argc, argv);
}
