#include "app/history_plot.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QImage>
#include <filesystem>
#include <fstream>

#include "core/date_time.h"
#include "measure/number_forms.h"
#include "measure/time_stamp.h"

namespace orvel::app {
namespace {

namespace fs = std::filesystem;

const core::LocaleSeparators kComma{',', '.', ':'};
const core::DateTime kStart = core::EncodeDateTime({2026, 12, 7, 0, 0, 0, 0});

class JournalFolder {
 public:
  JournalFolder()
      : path_(fs::temp_directory_path() / ("orvel-plot-" + std::to_string(::getpid()))) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~JournalFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// `count` lines 30 s apart from `first`, the value made by `value(i)`.
void WriteLines(const std::string& path, int first, int count, double (*value)(int)) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  for (int i = first; i < first + count; ++i) {
    out << measure::JournalStamp(core::AddSeconds(kStart, 30.0 * i), kComma) << " ; "
        << measure::FixedForm(value(i), ',') << "\r\n";
  }
}

std::int64_t SecsAfterStart(int lines) { return core::SecsOf(kStart) + 30 * lines; }

// A day of a thermometer and a humidity module in virtual time; the module
// reports a fault code every 100th reading.
class HistoryPlotTest : public ::testing::Test {
 protected:
  HistoryPlotTest() {
    WriteLines(t, 0, 2880, [](int i) { return 20.0 + (i % 100) / 10.0; });
    WriteLines(h, 0, 2880, [](int i) { return i % 100 == 50 ? 998.0 : 40.0 + (i % 50) / 5.0; });
  }
  std::int64_t now = SecsAfterStart(2879);
  JournalFolder folder;
  std::string t = folder.File("t_5666554433221128.csv");
  std::string h = folder.File("h_5766554433221126.csv");
};

TEST_F(HistoryPlotTest, ADayWithSummaryAndGapsAtTheFaults) {
  HistoryPlot plot(
      {{QStringLiteral("Склад"), t}, {QStringLiteral("Теплица"), h}}, [this] { return now; }, ',');
  ASSERT_EQ(plot.span(), history::Span::Day);
  const auto shown = plot.ShownRanges();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].samples.size(), 2880u);
  EXPECT_DOUBLE_EQ(shown[0].summary.min, 20.0);
  EXPECT_DOUBLE_EQ(shown[0].summary.max, 29.9);
  EXPECT_EQ(shown[1].summary.gaps, 29u);
  EXPECT_EQ(shown[1].summary.values, 2880u - 29u);
  EXPECT_DOUBLE_EQ(shown[1].summary.max, 49.8) << "the fault code 998 counted as a value";
  EXPECT_EQ(shown[1].unit, QStringLiteral("%"));
  EXPECT_EQ(plot.DrawnGapMarks(), 29);
  EXPECT_GE(plot.DrawnSegments(), 1 + 30) << "the humidity line is broken at each fault";
  const QString summary = plot.SummaryText();
  EXPECT_TRUE(summary.contains(QStringLiteral("Склад: мин 20,00, макс 29,90, среднее 24,92 °C")))
      << summary.toStdString();
  EXPECT_TRUE(summary.contains(QStringLiteral("сбоев 29"))) << summary.toStdString();

  plot.SetSpan(history::Span::Hour);
  EXPECT_EQ(plot.ShownRanges()[0].samples.size(), 121u) << "an hour of 30 s lines, both ends";
}

TEST_F(HistoryPlotTest, FollowsNewLinesAndAPauseBreaksTheLine) {
  HistoryPlot plot(
      {{QStringLiteral("Склад"), t}}, [this] { return now; }, ',');
  const int segments = plot.DrawnSegments();
  EXPECT_EQ(segments, 1);
  // The program stopped for two hours and went on.
  WriteLines(t, 3120, 10, [](int) { return 31.5; });
  now = SecsAfterStart(3129);
  plot.Follow();
  const auto shown = plot.ShownRanges();
  EXPECT_EQ(shown[0].samples.back().secs, SecsAfterStart(3129));
  EXPECT_DOUBLE_EQ(shown[0].summary.max, 31.5);
  EXPECT_EQ(plot.DrawnSegments(), 2) << "a line drawn across two hours without readings";
}

TEST_F(HistoryPlotTest, ExportsThePictureAndTheShownRange) {
  HistoryPlot plot(
      {{QStringLiteral("Теплица"), h}}, [this] { return now; }, ',');
  plot.SetSpan(history::Span::Hour);
  plot.resize(800, 500);
  const std::string png = folder.File("plot.png");
  const std::string csv = folder.File("plot.csv");
  ASSERT_TRUE(plot.SavePng(QString::fromStdString(png)));
  QImage image(QString::fromStdString(png));
  EXPECT_FALSE(image.isNull());
  EXPECT_GT(image.width(), 100);

  ASSERT_TRUE(plot.SaveCsv(QString::fromStdString(csv)));
  std::ifstream in(csv, std::ios::binary);
  std::string line;
  std::vector<std::string> lines;
  while (std::getline(in, line)) lines.push_back(line);
  ASSERT_EQ(lines.size(), 1u + 121u);
  EXPECT_EQ(lines[0], "датчик;время;значение;единица\r");
  EXPECT_EQ(lines.back(), "Теплица;2026-12-07 23:59:30;45.80;%\r");
  const auto fault = std::find(lines.begin(), lines.end(), "Теплица;2026-12-07 23:45:00;;сбой\r");
  EXPECT_NE(fault, lines.end()) << "the fault in the hour is not marked";
}

}  // namespace
}  // namespace orvel::app
