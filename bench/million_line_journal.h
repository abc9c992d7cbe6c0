#pragma once

// A year of 30 s readings of a humidity module, about a million journal
// lines, written once per benchmark run with the journal's own stamp and
// number forms; every 500th line is a fault code.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/date_time.h"
#include "measure/number_forms.h"
#include "measure/time_stamp.h"

namespace orvel::bench {

inline constexpr std::int64_t kJournalLines = 1'000'000;

inline const std::string& MillionLineJournal() {
  namespace fs = std::filesystem;
  static const std::string path = [] {
    const fs::path folder =
        fs::temp_directory_path() / ("orvel-history-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path p = folder / "h_5666554433221126.csv";
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    const core::LocaleSeparators separators{',', '.', ':'};
    const core::DateTime start = core::EncodeDateTime({2025, 12, 7, 0, 0, 0, 0});
    for (std::int64_t i = 0; i < kJournalLines; ++i) {
      const double value = i % 500 == 0 ? 998.0 : 40.0 + static_cast<double>(i % 3000) / 100.0;
      out << measure::JournalStamp(core::AddSeconds(start, 30.0 * static_cast<double>(i)),
                                   separators)
          << " ; " << measure::FixedForm(value, separators.decimal) << "\r\n";
    }
    return p.string();
  }();
  return path;
}

// Runs the benchmarks asked for, then removes the file and its folder.
inline int RunThenRemoveJournal(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(std::filesystem::path(MillionLineJournal()).parent_path(), ec);
  return 0;
}

}  // namespace orvel::bench
