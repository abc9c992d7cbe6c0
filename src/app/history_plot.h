#pragma once

#include <QComboBox>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "history/journal_reader.h"
#include "history/series_range.h"

QT_BEGIN_NAMESPACE
class QChart;
class QChartView;
class QVBoxLayout;
QT_END_NAMESPACE

namespace orvel::app {

// The unit the window writes after a value: "°C", "%", "кПа".
const char* UnitWords(measure::Quantity q);

// One journal file to draw, with the name the plot gives it.
struct PlotSource {
  QString label;
  std::string path;
};

// The journal of some sensors over the last hour, day, week or all of it:
// one chart per kind of quantity, fault codes and stand-ins as gaps marked
// under the line, min, max and mean under each chart. It reads the files
// incrementally and follows them while it is open.
class HistoryPlot final : public QWidget {
 public:
  // `now` gives the journal's clock as seconds (local wall time, as the
  // stamps); `decimal` is the sign the window writes numbers with.
  HistoryPlot(std::vector<PlotSource> sources, std::function<std::int64_t()> now, char decimal,
              QWidget* parent = nullptr);
  ~HistoryPlot() override;

  void SetSpan(history::Span span);
  history::Span span() const { return span_; }

  // Takes what was appended to the journals since the last time and draws
  // again when anything came or the span moved on; the follow timer runs it.
  void Follow();

  bool SavePng(const QString& path);
  bool SaveCsv(const QString& path);

  // What the charts show, for the tests and the exports.
  struct Shown {
    QString label;
    QString unit;
    std::span<const history::Sample> samples;
    history::Summary summary;
  };
  std::vector<Shown> ShownRanges() const;
  QString SummaryText() const;
  int DrawnSegments() const { return segments_; }
  int DrawnGapMarks() const { return gapMarks_; }

 private:
  struct Source;
  struct Group;

  void Redraw();
  void DrawGroup(Group& group, std::int64_t from, std::int64_t to);
  std::pair<std::int64_t, std::int64_t> Window() const;
  void AskSavePng();
  void AskSaveCsv();

  std::vector<std::unique_ptr<Source>> sources_;
  std::vector<std::unique_ptr<Group>> groups_;
  std::function<std::int64_t()> now_;
  char decimal_;
  history::Span span_ = history::Span::Day;
  QComboBox* spanBox_ = nullptr;
  QVBoxLayout* charts_ = nullptr;
  QTimer follow_;
  std::pair<std::int64_t, std::int64_t> drawnWindow_{0, 0};
  int segments_ = 0;
  int gapMarks_ = 0;
};

}  // namespace orvel::app
