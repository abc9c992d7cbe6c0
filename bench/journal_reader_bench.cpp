// Opening a year of 30 s readings (about a million journal lines) for the
// history plot: the whole file read, summarised and thinned to a plot's width.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "history/journal_reader.h"
#include "history/series_range.h"
#include "million_line_journal.h"

namespace {

namespace fs = std::filesystem;
using orvel::bench::kJournalLines;
using orvel::bench::MillionLineJournal;

void BM_OpenMillionLineJournal(benchmark::State& state) {
  const std::string& path = MillionLineJournal();
  std::size_t shown = 0;
  for (auto _ : state) {
    orvel::history::JournalReader reader(path);
    if (!reader.Update() || reader.samples().size() != static_cast<std::size_t>(kJournalLines)) {
      state.SkipWithError("the journal was not read whole");
      break;
    }
    const auto& s = reader.samples();
    const auto range = orvel::history::InRange(s, s.front().secs, s.back().secs);
    benchmark::DoNotOptimize(orvel::history::Summarize(range));
    shown = orvel::history::Thin(range, 1000).size();
  }
  state.counters["lines"] = static_cast<double>(kJournalLines);
  state.counters["points_drawn"] = static_cast<double>(shown);
  state.counters["MB"] = static_cast<double>(fs::file_size(path)) / 1e6;
}
BENCHMARK(BM_OpenMillionLineJournal)->Unit(benchmark::kMillisecond)->Iterations(3);

// A poll of the reader while the journal grows by one line.
void BM_FollowOneNewLine(benchmark::State& state) {
  const std::string& path = MillionLineJournal();
  const fs::path copy = fs::path(path).parent_path() / "h_5766554433221126.csv";
  fs::copy_file(path, copy, fs::copy_options::overwrite_existing);
  orvel::history::JournalReader reader(copy.string());
  reader.Update();
  for (auto _ : state) {
    state.PauseTiming();
    { std::ofstream(copy, std::ios::binary | std::ios::app) << "2026.12.07 00:00:00 ; 41,00\r\n"; }
    state.ResumeTiming();
    reader.Update();
  }
  fs::remove(copy);
}
BENCHMARK(BM_FollowOneNewLine)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return orvel::bench::RunThenRemoveJournal(argc, argv); }
