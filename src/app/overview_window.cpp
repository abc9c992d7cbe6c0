#include "app/overview_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "history/journal_source.h"
#include "measure/journal_files.h"
#include "measure/number_forms.h"

namespace orvel::app {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

int ColumnOf(measure::Quantity q) {
  switch (q) {
    case measure::Quantity::Humidity:
      return OverviewWindow::kHumidity;
    case measure::Quantity::Pressure:
      return OverviewWindow::kPressure;
    case measure::Quantity::PressureSensorTemperature:
      return OverviewWindow::kPressureSensorTemperature;
    case measure::Quantity::Temperature:
      break;
  }
  return OverviewWindow::kTemperature;
}

// "07.12.2026 15:23:44"; empty for no time.
QString TimeText(core::DateTime t) {
  if (t <= 0.0) return {};
  const core::CivilTime c = core::DecodeDateTime(t);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d:%02d", c.day, c.month, c.year, c.hour,
                c.minute, c.second);
  return QString::fromLatin1(buf);
}

QString PlotLabel(const board::BoardRow& row, measure::Quantity q) {
  QString label = row.name.empty() ? Q(row.device.romText) : Q(row.name);
  if (q == measure::Quantity::PressureSensorTemperature)
    label += QStringLiteral(" (датчик давления)");
  return label;
}

}  // namespace

OverviewWindow::OverviewWindow(OverviewDeps deps, QWidget* parent)
    : QWidget(parent, Qt::Window), deps_(std::move(deps)) {
  setObjectName(QStringLiteral("Overview"));
  setWindowTitle(QString::fromUtf8(kOverviewTitle));
  resize(1280, 320);

  auto* layout = new QVBoxLayout(this);
  auto* hint =
      new QLabel(QStringLiteral("Enter — дать выбранному датчику имя. «История» — график выбранных "
                                "датчиков по файлам журнала."),
                 this);
  hint->setWordWrap(true);
  layout->addWidget(hint);

  table_ = new QTableWidget(0, kColumnCount, this);
  table_->setObjectName(QStringLiteral("devices"));
  table_->setHorizontalHeaderLabels(
      {QStringLiteral("Имя"), QStringLiteral("Вид"), QStringLiteral("ROM (CRC первым)"),
       QStringLiteral("ROM (семейство первым)"), QStringLiteral("Температура"),
       QStringLiteral("Влажность"), QStringLiteral("Давление"),
       QStringLiteral("Т датчика давления"), QStringLiteral("Прочитано"),
       QStringLiteral("Состояние")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->verticalHeader()->setVisible(false);
  table_->setWordWrap(false);
  // Codes, values and times always fit; the name column is the user's.
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setSectionResizeMode(kName, QHeaderView::Interactive);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->installEventFilter(this);
  layout->addWidget(table_, 1);

  auto* bar = new QHBoxLayout;
  status_ = new QLabel(this);
  bar->addWidget(status_, 1);
  auto* rename = new QPushButton(QStringLiteral("Имя…"), this);
  auto* history = new QPushButton(QStringLiteral("История"), this);
  history->setObjectName(QStringLiteral("history"));
  bar->addWidget(rename);
  bar->addWidget(history);
  layout->addLayout(bar);

  connect(rename, &QPushButton::clicked, this, [this] { RenameCurrent(); });
  connect(history, &QPushButton::clicked, this, [this] { OpenHistory(); });
  Refresh();
}

void OverviewWindow::Refresh() {
  rows_ = deps_.board.Snapshot();
  // Rows only ever come at the end, so a selection stays on its device.
  table_->setRowCount(static_cast<int>(rows_.size()));
  const QColor stale = palette().color(QPalette::Disabled, QPalette::Text);
  const QColor normal = palette().color(QPalette::Active, QPalette::Text);
  const auto cell = [this](int r, int c) {
    QTableWidgetItem* item = table_->item(r, c);
    if (item == nullptr) {
      item = new QTableWidgetItem;
      table_->setItem(r, c, item);
    }
    return item;
  };
  int fresh = 0;
  for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
    const board::BoardRow& row = rows_[static_cast<std::size_t>(r)];
    cell(r, kName)->setText(Q(row.name));
    cell(r, kKind)->setText(Q(row.kind));
    cell(r, kRomOwn)->setText(Q(row.device.romText));
    cell(r, kRomBusOrder)->setText(Q(row.familyFirst));
    for (const int c : {kTemperature, kHumidity, kPressure, kPressureSensorTemperature}) {
      cell(r, c)->setText({});
      cell(r, c)->setToolTip({});
    }
    for (const board::BoardValue& v : row.values) {
      QTableWidgetItem* item = cell(r, ColumnOf(v.quantity));
      const QString text = Q(measure::FixedForm(v.value, deps_.decimal)) + QLatin1Char(' ') +
                           QString::fromUtf8(UnitWords(v.quantity));
      // A value from an earlier reading stays for reference, in brackets
      // and grey, never looking like a fresh one.
      item->setText(v.current ? text : QStringLiteral("(") + text + QStringLiteral(")"));
      item->setForeground(v.current ? normal : stale);
      item->setToolTip(v.current ? QString()
                                 : QStringLiteral("прочитано ") + TimeText(v.time) +
                                       QStringLiteral(", с тех пор не обновлялось"));
    }
    cell(r, kLastFresh)->setText(TimeText(row.lastFresh));
    // The reader's own short text is for a closer look, not the Russian column.
    cell(r, kState)->setText(QString::fromUtf8(board::StateWords(row.state)));
    cell(r, kState)->setToolTip(Q(row.reason));
    if (row.state == measure::ReadState::Fresh) ++fresh;
  }
  status_->setText(
      QStringLiteral("Устройств: %1, со свежими показаниями: %2").arg(rows_.size()).arg(fresh));
}

void OverviewWindow::RenameCurrent() {
  const int r = table_->currentRow();
  if (r < 0 || r >= static_cast<int>(rows_.size())) return;
  // A copy: the question lets polls run, and each one refreshes the rows.
  const board::BoardRow row = rows_[static_cast<std::size_t>(r)];
  const std::string name = deps_.dialogs.AskText(
      "Имя датчика", "Имя для " + row.device.romText + " (пусто — без имени):", row.name);
  if (name == row.name) return;
  const std::string error = deps_.names.Rename(row.device.rom, name);
  if (!error.empty()) {
    deps_.dialogs.ShowNotice("Имя не сохранено: " + error);
    return;
  }
  const std::string kept = deps_.names.NameOf(row.device.rom);
  deps_.board.SetName(row.device.rom, kept);
  if (deps_.renamed) deps_.renamed(row.device.rom, kept);
  Refresh();
}

std::vector<PlotSource> OverviewWindow::JournalsOf(const board::BoardRow& row) const {
  std::vector<PlotSource> out;
  for (const auto q : {measure::Quantity::Temperature, measure::Quantity::Humidity,
                       measure::Quantity::Pressure, measure::Quantity::PressureSensorTemperature}) {
    const std::string path = deps_.settings.LogFolder + measure::kPathSeparator +
                             history::JournalPrefix(q) + row.device.romText + ".csv";
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) out.push_back({PlotLabel(row, q), path});
  }
  return out;
}

HistoryPlot* OverviewWindow::OpenHistory() {
  if (deps_.settings.LogFolder.empty()) {
    deps_.dialogs.ShowNotice("Журнал не ведётся: истории показаний нет.");
    return nullptr;
  }
  std::set<int> picked;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows()) {
    picked.insert(index.row());
  }
  if (picked.empty() && table_->currentRow() >= 0) picked.insert(table_->currentRow());
  std::vector<PlotSource> sources;
  for (const int r : picked) {
    if (r >= static_cast<int>(rows_.size())) continue;
    for (PlotSource& s : JournalsOf(rows_[static_cast<std::size_t>(r)])) {
      sources.push_back(std::move(s));
    }
  }
  if (sources.empty()) {
    deps_.dialogs.ShowNotice(picked.empty() ? "Выберите в списке датчики, историю которых показать."
                                            : "В журнале нет записей выбранных датчиков.");
    return nullptr;
  }
  auto* plot = new HistoryPlot(std::move(sources), deps_.now, deps_.decimal, this);
  plot->setAttribute(Qt::WA_DeleteOnClose);
  plot->show();
  return plot;
}

bool OverviewWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      RenameCurrent();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace orvel::app
