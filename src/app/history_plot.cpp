#include "app/history_plot.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QScatterSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <limits>
#include <sstream>

#include "history/range_export.h"
#include "measure/number_forms.h"

namespace orvel::app {
namespace {

constexpr int kColumns = 800;    // thinning: about a chart's width in pixels
constexpr int kFollowMs = 2000;  // how often the journals are looked at
constexpr double kMarginShare = 0.05;

// The charts: one per quantity, the pressure sensor's own temperature with
// the other temperatures.
measure::Quantity ChartOf(measure::Quantity q) {
  return q == measure::Quantity::PressureSensorTemperature ? measure::Quantity::Temperature : q;
}

QString UnitText(measure::Quantity chart) { return QString::fromUtf8(UnitWords(chart)); }

QString TitleOf(measure::Quantity chart) {
  const char* name = chart == measure::Quantity::Humidity   ? "Влажность"
                     : chart == measure::Quantity::Pressure ? "Давление"
                                                            : "Температура";
  return QString::fromUtf8(name) + QStringLiteral(", ") + UnitText(chart);
}

// The stamps are local wall time kept as if it were UTC; the axis shows
// local time, so a stamp goes in as the local moment with the same fields.
qreal AxisMs(std::int64_t secs) {
  const QDateTime wall = QDateTime::fromSecsSinceEpoch(secs, Qt::UTC);
  return static_cast<qreal>(QDateTime(wall.date(), wall.time()).toMSecsSinceEpoch());
}

const QColor kColours[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28),
                           QColor(0x2c, 0xa0, 0x2c), QColor(0x94, 0x67, 0xbd),
                           QColor(0xff, 0x7f, 0x0e), QColor(0x8c, 0x56, 0x4b),
                           QColor(0xe3, 0x77, 0xc2), QColor(0x17, 0xbe, 0xcf)};

void NotSaved(QWidget* parent, const QString& path) {
  QMessageBox::warning(parent, parent->windowTitle(),
                       QStringLiteral("Не удалось сохранить файл ") + path);
}

}  // namespace

const char* UnitWords(measure::Quantity q) {
  switch (q) {
    case measure::Quantity::Humidity:
      return "%";
    case measure::Quantity::Pressure:
      return "кПа";
    case measure::Quantity::Temperature:
    case measure::Quantity::PressureSensorTemperature:
      break;
  }
  return "°C";
}

struct HistoryPlot::Source {
  Source(PlotSource s, int index) : label(std::move(s.label)), reader(std::move(s.path)) {
    colour = kColours[static_cast<std::size_t>(index) % std::size(kColours)];
  }
  QString label;
  history::JournalReader reader;
  QColor colour;
};

struct HistoryPlot::Group {
  measure::Quantity quantity = measure::Quantity::Temperature;  // of the chart
  std::vector<Source*> sources;
  QChart* chart = nullptr;
  QChartView* view = nullptr;
  QLabel* summary = nullptr;
};

HistoryPlot::HistoryPlot(std::vector<PlotSource> sources, std::function<std::int64_t()> now,
                         char decimal, QWidget* parent)
    : QWidget(parent, Qt::Window), now_(std::move(now)), decimal_(decimal) {
  setObjectName(QStringLiteral("HistoryPlot"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  resize(900, 600);

  auto* layout = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  bar->addWidget(new QLabel(QStringLiteral("Срок:"), this));
  spanBox_ = new QComboBox(this);
  spanBox_->setObjectName(QStringLiteral("span"));
  spanBox_->addItem(QStringLiteral("последний час"), static_cast<int>(history::Span::Hour));
  spanBox_->addItem(QStringLiteral("последние сутки"), static_cast<int>(history::Span::Day));
  spanBox_->addItem(QStringLiteral("последняя неделя"), static_cast<int>(history::Span::Week));
  spanBox_->addItem(QStringLiteral("весь журнал"), static_cast<int>(history::Span::All));
  spanBox_->setCurrentIndex(1);
  bar->addWidget(spanBox_);
  bar->addStretch(1);
  auto* png = new QPushButton(QStringLiteral("Сохранить рисунок…"), this);
  auto* csv = new QPushButton(QStringLiteral("Сохранить показания…"), this);
  bar->addWidget(png);
  bar->addWidget(csv);
  layout->addLayout(bar);
  charts_ = new QVBoxLayout;
  layout->addLayout(charts_, 1);

  QStringList names;
  for (PlotSource& s : sources) {
    names << s.label;
    sources_.push_back(std::make_unique<Source>(std::move(s), static_cast<int>(sources_.size())));
  }
  setWindowTitle(QStringLiteral("История: ") + names.join(QStringLiteral(", ")));

  for (const auto k :
       {measure::Quantity::Temperature, measure::Quantity::Humidity, measure::Quantity::Pressure}) {
    auto group = std::make_unique<Group>();
    group->quantity = k;
    for (auto& s : sources_) {
      if (ChartOf(s->reader.source().quantity) == k) group->sources.push_back(s.get());
    }
    if (group->sources.empty()) continue;
    group->chart = new QChart;
    group->chart->setTitle(TitleOf(k));
    group->chart->legend()->setAlignment(Qt::AlignBottom);
    group->view = new QChartView(group->chart, this);
    group->view->setRenderHint(QPainter::Antialiasing);
    group->view->setMinimumHeight(220);
    group->summary = new QLabel(this);
    group->summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    charts_->addWidget(group->view, 1);
    charts_->addWidget(group->summary);
    groups_.push_back(std::move(group));
  }

  connect(spanBox_, &QComboBox::currentIndexChanged, this,
          [this] { SetSpan(static_cast<history::Span>(spanBox_->currentData().toInt())); });
  connect(png, &QPushButton::clicked, this, [this] { AskSavePng(); });
  connect(csv, &QPushButton::clicked, this, [this] { AskSaveCsv(); });
  follow_.setInterval(kFollowMs);
  connect(&follow_, &QTimer::timeout, this, [this] { Follow(); });
  follow_.start();

  for (auto& s : sources_) s->reader.Update();
  Redraw();
}

HistoryPlot::~HistoryPlot() = default;

void HistoryPlot::SetSpan(history::Span span) {
  if (span == span_) return;
  span_ = span;
  const int index = spanBox_->findData(static_cast<int>(span));
  if (index >= 0 && spanBox_->currentIndex() != index) spanBox_->setCurrentIndex(index);
  Redraw();
}

void HistoryPlot::Follow() {
  bool grown = false;
  for (auto& s : sources_) {
    history::ReadCount count;
    s->reader.Update(&count);
    grown = grown || count.samples > 0 || count.restarted;
  }
  const auto [from, to] = Window();
  const std::int64_t column = std::max<std::int64_t>(1, (to - from) / kColumns);
  if (grown || std::abs(to - drawnWindow_.second) >= column) Redraw();
}

std::pair<std::int64_t, std::int64_t> HistoryPlot::Window() const {
  const std::int64_t now = now_();
  if (span_ != history::Span::All) return {history::SpanStart(span_, now), now};
  std::int64_t first = now, last = now;
  for (const auto& s : sources_) {
    const auto& samples = s->reader.samples();
    if (samples.empty()) continue;
    first = std::min(first, samples.front().secs);
    last = std::max(last, samples.back().secs);
  }
  return {first, last};
}

std::vector<HistoryPlot::Shown> HistoryPlot::ShownRanges() const {
  const auto [from, to] = Window();
  std::vector<Shown> out;
  for (const auto& g : groups_) {
    for (const Source* s : g->sources) {
      Shown shown;
      shown.label = s->label;
      shown.unit = UnitText(g->quantity);
      shown.samples = history::InRange(s->reader.samples(), from, to);
      shown.summary = history::Summarize(shown.samples);
      out.push_back(shown);
    }
  }
  return out;
}

QString HistoryPlot::SummaryText() const {
  QStringList lines;
  for (const auto& g : groups_) lines << g->summary->text();
  return lines.join(QLatin1Char('\n'));
}

void HistoryPlot::Redraw() {
  const auto window = Window();
  drawnWindow_ = window;
  segments_ = 0;
  gapMarks_ = 0;
  for (auto& g : groups_) DrawGroup(*g, window.first, window.second);
}

void HistoryPlot::DrawGroup(Group& g, std::int64_t from, std::int64_t to) {
  QChart& chart = *g.chart;
  chart.removeAllSeries();
  for (QAbstractAxis* axis : chart.axes()) {
    chart.removeAxis(axis);
    delete axis;
  }

  struct Prepared {
    Source* source;
    std::vector<history::Sample> thin;
    history::Summary summary;
    std::int64_t breakAfter;
  };
  std::vector<Prepared> prepared;
  double lo = std::numeric_limits<double>::infinity();
  double hi = -lo;
  QStringList summaries;
  const QString unit = UnitText(g.quantity);
  for (Source* s : g.sources) {
    const auto range = history::InRange(s->reader.samples(), from, to);
    Prepared p{s, history::Thin(range, kColumns), history::Summarize(range), 0};
    // A pause of several journal intervals is a hole in the record, not a
    // straight line between its ends.
    const std::int64_t spacing = range.size() > 1 ? (range.back().secs - range.front().secs) /
                                                        static_cast<std::int64_t>(range.size() - 1)
                                                  : 0;
    p.breakAfter = std::max<std::int64_t>({4 * spacing, 2 * (to - from) / kColumns, 60});
    if (p.summary.values > 0) {
      lo = std::min(lo, p.summary.min);
      hi = std::max(hi, p.summary.max);
      summaries << QStringLiteral("%1: мин %2, макс %3, среднее %4 %5; показаний %6, сбоев %7")
                       .arg(s->label,
                            QString::fromStdString(measure::FixedForm(p.summary.min, decimal_)),
                            QString::fromStdString(measure::FixedForm(p.summary.max, decimal_)),
                            QString::fromStdString(measure::FixedForm(p.summary.mean, decimal_)),
                            unit)
                       .arg(p.summary.values)
                       .arg(p.summary.gaps);
    } else {
      summaries << QStringLiteral("%1: нет показаний за этот срок; сбоев %2")
                       .arg(s->label)
                       .arg(p.summary.gaps);
    }
    prepared.push_back(std::move(p));
  }
  g.summary->setText(summaries.join(QLatin1Char('\n')));
  if (!(lo <= hi)) {
    lo = 0.0;
    hi = 1.0;
  }
  const double margin = std::max((hi - lo) * kMarginShare, 0.5);
  lo -= margin;
  hi += margin;

  auto* x = new QDateTimeAxis;
  const std::int64_t length = to - from;
  x->setFormat(length <= 2 * 86400    ? QStringLiteral("HH:mm")
               : length <= 14 * 86400 ? QStringLiteral("dd.MM HH:mm")
                                      : QStringLiteral("dd.MM.yyyy"));
  x->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(AxisMs(from))),
              QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(AxisMs(std::max(to, from + 1)))));
  x->setTickCount(7);
  auto* y = new QValueAxis;
  y->setRange(lo, hi);
  chart.addAxis(x, Qt::AlignBottom);
  chart.addAxis(y, Qt::AlignLeft);

  auto* gaps = new QScatterSeries;
  gaps->setName(QStringLiteral("сбой или нет датчика"));
  gaps->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
  gaps->setMarkerSize(7);
  gaps->setColor(Qt::red);
  gaps->setBorderColor(Qt::red);

  const auto attach = [&](QAbstractSeries* series) {
    chart.addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
  };
  for (const Prepared& p : prepared) {
    QLineSeries* line = nullptr;
    bool named = false;
    std::int64_t last = 0;
    for (const history::Sample& s : p.thin) {
      if (s.gap) {
        gaps->append(AxisMs(s.secs), lo);
        ++gapMarks_;
        line = nullptr;
        continue;
      }
      if (line != nullptr && s.secs - last > p.breakAfter) line = nullptr;
      if (line == nullptr) {
        line = new QLineSeries;
        QPen pen(p.source->colour);
        pen.setWidthF(1.5);
        line->setPen(pen);
        line->setName(p.source->label);
        attach(line);
        ++segments_;
        if (named) {
          for (QLegendMarker* m : chart.legend()->markers(line)) m->setVisible(false);
        }
        named = true;
      }
      line->append(AxisMs(s.secs), s.value);
      last = s.secs;
    }
  }
  if (gaps->count() > 0) {
    attach(gaps);
  } else {
    delete gaps;
  }
}

bool HistoryPlot::SavePng(const QString& path) { return grab().save(path, "PNG"); }

bool HistoryPlot::SaveCsv(const QString& path) {
  const std::vector<Shown> shown = ShownRanges();
  std::vector<history::NamedRange> ranges;
  for (const Shown& s : shown)
    ranges.push_back({s.label.toStdString(), s.unit.toStdString(), s.samples});
  std::ostringstream text;
  history::WriteRangeCsv(text, ranges);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  const std::string bytes = text.str();
  return file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
             static_cast<qint64>(bytes.size()) &&
         file.flush();
}

void HistoryPlot::AskSavePng() {
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить рисунок"),
                                                    QStringLiteral("история.png"),
                                                    QStringLiteral("Рисунок PNG (*.png)"));
  if (!path.isEmpty() && !SavePng(path)) NotSaved(this, path);
}

void HistoryPlot::AskSaveCsv() {
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить показания"),
                                                    QStringLiteral("история.csv"),
                                                    QStringLiteral("Таблица CSV (*.csv)"));
  if (!path.isEmpty() && !SaveCsv(path)) NotSaved(this, path);
}

}  // namespace orvel::app
