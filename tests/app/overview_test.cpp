// The overview beside the main window, on the demo bus in virtual time.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/overview_window.h"
#include "app/window_rig.h"
#include "measure/journal_files.h"

namespace orvel::app {
namespace {

namespace fs = std::filesystem;
using test::WindowRig;

std::string DemoBus() {
  std::ifstream in(std::string(ORVEL_EXAMPLES_DIR) + "/demo.json");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class TempFolder {
 public:
  explicit TempFolder(const char* what)
      : path_(fs::temp_directory_path() /
              (std::string("orvel-overview-") + what + "-" + std::to_string(::getpid()))) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::string Cell(OverviewWindow& o, int row, int column) {
  const QTableWidgetItem* item = o.table().item(row, column);
  return item == nullptr ? std::string("<none>") : item->text().toStdString();
}

// The row whose family-first ROM starts so (the CRC left out).
int RowStartingWith(OverviewWindow& o, const std::string& familyFirst) {
  for (int r = 0; r < o.table().rowCount(); ++r) {
    if (Cell(o, r, OverviewWindow::kRomBusOrder).rfind(familyFirst, 0) == 0) return r;
  }
  return -1;
}

int RowOf(OverviewWindow& o, const std::string& rom) {
  for (int r = 0; r < o.table().rowCount(); ++r) {
    if (Cell(o, r, OverviewWindow::kRomOwn) == rom) return r;
  }
  return -1;
}

OverviewWindow& PressF2(TFrmMain& w) {
  QTest::keyClick(w.form().cmb1820, Qt::Key_F2);
  EXPECT_NE(w.overview(), nullptr) << "F2 opened nothing";
  return *w.overview();
}

TEST(Overview, F2ShowsEveryDeviceOfTheDemoBusWithItsState) {
  WindowRig rig(DemoBus(), {true, "/j", 30});
  TFrmMain& w = rig.Open();
  w.show();
  rig.Polls(1);
  const std::string mainList = rig.Text("cmb1820");

  OverviewWindow& o = PressF2(w);
  EXPECT_TRUE(o.isVisible());
  EXPECT_FALSE(o.isModal());
  EXPECT_TRUE(o.windowTitle().contains(QStringLiteral("F2")));
  EXPECT_LT(o.minimumWidth(), o.maximumWidth()) << "the overview cannot be resized";
  EXPECT_TRUE(rig.dialogs.Notices().empty()) << "F2 showed the help";

  struct Expected {
    const char* familyFirst;
    const char* kind;
    const char* state;
    std::vector<int> valued;  // columns that hold a fresh value
  };
  using O = OverviewWindow;
  const Expected expected[] = {
      {"284C3B2A010000", "термометр DS18B20", "свежее показание", {O::kTemperature}},
      {"284D3B2A010000", "термометр DS18B20", "свежее показание", {O::kTemperature}},
      {"10C4B3A2010800", "термометр DS18S20", "свежее показание", {O::kTemperature}},
      {"26C3B2A1000000", "модуль влажности", "свежее показание", {O::kHumidity}},
      {"193F2E1D000000",
       "зонд с мостом DS28E17",
       "свежее показание",
       {O::kTemperature, O::kHumidity, O::kPressure}},
      {"19402E1D000000",
       "зонд с мостом DS28E17",
       "свежее показание",
       {O::kTemperature, O::kHumidity}},
      {"01FECAAD0B0000", "устройство семейства 01", "ещё не прочитан", {}},
  };
  ASSERT_EQ(o.table().rowCount(), static_cast<int>(std::size(expected)));
  for (const Expected& e : expected) {
    const int row = RowStartingWith(o, e.familyFirst);
    ASSERT_GE(row, 0) << e.familyFirst << " not in the overview";
    const std::string own = Cell(o, row, O::kRomOwn);
    const std::string busOrder = Cell(o, row, O::kRomBusOrder);
    ASSERT_EQ(own.size(), 16u);
    ASSERT_EQ(busOrder.size(), 16u);
    for (std::size_t i = 0; i < 8; ++i) {
      EXPECT_EQ(own.substr(2 * i, 2), busOrder.substr(14 - 2 * i, 2)) << own << " / " << busOrder;
    }
    EXPECT_EQ(Cell(o, row, O::kKind).rfind(e.kind, 0), 0u)
        << busOrder << ": " << Cell(o, row, O::kKind);
    EXPECT_EQ(Cell(o, row, O::kState), e.state) << busOrder;
    for (const int c : {O::kTemperature, O::kHumidity, O::kPressure}) {
      const bool valued = std::find(e.valued.begin(), e.valued.end(), c) != e.valued.end();
      const std::string text = Cell(o, row, c);
      EXPECT_EQ(!text.empty() && text[0] != '(', valued)
          << busOrder << " column " << c << ": " << text;
    }
    EXPECT_EQ(Cell(o, row, O::kLastFresh).empty(), e.valued.empty()) << busOrder;
  }
  EXPECT_EQ(rig.Text("cmb1820"), mainList) << "the main window's list changed";

  // Live: the next poll's time appears without touching the window.
  const std::string before = Cell(o, 0, O::kLastFresh);
  rig.Polls(1);
  QCoreApplication::processEvents();
  EXPECT_NE(Cell(o, 0, O::kLastFresh), before);

  // A second F2 brings the same window back.
  o.hide();
  EXPECT_EQ(&PressF2(w), &o);
  EXPECT_TRUE(o.isVisible());
}

TEST(Overview, EnterNamesADeviceAndTheNameOutlivesARestart) {
  TempFolder config("names");
  const fs::path names = config.path() / "names.conf";
  std::string rom;
  {
    WindowRig rig(DemoBus(), {true, "/j", 30});
    rig.names_file = names;
    std::vector<std::pair<std::string, std::string>> told;  // the page's board hears of it
    rig.renamed = [&](const onewire::RomCode& code, const std::string& name) {
      told.emplace_back(onewire::RomText(code), name);
    };
    TFrmMain& w = rig.Open();
    w.show();
    rig.Polls(1);
    OverviewWindow& o = PressF2(w);
    o.table().setFocus();
    o.table().setCurrentCell(3, 0);
    rom = Cell(o, 3, OverviewWindow::kRomOwn);
    rig.dialogs.texts.push_back("  Теплица, север ");
    // Polls go on while the question stands, and each refreshes the rows.
    rig.dialogs.on_question = [&] {
      rig.Polls(1);
      QCoreApplication::processEvents();
    };
    QTest::keyClick(&o.table(), Qt::Key_Return);
    EXPECT_EQ(Cell(o, 3, OverviewWindow::kName), "Теплица, север");
    EXPECT_EQ(told, (std::vector<std::pair<std::string, std::string>>{{rom, "Теплица, север"}}));
    EXPECT_EQ(rig.dialogs.shown.back(),
              "text:Имя датчика|Имя для " + rom + " (пусто — без имени):|");
    EXPECT_EQ(rig.Text("cmbhlt").find("Теплица"), std::string::npos)
        << "the main window's list shows the name";
  }
  std::ifstream in(names);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find(rom + " = Теплица, север"), std::string::npos) << text.str();

  WindowRig again(DemoBus(), {true, "/j", 30});
  again.names_file = names;
  TFrmMain& w = again.Open();
  w.show();
  again.Polls(1);
  OverviewWindow& o = PressF2(w);
  const int row = RowOf(o, rom);
  ASSERT_GE(row, 0);
  EXPECT_EQ(Cell(o, row, OverviewWindow::kName), "Теплица, север");
}

TEST(Overview, HistoryOfTheSelectedRowsFromTheJournalFolder) {
  TempFolder journal("journal");
  WindowRig rig(DemoBus(), {true, journal.path().string(), 30});
  measure::OsJournalFiles files;
  TFrmMain& w = rig.Open(rig.dialogs, files);
  w.show();
  rig.Polls(5);
  OverviewWindow& o = PressF2(w);
  // A humidity module and a bridge probe with its pressure sensor.
  const int module = RowStartingWith(o, "26C3B2A1000000");
  const int probe = RowStartingWith(o, "193F2E1D000000");
  ASSERT_GE(module, 0);
  ASSERT_GE(probe, 0);
  o.table().selectRow(module);
  o.table().selectionModel()->select(o.table().model()->index(probe, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
  HistoryPlot* plot = o.OpenHistory();
  ASSERT_NE(plot, nullptr) << (rig.dialogs.Notices().empty() ? "" : rig.dialogs.Notices().back());
  const auto shown = plot->ShownRanges();
  // h_ of the module; t_, h_, p_ of the probe (its pressure sensor's
  // temperature is journalled only while it is shown in the main window).
  ASSERT_EQ(shown.size(), 4u);
  for (const auto& s : shown) {
    EXPECT_EQ(s.samples.size(), 5u) << s.label.toStdString();
    EXPECT_EQ(s.summary.gaps, 0u) << s.label.toStdString();
  }
  const std::size_t before = shown[0].samples.size();
  rig.Polls(1);
  plot->Follow();
  EXPECT_EQ(plot->ShownRanges()[0].samples.size(), before + 1) << "the plot does not follow";
}

// A device that leaves keeps its last value for reference, never as fresh.
TEST(Overview, ADeviceThatLeavesShowsGoneAndNoFreshValue) {
  WindowRig rig(R"({"adapter": {"present": true}, "devices": [
      {"family": "28", "serial": "000000000001", "temperature": 21.5,
       "faults": {"absent_after": 12}}]})",
                {true, "/j", 30});
  TFrmMain& w = rig.Open();
  w.show();
  rig.Polls(1);
  OverviewWindow& o = PressF2(w);
  ASSERT_EQ(o.table().rowCount(), 1);
  EXPECT_EQ(Cell(o, 0, OverviewWindow::kState), "свежее показание");
  EXPECT_EQ(Cell(o, 0, OverviewWindow::kTemperature), "21,50 °C");
  rig.Polls(3);
  QCoreApplication::processEvents();
  ASSERT_EQ(o.table().rowCount(), 1);
  EXPECT_EQ(Cell(o, 0, OverviewWindow::kState), "пропал с шины");
  EXPECT_EQ(Cell(o, 0, OverviewWindow::kTemperature), "(21,50 °C)");
  EXPECT_FALSE(Cell(o, 0, OverviewWindow::kLastFresh).empty()) << "the last reading's time is lost";
}

TEST(Overview, HistoryWithoutAJournalSaysSo) {
  WindowRig rig(DemoBus(), {false, "", std::nullopt});
  TFrmMain& w = rig.Open();
  w.show();
  rig.Polls(1);
  OverviewWindow& o = PressF2(w);
  o.table().selectRow(0);
  EXPECT_EQ(o.OpenHistory(), nullptr);
  ASSERT_FALSE(rig.dialogs.Notices().empty());
  EXPECT_EQ(rig.dialogs.Notices().back(), "Журнал не ведётся: истории показаний нет.");
}

}  // namespace
}  // namespace orvel::app
