#include "history/journal_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/virtual_clock.h"
#include "history/journal_line.h"
#include "history/range_export.h"
#include "history/series_range.h"
#include "measure/journal.h"
#include "measure/number_forms.h"
#include "support/fake_platform.h"

namespace orvel::history {
namespace {

namespace fs = std::filesystem;

std::int64_t SecsAt(int y, int mo, int d, int h, int mi, int s) {
  return core::SecsOf(core::EncodeDateTime({y, mo, d, h, mi, s, 0}));
}

class TempFolder {
 public:
  TempFolder() {
    path_ = fs::temp_directory_path() /
            ("orvel-history-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    fs::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

void Append(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out << text;
}

TEST(JournalLine, ReadsWhatEitherLocaleWrote) {
  struct Case {
    const char* line;
    std::int64_t secs;
    double value;
  };
  const std::int64_t t = SecsAt(2026, 12, 7, 15, 23, 44);
  const Case cases[] = {
      {"2026.12.07 15:23:44 ; 23,40", t, 23.40},
      {"2026/12/07 15:23:44 ; 23.40", t, 23.40},
      {"2026-12-07 15.23.44 ; -51,00", t, -51.0},
      {"2026.12.07 15:23:44 ; 998,00", t, 998.0},
      {"2026.12.07 15:23:44 ; 101.30", t, 101.30},
      {"2026.12.07 15:23:44 ; 0,00", t, 0.0},
      {"2000.02.29 00:00:00 ; -0,25", SecsAt(2000, 2, 29, 0, 0, 0), -0.25},
  };
  for (const Case& c : cases) {
    const auto parsed = ParseJournalLine(c.line);
    ASSERT_TRUE(parsed.has_value()) << c.line;
    EXPECT_EQ(parsed->secs, c.secs) << c.line;
    EXPECT_DOUBLE_EQ(parsed->value, c.value) << c.line;
  }
}

TEST(JournalLine, RefusesAnythingButAWholeLine) {
  for (const char* line : {
           "",
           "2026.12.07 15:2",
           "2026.12.07 15:23:44 ; ",
           "2026.12.07 15:23:44 ; 23,",
           "2026.12.07 15:23:44 ; 23,4x",
           "2026.12.07 15:23:44 ; 2,3,4",
           "2026.12.07 15:23:44 ; --1,00",
           "2026.12.07 15:23:44;23,40",
           "2026.13.07 15:23:44 ; 23,40",
           "2026.12.07 24:00:00 ; 23,40",
           "2026.12.07T15:23:44 ; 23,40",
           "26.12.07 15:23:44 ; 23,40",
           "2026.12.07 15:23:44 ; nan",
       }) {
    EXPECT_FALSE(ParseJournalLine(line).has_value()) << '"' << line << '"';
  }
}

// The journal's own writer, in both locales, read back to the second and
// the hundredth.
TEST(JournalReader, ReadsBackWhatTheJournalWrote) {
  for (const core::LocaleSeparators separators :
       {core::LocaleSeparators{',', '.', ':'}, core::LocaleSeparators{'.', '/', ':'}}) {
    TempFolder folder;
    onewire::DeviceTable Asens{};
    Asens[0].ROMS = "5666554433221128";
    core::StartupSettings settings;
    settings.LogEnabled = true;
    settings.LogFolder = folder.File("");
    settings.LogFolder.pop_back();  // the journal adds the separator itself
    settings.LogInterval = 30;
    core::VirtualClock clock{core::EncodeDateTime({2026, 12, 7, 15, 23, 44, 0})};
    testing_support::FakeDialogs dialogs;
    measure::OsJournalFiles files;
    measure::Journal journal{Asens, settings, clock, dialogs, separators, files};

    const double values[] = {23.4, -51.0, 101.325, 0.0, -0.125};
    for (const double v : values) {
      journal.WriteJournal(0, "t_", true, v);
      clock.Advance(30'001'000);  // just past the journal's gate
    }
    JournalReader reader(journal.PathOf(0, "t_"));
    ASSERT_TRUE(reader.Update());
    ASSERT_EQ(reader.samples().size(), std::size(values));
    EXPECT_EQ(reader.malformed(), 0u);
    for (std::size_t i = 0; i < std::size(values); ++i) {
      EXPECT_EQ(reader.samples()[i].secs,
                SecsAt(2026, 12, 7, 15, 23, 44) + static_cast<std::int64_t>(30 * i));
      EXPECT_DOUBLE_EQ(reader.samples()[i].value, std::stod(measure::FixedForm(values[i], '.')));
      EXPECT_FALSE(reader.samples()[i].gap) << "a thermometer may well read -51";
    }
    EXPECT_EQ(reader.offset(), fs::file_size(journal.PathOf(0, "t_")));
  }
}

TEST(JournalReader, TakesOnlyWhatWasAppendedSinceTheLastRead) {
  TempFolder folder;
  const std::string path = folder.File("t_5666554433221128.csv");
  JournalReader reader(path);
  EXPECT_FALSE(reader.Update()) << "no file yet";

  Append(path, "2026.12.07 15:00:00 ; 20,00\r\n2026.12.07 15:00:30 ; 20,50\r\n");
  ReadCount count;
  ASSERT_TRUE(reader.Update(&count));
  EXPECT_EQ(count.samples, 2u);
  ASSERT_TRUE(reader.Update(&count));
  EXPECT_EQ(count.samples, 0u) << "nothing new";

  Append(path, "2026.12.07 15:01:00 ; 21,00\r\n");
  ASSERT_TRUE(reader.Update(&count));
  EXPECT_EQ(count.samples, 1u);
  ASSERT_EQ(reader.samples().size(), 3u);
  EXPECT_DOUBLE_EQ(reader.samples()[2].value, 21.0);
  EXPECT_EQ(reader.offset(), fs::file_size(path));
}

TEST(JournalReader, ALineBeingWrittenIsTakenOnlyOnceWhole) {
  TempFolder folder;
  const std::string path = folder.File("h_5666554433221126.csv");
  JournalReader reader(path);
  Append(path, "2026.12.07 15:00:00 ; 40,00\r\n");
  ASSERT_TRUE(reader.Update());
  const std::uint64_t whole = reader.offset();

  // The rest of the line arrives in pieces; each read sees a longer piece.
  const std::string line = "2026.12.07 15:00:30 ; 41,25\r\n";
  for (std::size_t cut = 1; cut < line.size(); ++cut) {
    Append(path, line.substr(cut - 1, 1));
    ReadCount count;
    ASSERT_TRUE(reader.Update(&count));
    EXPECT_EQ(count.samples, 0u) << "taken at " << cut << " bytes";
    EXPECT_EQ(count.malformed, 0u) << "a half line counted as damaged at " << cut << " bytes";
    EXPECT_EQ(reader.offset(), whole);
  }
  Append(path, line.substr(line.size() - 1));
  ASSERT_TRUE(reader.Update());
  ASSERT_EQ(reader.samples().size(), 2u);
  EXPECT_DOUBLE_EQ(reader.samples()[1].value, 41.25);
  EXPECT_EQ(reader.samples()[1].secs, SecsAt(2026, 12, 7, 15, 0, 30));
}

TEST(JournalReader, DamagedLinesAreSkippedAndCounted) {
  TempFolder folder;
  const std::string path = folder.File("t_5666554433221128.csv");
  Append(path,
         "2026.12.07 15:00:00 ; 20,00\r\ngarbage\r\n\r\n2026.12.07 15:01:00 ; 2x,00\n"
         "2026.12.07 15:01:30 ; 22,00\n");
  JournalReader reader(path);
  ASSERT_TRUE(reader.Update());
  ASSERT_EQ(reader.samples().size(), 2u);
  EXPECT_EQ(reader.malformed(), 2u);
  EXPECT_DOUBLE_EQ(reader.samples()[1].value, 22.0);
}

TEST(JournalReader, AFileCutShortIsReadAgainFromItsStart) {
  TempFolder folder;
  const std::string path = folder.File("t_5666554433221128.csv");
  Append(path, "2026.12.07 15:00:00 ; 20,00\r\n2026.12.07 15:00:30 ; 20,50\r\n");
  JournalReader reader(path);
  ASSERT_TRUE(reader.Update());
  { std::ofstream(path, std::ios::binary | std::ios::trunc) << "2026.12.08 09:00:00 ; 5,00\r\n"; }
  ReadCount count;
  ASSERT_TRUE(reader.Update(&count));
  EXPECT_TRUE(count.restarted);
  ASSERT_EQ(reader.samples().size(), 1u);
  EXPECT_DOUBLE_EQ(reader.samples()[0].value, 5.0);
}

// Fault codes and stand-ins become gaps, by the file's quantity and the
// device's family; everything else is a value.
TEST(JournalReader, FaultCodesAndStandInsAreGaps) {
  struct Case {
    const char* file;
    const char* value;
    bool gap;
  };
  const Case cases[] = {
      {"h_5666554433221126.csv", "0,00", true},  // humidity module fault
      {"h_5666554433221126.csv", "995,00", true},
      {"h_5666554433221126.csv", "997,00", true},
      {"h_5666554433221126.csv", "999,00", true},
      {"h_5666554433221126.csv", "45,10", false},
      {"h_5666554433221126.csv", "100,00", false},
      {"h_5666554433221126.csv", "0,10", false},
      {"h_5666554433221119.csv", "0,00", true},    // bridge, no sensor
      {"t_5666554433221119.csv", "-51,00", true},  // bridge, no sensor
      {"t_5666554433221119.csv", "-49,00", false},
      {"t_5666554433221128.csv", "-51,00", false},  // a thermometer's real reading
      {"t_5666554433221110.csv", "0,00", false},
      {"p_5666554433221119.csv", "101,30", false},
      {"tp_5666554433221119.csv", "-51,00", false},
      {"notes.csv", "0,00", false},  // not a journal's name
  };
  for (const Case& c : cases) {
    TempFolder folder;
    const std::string path = folder.File(c.file);
    Append(path,
           std::string("2026.12.07 15:00:00 ; 20,00\r\n2026.12.07 15:00:30 ; ") + c.value + "\r\n");
    JournalReader reader(path);
    ASSERT_TRUE(reader.Update());
    ASSERT_EQ(reader.samples().size(), 2u) << c.file << ' ' << c.value;
    EXPECT_FALSE(reader.samples()[0].gap);
    EXPECT_EQ(reader.samples()[1].gap, c.gap) << c.file << ' ' << c.value;
    const Summary summary = Summarize(reader.samples());
    EXPECT_EQ(summary.gaps, c.gap ? 1u : 0u);
    EXPECT_EQ(summary.values, c.gap ? 1u : 2u);
    if (c.gap) {
      EXPECT_DOUBLE_EQ(summary.max, 20.0) << "a fault code counted as a value";
    }
  }
}

TEST(JournalSourceName, TellsQuantityRomAndFamily) {
  const auto t = SourceOfJournalName("/var/j/tp_5666554433221119.csv");
  ASSERT_TRUE(t.has_value());
  EXPECT_EQ(t->quantity, measure::Quantity::PressureSensorTemperature);
  EXPECT_EQ(t->romText, "5666554433221119");
  EXPECT_EQ(t->family, 0x19);
  const auto h = SourceOfJournalName("C:\\j\\h_56665544332211ab.csv");
  ASSERT_TRUE(h.has_value());
  EXPECT_EQ(h->quantity, measure::Quantity::Humidity);
  EXPECT_EQ(h->romText, "56665544332211AB");
  for (const char* bad : {"t_566655443322112.csv", "x_5666554433221128.csv",
                          "t_5666554433221128.txt", "t_566655443322112G.csv"}) {
    EXPECT_FALSE(SourceOfJournalName(bad).has_value()) << bad;
  }
}

std::vector<Sample> Series(std::initializer_list<std::pair<std::int64_t, double>> points) {
  std::vector<Sample> out;
  for (const auto& [secs, value] : points) out.push_back({secs, value, std::isnan(value)});
  return out;
}

TEST(SeriesRange, RangeSummaryAndThinning) {
  const double gap = std::nan("");
  const auto s = Series({{0, 1.0}, {10, 5.0}, {20, gap}, {30, -2.0}, {40, 3.0}, {50, 4.0}});
  const auto mid = InRange(s, 10, 40);
  ASSERT_EQ(mid.size(), 4u);
  EXPECT_EQ(mid.front().secs, 10);
  EXPECT_EQ(mid.back().secs, 40);
  const Summary sum = Summarize(mid);
  EXPECT_EQ(sum.values, 3u);
  EXPECT_EQ(sum.gaps, 1u);
  EXPECT_DOUBLE_EQ(sum.min, -2.0);
  EXPECT_DOUBLE_EQ(sum.max, 5.0);
  EXPECT_DOUBLE_EQ(sum.mean, 2.0);
  EXPECT_EQ(InRange(s, SpanStart(Span::All, 50), 50).size(), s.size());
  EXPECT_EQ(SpanStart(Span::Hour, 7200), 3600);
  EXPECT_EQ(SpanStart(Span::Week, 0), -7 * 86400);

  // A day of 30 s readings with one spike and one fault drawn in 100 columns.
  std::vector<Sample> day;
  for (std::int64_t t = 0; t < 86400; t += 30) day.push_back({t, 20.0, false});
  day[1234].value = 35.0;
  day[2000].gap = true;
  const auto thin = Thin(day, 100);
  EXPECT_LE(thin.size(), 300u);
  EXPECT_TRUE(
      std::any_of(thin.begin(), thin.end(), [](const Sample& x) { return x.value == 35.0; }));
  EXPECT_TRUE(std::any_of(thin.begin(), thin.end(), [](const Sample& x) { return x.gap; }));
  EXPECT_TRUE(std::is_sorted(thin.begin(), thin.end(),
                             [](const Sample& a, const Sample& b) { return a.secs < b.secs; }));
}

TEST(RangeExport, OneLinePerSampleWithGapsMarked) {
  const auto s = Series(
      {{SecsAt(2026, 12, 7, 15, 0, 0), 21.5}, {SecsAt(2026, 12, 7, 15, 0, 30), std::nan("")}});
  std::ostringstream out;
  WriteRangeCsv(out, {NamedRange{"Склад; полка 2", "°C", s}});
  EXPECT_EQ(out.str(),
            "датчик;время;значение;единица\r\n"
            "\"Склад; полка 2\";2026-12-07 15:00:00;21.50;°C\r\n"
            "\"Склад; полка 2\";2026-12-07 15:00:30;;сбой\r\n");
}

}  // namespace
}  // namespace orvel::history
