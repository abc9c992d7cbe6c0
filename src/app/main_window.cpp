#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>

#include "app/form_texts.h"

namespace orvel::app {

// The Qt controls as the station's interfaces see them.
struct TFrmMain::Adapters {
  explicit Adapters(const MainForm& f)
      : stat1(*f.stat1),
        cbbPort(*f.cbbPort),
        cbAdapter(*f.cbAdapter),
        cmb1820(*f.cmb1820),
        lblTvalue(*f.lblTvalue),
        cmbhlt(*f.cmbhlt),
        lblHvalue(*f.lblHvalue),
        cmbds28e17(*f.cmbds28e17),
        edtSNHDC(*f.edtSNHDC),
        lblValT28e17(*f.lblValT28e17),
        lblValH28e17(*f.lblValH28e17),
        lblValP28e17(*f.lblValP28e17),
        lblValPTds28e17(*f.lblValPTds28e17),
        lblBackTimer(*f.lblBackTimer) {}

  measure::StationControls Controls(const MainForm& f) {
    return {{stat1, cbbPort, cbAdapter},
            {cmb1820, lblTvalue, cmbhlt, lblHvalue, cmbds28e17, edtSNHDC, lblValT28e17,
             lblValH28e17, lblValP28e17, lblValPTds28e17},
            {*f.shpindik, *f.shpTimer, lblBackTimer}};
  }

  LabelText stat1;
  ComboList cbbPort;
  ComboList cbAdapter;
  ComboList cmb1820;
  LabelText lblTvalue;
  ComboList cmbhlt;
  LabelText lblHvalue;
  ComboList cmbds28e17;
  EditText edtSNHDC;
  LabelText lblValT28e17;
  LabelText lblValH28e17;
  LabelText lblValP28e17;
  LabelText lblValPTds28e17;
  LabelText lblBackTimer;
};

// Shows the overview the board as each poll left it.
struct TFrmMain::PollDone final : measure::ReadingFeed {
  explicit PollDone(TFrmMain& w) : window(w) {}
  void OnScan(const std::vector<measure::DeviceId>&, core::DateTime) override {}
  void OnReading(const measure::Reading&) override {}
  void OnState(const measure::StateReport&) override {}
  void OnPollDone(core::DateTime) override { Refresh(); }
  void OnAdapterError(const std::string&, core::DateTime) override { Refresh(); }
  // Queued: the event may come from inside the poll; a window closed
  // meanwhile takes the call with it.
  void Refresh() {
    if (OverviewWindow* o = window.overview()) {
      QMetaObject::invokeMethod(
          o, [o] { o->Refresh(); }, Qt::QueuedConnection);
    }
  }
  TFrmMain& window;
};

TFrmMain::TFrmMain(FrmMainDeps deps, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      deps_(std::move(deps)),
      f_(BuildMainForm(*this)),
      controls_(std::make_unique<Adapters>(f_)),
      names_(deps_.namesFile.empty() ? board::NamesFile::DefaultPath() : deps_.namesFile),
      pollDone_(std::make_unique<PollDone>(*this)) {
  setObjectName(QStringLiteral("FrmMain"));
  setWindowTitle(QString::fromUtf8(kAppTitle));
  setWindowIcon(QIcon(QStringLiteral(":/orvel-viewer.png")));
  setFixedSize(kClientWidth, kClientHeight);
  move(0, 0);

  station_ = std::make_unique<measure::Station>(
      deps_.tmex, controls_->Controls(f_),
      measure::StationPlatform{deps_.clock, pump_, deps_.dialogs, deps_.separators, deps_.timers,
                               poster_, deps_.files},
      core::StartupSettings{}, deps_.fast);
  poster_.OnTick = [this](std::uint32_t count) { station_->Tick(count); };
  // Unreadable lines of the names file are kept and left alone.
  names_.Load();
  for (const auto& [rom, name] : names_.names()) board_.SetName(rom, name);
  station_->feed().Add(board_);
  station_->feed().Add(*pollDone_);

  // Runs from start-up: the modal questions let it through, so the square
  // shows the poll timer off while they are open.
  TimerCheckTmr_.setInterval(200);
  connect(&TimerCheckTmr_, &QTimer::timeout, this, [this] { TimerCheckTmrTimer(); });
  TimerCheckTmr_.start();

  WireHandlers();
  qApp->installEventFilter(this);
  FormCreate();
}

TFrmMain::~TFrmMain() {
  qApp->removeEventFilter(this);
  overview_.reset();
  TimerCheckTmr_.stop();
  poster_.OnTick = nullptr;
  station_.reset();  // stops the poll timer before the poster goes
}

void TFrmMain::FormCreate() {
  f_.pgc1->setCurrentIndex(0);
  setWindowTitle(QString::fromUtf8(kAppTitle) + QString::fromLatin1(measure::kVersionSuffix));
  station_->FillPortAndAdapterLists();
  // No bus access before the questions are answered: the poll timer is off.
  station_->settings() = measure::RunStartupDialogue(deps_.dialogs, deps_.answers);
  const core::StartupSettings& s = station_->settings();
  setWindowTitle(ToQt(measure::StartupCaption(kAppTitle, s)));
  f_.btnPathToDir->setEnabled(measure::FolderButtonEnabled(s));
  station_->Start();
}

void TFrmMain::WireHandlers() {
  measure::Station& s = *station_;
  const auto on_user_change = [this](QComboBox* box, auto handler) {
    // The adapters block signals while the program changes a list, so
    // these fire only for the user's changes.
    connect(box, &QComboBox::currentIndexChanged, this, handler);
    if (box->isEditable()) connect(box->lineEdit(), &QLineEdit::textEdited, this, handler);
  };
  on_user_change(f_.cmb1820, [&s] { s.cmb1820Change(); });
  on_user_change(f_.cmbhlt, [&s] { s.cmbhltChange(); });
  on_user_change(f_.cmbds28e17, [&s] { s.cmbds28e17Change(); });
  on_user_change(f_.cbbPort, [&s] { s.cbbPortChange(); });
  on_user_change(f_.cbAdapter, [&s] { s.cbAdapterChange(); });
  connect(f_.lblValPTds28e17, &ClickLabel::clicked, this, [&s] { s.lblValPTds28e17Click(); });
  connect(f_.txt1, &ClickLabel::clicked, this, [this] { txt1Click(); });
  connect(f_.lbl6, &ClickLabel::clicked, this, [this] { lbl6Click(); });
  connect(f_.btnPathToDir, &QPushButton::clicked, this, [this] { btnPathToDirClick(); });
}

bool TFrmMain::eventFilter(QObject* watched, QEvent* event) {
  // The application-wide filter sees a key before the focused control does;
  // only keys meant for this window count.
  if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == this) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (FormKeyDown(key->key(), key->modifiers())) return true;
  }
  return QWidget::eventFilter(watched, event);
}

bool TFrmMain::FormKeyDown(int key, Qt::KeyboardModifiers shift) {
  if (key == Qt::Key_F2 && !(shift & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier))) {
    ShowOverview();
    return true;
  }
  if (key != Qt::Key_F1) return false;
  if (shift.testFlag(Qt::ControlModifier)) {
    station_->RescanRequested();  // held back while bus work runs
  } else {
    deps_.dialogs.ShowNotice(kHelpText);
  }
  return true;
}

OverviewWindow& TFrmMain::ShowOverview() {
  if (!overview_) {
    overview_ = std::make_unique<OverviewWindow>(
        OverviewDeps{board_, names_, deps_.dialogs, station_->settings(),
                     [this] { return core::SecsOf(deps_.clock.Now()); }, deps_.separators.decimal,
                     deps_.renamed},
        this);
  }
  overview_->Refresh();
  overview_->show();
  overview_->raise();
  overview_->activateWindow();
  return *overview_;
}

void TFrmMain::txt1Click() { deps_.dialogs.OpenWithShell(kMakerSiteUrl); }

void TFrmMain::lbl6Click() { deps_.dialogs.OpenWithShell(kMakerSiteUrl); }

void TFrmMain::btnPathToDirClick() {
  const std::string& folder = station_->settings().LogFolder;
  if (!folder.empty()) deps_.dialogs.OpenWithShell(folder);
}

void TFrmMain::TimerCheckTmrTimer() {
  if (!station_->TimerCheckTmrEnabled()) {
    TimerCheckTmr_.stop();
    return;
  }
  station_->TimerCheckTmrTimer();
}

void TFrmMain::closeEvent(QCloseEvent* event) {
  TimerCheckTmr_.stop();
  station_->FormCloseQuery();
  event->accept();
}

}  // namespace orvel::app
