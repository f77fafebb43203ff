#include "app/uMain.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

#include "app/core/commandline.h"
#include "app/dialogs/dialogbase.h"
#include "app/dialogs/uAbout.h"
#include "app/errorboxes.h"
#include "app/program.h"
#include "app/resources/appimages.h"
#include "app/tracescreen.h"
#include "app/windowframe.h"
#include "tapi/lineinventory.h"
#include "util/ioerror.h"
#include "widgets/QVersionLabel.h"
#include "widgets/cp1252.h"

namespace ordalyn {

const SkinColour kSkinColours[28] = {
    {"tcFace", "button"},
    {"tcPopup", "#FCFCF9"},
    {"tcBorder", "#8A867A"},
    {"tcToolbar", "#EFEDDE"},
    {"tcImageList", "#EFEDDE"},
    {"tcDockBorderIn", "#928F82"},
    {"tcDockBorderOut", "#928F82"},
    {"tcDockBorderTitle", "dark"},
    {"tcDragHandle", "#BFBCB1"},
    {"tcChecked", "#E5E9E9"},
    {"tcCheckedOver", "#ADC4E8"},
    {"tcSelBar", "#C1D2EE"},
    {"tcSelBarBorder", "highlight"},
    {"tcSelItem", "#C1D2EE"},
    {"tcSelItemBorder", "highlight"},
    {"tcSelPushed", "#ADC4E8"},
    {"tcSelPushedBorder", "highlight"},
    {"tcSeparator", "#B8B5A8"},
    {"tcImgListShadow", "#8795A6"},
    {"tcGradStart", "#ECF1F9"},
    {"tcGradEnd", "#C1D2EE"},
    {"tcPopupGradStart", "#EFEDDE"},
    {"tcPopupGradEnd", "#FAF9F5"},
    {"tcImgGradStart", "#EFEDDE"},
    {"tcImgGradEnd", "#BDBBAC"},
    {"tcText", "windowText"},
    {"tcHighlightText", "windowText"},
    {"tcCaptionText", "highlightedText"},
};

namespace {

// Where the skin's text contrasts less than this with the skin's background
// (1 is none, 21 black on white), the text takes black or white instead.
constexpr double kReadableContrast = 4.5;

// A skin colour for the painter: its value, or the palette's colour of its role.
QColor SkinColor(const char* role, const QPalette& palette) {
  static const std::pair<const char*, QPalette::ColorRole> kRoles[] = {
      {"button", QPalette::Button},
      {"dark", QPalette::Dark},
      {"highlight", QPalette::Highlight},
      {"windowText", QPalette::WindowText},
      {"highlightedText", QPalette::HighlightedText}};
  for (const auto& colour : kSkinColours) {
    if (qstrcmp(colour.role, role) != 0) continue;
    if (colour.value[0] == '#') return QColor(QString::fromLatin1(colour.value));
    for (const auto& [name, paletteRole] : kRoles) {
      if (qstrcmp(name, colour.value) == 0) return palette.color(QPalette::Active, paletteRole);
    }
  }
  return palette.color(QPalette::Active, QPalette::Button);
}

// The relative luminance of a colour, 0 for black to 1 for white.
double Luminance(const QColor& colour) {
  const auto linear = [](double channel) {
    return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

QString Skin(const char* role) {
  for (const auto& colour : kSkinColours) {
    if (qstrcmp(colour.role, role) == 0) {
      const QString value = QString::fromLatin1(colour.value);
      if (value.startsWith(QLatin1Char('#'))) return value;
      // A style sheet names the palette's roles in lower case with dashes:
      // "windowText" is palette(window-text).
      QString dashed;
      for (const QChar c : value) dashed += c.isUpper() ? QLatin1Char('-') + c.toLower() : QString(c);
      return QStringLiteral("palette(%1)").arg(dashed);
    }
  }
  return QStringLiteral("palette(button)");
}

// Qt's own save dialog, sized through public API alone: as wide as the main
// window less a margin on each side (so the main window shows around it, and
// Qt's columns get the room there is), as high as Qt wants it, never smaller
// than Qt's minimum nor larger than the screen's available area. The one
// assumption left, that Qt's minimum fits into that width, is checked by the
// tests.
void SizeSaveDialog(QFileDialog& dialog, int mainWidth) {
  constexpr int kMargin = 20;
  QSize size(mainWidth - 2 * kMargin, dialog.sizeHint().height());
  size = size.expandedTo(dialog.minimumSizeHint());
  const QSize area = AvailableArea(dialog.parentWidget()).size();
  dialog.resize(area.isValid() ? size.boundedTo(area) : size);
}

// A file name as the operating system wants it.
std::string SystemFileName(const QString& name) {
#ifdef _WIN32
  return ToCp1252(name);
#else
  return QFile::encodeName(name).toStdString();
#endif
}

}  // namespace

QString SkinStyleSheet(const QPalette& palette) {
  // Every background the skin sets comes with a text colour that can be read
  // on it: the skin's own (the system's window text) where it contrasts, as
  // with a light desktop; black or white where it does not (a dark desktop
  // under the skin's light colours). Disabled items then get a grey between.
  struct Colours {
    QString text;
    QString disabled;
  };
  const auto textOn = [&palette](std::initializer_list<const char*> roles) -> Colours {
    const QColor windowText = palette.color(QPalette::Active, QPalette::WindowText);
    double lightest = 0.0;
    double darkest = 1.0;
    for (const char* role : roles) {
      const double light = Luminance(SkinColor(role, palette));
      lightest = std::max(lightest, light);
      darkest = std::min(darkest, light);
    }
    const double text = Luminance(windowText);
    const auto contrast = [](double a, double b) {
      return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
    };
    if (std::min(contrast(text, lightest), contrast(text, darkest)) >= kReadableContrast) {
      return {Skin("tcText"), QString()};
    }
    const bool dark = contrast(0.0, darkest) >= contrast(1.0, lightest);
    return {dark ? QStringLiteral("#000000") : QStringLiteral("#FFFFFF"),
            dark ? QStringLiteral("#6D6D6D") : QStringLiteral("#A0A0A0")};
  };
  const Colours bar = textOn({"tcToolbar"});
  const Colours barSelected = textOn({"tcGradStart", "tcGradEnd"});
  const Colours barPushed = textOn({"tcSelPushed"});
  const Colours popup = textOn({"tcPopupGradStart", "tcPopupGradEnd"});
  const Colours popupSelected = textOn({"tcSelItem"});
  QString sheet =
      QStringLiteral(
          "QMenuBar#TBToolbarMenu, QToolBar#TBToolbarStandard { background: %1; color: %2; border: none; }"
          "QWidget#TBDockTop { background: %1; border-bottom: 1px solid %3; }"
          "QMenuBar#TBToolbarMenu::item:selected { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
          "stop:0 %4, stop:1 %5); border: 1px solid %6; color: %16; }"
          "QMenuBar#TBToolbarMenu::item:pressed { background: %7; border: 1px solid %8; color: %17; }"
          "QMenuBar#TBToolbarMenu QMenu { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 %9, "
          "stop:1 %10); border: 1px solid %11; color: %18; }"
          // Items keep a native menu's room around their icons and texts.
          "QMenuBar#TBToolbarMenu QMenu { padding: 2px 1px; }"
          "QMenuBar#TBToolbarMenu QMenu::item { padding: 3px 20px 3px 6px; border: 1px solid transparent; "
          "}"
          "QMenuBar#TBToolbarMenu QMenu::icon { left: 4px; }"
          "QMenuBar#TBToolbarMenu QMenu::item:selected { background: %12; border: 1px solid %13; color: "
          "%14; }"
          "QMenuBar#TBToolbarMenu QMenu::separator { height: 1px; background: %15; margin: 3px 4px; }"
          "QToolBar#TBToolbarStandard QToolButton:hover { background: %12; border: 1px solid %13; color: "
          "%14; }"
          "QToolBar#TBToolbarStandard QToolButton:pressed { background: %7; border: 1px solid %8; color: "
          "%17; }"
          "QToolBar#TBToolbarStandard::separator { background: %15; width: 1px; margin: 3px 2px; }")
          .arg(Skin("tcToolbar"), bar.text, Skin("tcDockBorderOut"), Skin("tcGradStart"), Skin("tcGradEnd"),
               Skin("tcSelBarBorder"), Skin("tcSelPushed"), Skin("tcSelPushedBorder"),
               Skin("tcPopupGradStart"))
          .arg(Skin("tcPopupGradEnd"), Skin("tcBorder"), Skin("tcSelItem"), Skin("tcSelItemBorder"),
               popupSelected.text == Skin("tcText") ? Skin("tcHighlightText") : popupSelected.text,
               Skin("tcSeparator"), barSelected.text, barPushed.text, popup.text);
  if (!popup.disabled.isEmpty()) {
    sheet += QStringLiteral("QMenuBar#TBToolbarMenu QMenu::item:disabled { color: %1; }").arg(popup.disabled);
  }
  if (!bar.disabled.isEmpty()) {
    sheet += QStringLiteral("QMenuBar#TBToolbarMenu::item:disabled { color: %1; }").arg(bar.disabled);
  }
  return sheet;
}

TFMMain::TFMMain(const MainServices& services, QWidget* parent) : QMainWindow(parent), services_(services) {
  setObjectName("FMMain");
  setWindowTitle(QStringLiteral("Ordalyn"));
  setFont(DialogFont());

  execDialog = [](QDialog& dialog) { return dialog.exec(); };
  askSaveFileName = [](QFileDialog& dialog) -> std::optional<QString> {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
      return std::nullopt;
    }
    return dialog.selectedFiles().first();
  };
  openAbout = [this] { TFMAbout::ShowModalOver(this); };
  endProgram = [](int status) { QCoreApplication::exit(status); };

  CreateActions();
  CreateDock();
  CreateClientArea();

  saveDialog1_ = new QFileDialog(this);
  saveDialog1_->setObjectName("SaveDialog1");
  saveDialog1_->setAcceptMode(QFileDialog::AcceptSave);
  saveDialog1_->setDefaultSuffix(QStringLiteral("log"));
  saveDialog1_->setOption(QFileDialog::DontConfirmOverwrite, true);
  saveDialog1_->setOption(QFileDialog::DontUseNativeDialog, true);
  SizeSaveDialog(*saveDialog1_, kOuterWidth);
  // Centred over the main window at its first showing, like the other
  // dialogs; later showings keep the place where it was.
  PlaceByFrame(saveDialog1_, [this] {
    CentreFrameOver(saveDialog1_, this);
    saveDialog1_->setAttribute(Qt::WA_Moved, true);
  });

  screen_ = new TraceScreenLog(meTrace_);
  log_ = std::make_unique<TraceLog>(
      *screen_, *services_.clock, services_.timeSeparator, [this] { return qvlBuild_->Caption(); },
      [this] { return qvlCopy_->Caption(); }, services_.makeFile());
  retryTimer_ = new QTimer(this);
  retryTimer_->setObjectName("RetryTimer");
  retryTimer_->setInterval(kRetryIntervalMs);
  connect(retryTimer_, &QTimer::timeout, this, &TFMMain::RetryTimerTimer);
  log_->SetKeptTextListener([this] { retryTimer_->start(); });
  // Nothing kept will ever reach a pipe whose reader has gone: the trace
  // ends as when the system ends it, once the failing write has returned.
  log_->SetFileLostListener([this] { QTimer::singleShot(0, this, [this] { EndBySystem(); }); });
  session_ = std::make_unique<TapiSession>(*services_.platform, state_, *log_);
  trace_ = std::make_unique<LineEventTrace>(*services_.platform, state_, *log_);

  PlaceOnScreen();
  PlaceByFrame(this, [this] { PlaceOnScreen(); });
  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive) {
      ApplEventsActivate();
    }
  });
  FormCreate();
}

TFMMain::~TFMMain() {
  if (LineCallbackTarget() == trace_.get()) {
    SetLineCallbackTarget(nullptr);
    SetLineCallbackErrorHandler(nullptr);
  }
}

void TFMMain::PlaceOnScreen() {
  // The first showing, after the window was created and before it is
  // mapped, is the last chance to size it: the frame the window manager will
  // add is asked for then, where the platform does not know it already.
  const bool sizing = !sized_;
  if (sizing && isVisible()) {
    sized_ = true;
    if (FrameMargins(this).isNull()) expectedFrame_ = AskFrameMargins(this).value_or(QMargins());
  }
  QMargins frame = FrameMargins(this);
  if (frame.isNull()) frame = expectedFrame_;
  const QRect area = AvailableArea(this);
  // A screen smaller than the window (a small one, or a large scale factor)
  // gets a smaller window: the whole frame stays on the available area.
  QSize outer(kOuterWidth, kOuterHeight);
  if (area.isValid()) outer = outer.boundedTo(area.size());
  // Sized once, before the window is mapped: a window manager that frames it
  // later only moves it (a resize then would make the window jump).
  if (sizing) resize(outer.shrunkBy(frame));
  outer = size().grownBy(frame);
  if (area.isValid()) {
    const QPoint centred(area.left() + (area.width() - outer.width()) / 2,
                         area.top() + (area.height() - outer.height()) / 2);
    MoveFrameTo(this, KeepInside(QRect(centred, outer), area), frame);
  }
}

void TFMMain::FormCreate() {
  state_.tapiVersion = kTapiHighVersion;
  // TAPI calls a free function; it reaches this window's trace through the
  // process-wide reference, and its failures reach the general error handler.
  SetLineCallbackTarget(trace_.get());
  SetLineCallbackErrorHandler([](std::exception_ptr error) { GeneralErrorHandler().Report(error); });
}

void TFMMain::CreateActions() {
  struct ActionDef {
    QAction** slot;
    const char* name;
    const char* category;
    const char* caption;
    const char* hint;
    int image;  // -1: none
    void (TFMMain::*handler)();
  };
  const ActionDef defs[] = {
      {&acStart_, "ACStart", "Trace", "Start", "Start trace", 1, &TFMMain::ACStartExecute},
      {&acStop_, "ACStop", "Trace", "Stop", "Stop tracing", 0, &TFMMain::ACStopExecute},
      {&acReset_, "ACReset", "Trace", "Clear", "Clear trace log", 4, &TFMMain::ACResetExecute},
      {&acSave_, "ACSave", "Trace", "Save as ...", "Save trace log to file", 2, &TFMMain::ACSaveExecute},
      {&acClose_, "ACClose", "Trace", "Close", "Close application", -1, &TFMMain::ACCloseExecute},
      {&acInfo_, "ACInfo", "Info", "Info", "About ...", 6, &TFMMain::ACInfoExecute},
      {&acDevices_, "ACDevices", "Trace", "Devices ...", "Show devices ...", 3, &TFMMain::ACDevicesExecute},
      {&acHelp_, "ACHelp", "Info", "ACHelp", "How to use ...", 5, &TFMMain::ACHelpExecute},
  };
  for (const auto& def : defs) {
    auto* action = new QAction(QString::fromLatin1(def.caption), this);
    action->setObjectName(def.name);
    action->setProperty("category", QString::fromLatin1(def.category));
    action->setStatusTip(QString::fromLatin1(def.hint));
    action->setToolTip(QString::fromLatin1(def.hint));
    action->setProperty("imageIndex", def.image);
    if (def.image >= 0) {
      action->setIcon(
          QIcon(QString::fromLatin1(appimages::kActionImages[static_cast<std::size_t>(def.image)])));
    }
    const auto handler = def.handler;
    connect(action, &QAction::triggered, this,
            [this, handler] { GeneralErrorHandler().Guard([this, handler] { (this->*handler)(); }); });
    *def.slot = action;
  }
  acStop_->setEnabled(false);
}

void TFMMain::CreateDock() {
  tbDockTop_ = new QWidget(this);
  tbDockTop_->setObjectName("TBDockTop");
  tbDockTop_->setFixedHeight(52);
  tbDockTop_->setAttribute(Qt::WA_StyledBackground, true);
  auto* rows = new QVBoxLayout(tbDockTop_);
  rows->setContentsMargins(0, 0, 0, 0);
  rows->setSpacing(0);

  tbToolbarMenu_ = new QMenuBar(tbDockTop_);
  tbToolbarMenu_->setObjectName("TBToolbarMenu");
  tbToolbarMenu_->setWindowTitle(QStringLiteral("Menü"));
  tbToolbarMenu_->setNativeMenuBar(false);
  QMenu* file = tbToolbarMenu_->addMenu(QStringLiteral("File"));
  file->setObjectName("MIFile");
  file->addAction(acClose_);
  QMenu* trace = tbToolbarMenu_->addMenu(QStringLiteral("Trace"));
  trace->setObjectName("MITrace");
  trace->addAction(acStart_);
  trace->addAction(acStop_);
  trace->addSeparator();
  trace->addAction(acReset_);
  trace->addSeparator();
  trace->addAction(acSave_);
  QMenu* extras = tbToolbarMenu_->addMenu(QStringLiteral("Extras"));
  extras->setObjectName("MIExtras");
  extras->addAction(acDevices_);
  QMenu* help = tbToolbarMenu_->addMenu(QStringLiteral("?"));
  help->setObjectName("MIHelp");
  help->addAction(acHelp_);
  help->addSeparator();
  help->addAction(acInfo_);
  rows->addWidget(tbToolbarMenu_);

  auto* second = new QHBoxLayout();
  second->setContentsMargins(4, 2, 0, 2);
  second->setSpacing(0);
  cbDevices_ = new QComboBox(tbDockTop_);
  cbDevices_->setObjectName("CBDevices");
  cbDevices_->setEditable(true);
  cbDevices_->setInsertPolicy(QComboBox::NoInsert);
  cbDevices_->setFixedWidth(169);
  // A long line name shows its beginning (with the line number), and the
  // whole chosen entry as the tooltip.
  const auto showEntryStart = [this] {
    const int index = cbDevices_->currentIndex();
    cbDevices_->setToolTip(index >= 0 ? cbDevices_->itemText(index) : QString());
    cbDevices_->lineEdit()->home(false);
  };
  connect(cbDevices_, &QComboBox::currentIndexChanged, this, showEntryStart);
  connect(cbDevices_, &QComboBox::activated, this, showEntryStart);
  cbDevices_->lineEdit()->installEventFilter(this);
  second->addWidget(cbDevices_);
  second->addSpacing(180 - 4 - 169);
  tbToolbarStandard_ = new QToolBar(QStringLiteral("Standard"), tbDockTop_);
  tbToolbarStandard_->setObjectName("TBToolbarStandard");
  tbToolbarStandard_->setFloatable(false);
  tbToolbarStandard_->setMovable(false);
  tbToolbarStandard_->setIconSize(QSize(16, 16));
  tbToolbarStandard_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  tbToolbarStandard_->addAction(acStart_);
  tbToolbarStandard_->addAction(acStop_);
  tbToolbarStandard_->addSeparator();
  tbToolbarStandard_->addAction(acReset_);
  tbToolbarStandard_->addSeparator();
  tbToolbarStandard_->addAction(acSave_);
  second->addWidget(tbToolbarStandard_);
  second->addStretch(1);
  rows->addLayout(second);

  tbDockTop_->setStyleSheet(SkinStyleSheet(palette()));
  setMenuWidget(tbDockTop_);
}

void TFMMain::CreateClientArea() {
  auto* client = new QWidget(this);
  client->setObjectName("Client");
  auto* column = new QVBoxLayout(client);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  meTrace_ = new QPlainTextEdit(client);
  meTrace_->setObjectName("METrace");
  meTrace_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  meTrace_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  meTrace_->setUndoRedoEnabled(false);
  meTrace_->installEventFilter(this);
  column->addWidget(meTrace_, 1);

  paFooter_ = new QWidget(client);
  paFooter_->setObjectName("PAfooter");
  paFooter_->setFixedHeight(20);
  paFooter_->installEventFilter(this);
  lbHelp_ = new QLabel(QString(21, QLatin1Char(' ')), paFooter_);
  lbHelp_->setObjectName("LBHelp");
  lbHelp_->move(4, 4);
  qvlCopy_ = new TQVersionLabel(paFooter_);
  qvlCopy_->setObjectName("QVLcopy");
  qvlCopy_->setAutoSize(false);
  qvlCopy_->setFileVersionPart(fvAll);
  qvlCopy_->setVersionResource(vrLegalCopyright);
  qvlCopy_->setInfoPrefix("Legal Copyright:");
  qvlCopy_->setShowInfoPrefix(false);
  qvlCopy_->setLangCharset("-1");
  qvlCopy_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  qvlBuild_ = new TQVersionLabel(paFooter_);
  qvlBuild_->setObjectName("QVLbuild");
  qvlBuild_->setAutoSize(false);
  qvlBuild_->setFileVersionPart(fvAll);
  qvlBuild_->setVersionResource(vrFileVersion);
  qvlBuild_->setInfoPrefix("Build:");
  qvlBuild_->setShowInfoPrefix(true);
  qvlBuild_->setLangCharset("-1");
  qvlBuild_->setAlignment(Qt::AlignRight | Qt::AlignTop);
  QPalette grey = qvlBuild_->palette();
  grey.setColor(QPalette::WindowText, QColor(0x80, 0x80, 0x80));
  qvlBuild_->setPalette(grey);
  column->addWidget(paFooter_);

  paBackgroundTracing_ = new QFrame(client);
  paBackgroundTracing_->setObjectName("PAbackgroundTracing");
  auto* panel = static_cast<QFrame*>(paBackgroundTracing_);
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Raised);
  panel->setAutoFillBackground(true);
  panel->resize(289, 109);
  auto* image1 = new QLabel(panel);
  image1->setObjectName("Image1");
  image1->setPixmap(QPixmap(QString::fromLatin1(appimages::kWarningImage)));
  image1->setGeometry(16, 16, 32, 32);
  auto* label1 = new QLabel(QStringLiteral("Ordalyn in progress."), panel);
  label1->setObjectName("Label1");
  QFont big = DialogFont();
  big.setPixelSize(19);
  label1->setFont(big);
  label1->move(64, 24);
  label1->adjustSize();
  auto* label2 = new QLabel(
      QStringLiteral("Backgroung TAPI tracing in progress.\nClose application to stop tracing."), panel);
  label2->setObjectName("Label2");
  label2->move(64, 60);
  label2->adjustSize();
  panel->hide();

  setCentralWidget(client);
}

void TFMMain::SetDialogs(QDialog* devices, QDialog* help, QDialog* saveChanges, QDialog* stopLog) {
  fmDevices_ = devices;
  fmHelp_ = help;
  fmSaveChanges_ = saveChanges;
  fmStopLog_ = stopLog;
}

void TFMMain::SetTraceActions(bool start, bool stop, bool reset) {
  acStart_->setEnabled(start);
  acStop_->setEnabled(stop);
  acReset_->setEnabled(reset);
}

void TFMMain::ApplEventsActivate() {
  // Once the program is ending, nothing begins any more.
  if (!firstActivation_ || endingBySystem_) {
    return;
  }
  firstActivation_ = false;
  SplashPending = false;

  std::vector<std::string> list;
  EnumerateLines(*services_.platform, state_, list, false);
  cbDevices_->clear();
  for (const auto& entry : list) {
    cbDevices_->addItem(FromCp1252(entry));
  }
  cbDevices_->setCurrentIndex(cbDevices_->count() > 0 ? 0 : -1);
  // The list opens at least as wide as its longest entry: every line name
  // can be read whole.
  QAbstractItemView* popup = cbDevices_->view();
  const int scrollBar = cbDevices_->count() > cbDevices_->maxVisibleItems()
                            ? popup->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, popup)
                            : 0;
  popup->setMinimumWidth(popup->sizeHintForColumn(0) + 2 * popup->frameWidth() + scrollBar);

  state_.selectedDevice = -1;
  log_->SetBackgroundFileName({});
  state_.loggedOn = false;

  const auto request = ReadCommandLine(services_.arguments);
  // Without a file name ("") there is nothing to trace into: interactive
  // mode, with Start offered.
  const std::string fileName =
      request ? ExpandMacros(request->fileName, *services_.clock, services_.computerName) : std::string();
  if (fileName.empty() && !services_.visibleScreen) {
    // Nobody could ever use the window: say so and end.
    GeneralErrorHandler().SetEnding(true);
    GeneralErrorHandler().Report(NoScreenText());
    endProgram(kNoScreenStatus);
    return;
  }
  if (fileName.empty() || (services_.endRequested && services_.endRequested())) {
    return;
  }
  showMinimized();
  state_.selectedDevice = ReadSelectedDevice(request->lineArgument);
  log_->SetBackgroundFileName(fileName);
  // A second logon on top of the background trace would corrupt its state:
  // Start is not offered in background mode.
  SetTraceActions(false, false, true);
  try {
    log_->OpenBackgroundFile();
  } catch (...) {
    if (services_.visibleScreen) {
      GeneralErrorHandler().Report(std::current_exception());
      return;
    }
    // Nobody would ever see the box: the error goes to standard error alone
    // and the program ends, so that whoever started it learns of it.
    GeneralErrorHandler().SetEnding(true);
    GeneralErrorHandler().Report(std::current_exception());
    endProgram(kNoBackgroundFileStatus);
    return;
  }
  paBackgroundTracing_->show();
  paBackgroundTracing_->raise();
  FormResize();
  // A write the file refuses does not stop the logon: its text is kept for
  // the file, and the error is shown once the logon is complete.
  GeneralErrorHandler().Guard([this] { log_->WriteAllOf([this] { session_->Logon(); }); });
}

void TFMMain::ACStartExecute() {
  if (InBackgroundMode()) {
    return;
  }
  SetTraceActions(false, true, false);
  unsavedTrace_ = true;
  paBackgroundTracing_->hide();
  const int index = cbDevices_->currentIndex();
  const QString entry = index >= 0 ? cbDevices_->itemText(index) : QString();
  state_.selectedDevice = LineNumberOfEntry(ToCp1252(entry));
  log_->WriteAllOf([this] { session_->Logon(); });
}

void TFMMain::ACStopExecute() {
  SetTraceActions(!InBackgroundMode(), false, true);
  paBackgroundTracing_->hide();
  log_->WriteAllOf([this] { session_->Logoff(); });
}

void TFMMain::ACResetExecute() {
  screen_->Clear();
  unsavedTrace_ = false;
}

void TFMMain::ACSaveExecute() {
  const auto fileName = askSaveFileName(*saveDialog1_);
  if (!fileName) {
    return;
  }
  SaveTo(*fileName);
  unsavedTrace_ = false;
  // The next Save offers the name really used, with the extension the dialog added.
  saveDialog1_->selectFile(*fileName);
}

void TFMMain::SaveTo(const QString& fileName) {
  const QString text = screen_->Text();
  const std::string name = SystemFileName(fileName);
  std::unique_ptr<OutputFile> file = services_.makeFile();
  if (const int error = file->Create(name); error != 0) {
    throw CreateFileError(error, name);
  }
  // Converted and written in slices: a long log needs no second copy in
  // memory, and the line ends are widened on the way (QString::replace of
  // "\n" by "\r\n" costs seconds on a large log).
  int writeError = 0;
  const auto write = [&](std::string_view bytes) {
    const auto result = file->Write(bytes.data(), bytes.size());
    writeError = result.error;
    return result.error == 0 && result.written == bytes.size();
  };
  constexpr qsizetype kSliceLength = 32 * 1024;
  const bool written = WriteCp1252WithCrLf(text, kSliceLength, write) && (text.isEmpty() || write("\r\n"));
  const int closeError = file->Close();
  if (!written) {
    throw IoError::FromOs(writeError, "Cannot write to file", name);
  }
  if (closeError != 0) {
    throw IoError::FromOs(closeError, "Cannot close file", name);
  }
}

void TFMMain::ACCloseExecute() { close(); }

void TFMMain::ACInfoExecute() { openAbout(); }

void TFMMain::ACDevicesExecute() {
  if (fmDevices_ != nullptr) {
    execDialog(*fmDevices_);
  }
}

void TFMMain::ACHelpExecute() {
  if (fmHelp_ != nullptr) {
    execDialog(*fmHelp_);
  }
}

void TFMMain::FormResize() {
  const QRect log = meTrace_->geometry();
  const QSize panel = paBackgroundTracing_->size();
  paBackgroundTracing_->move((log.width() - panel.width()) / 2,
                             log.top() + (log.height() - panel.height()) / 2);
}

void TFMMain::RetryTimerTimer() {
  log_->RetryKeptText();
  if (!log_->KeptText()) {
    retryTimer_->stop();
    // The file takes data again: how often its error came meanwhile.
    GeneralErrorHandler().FlushRepeats();
  }
}

bool TFMMain::RetryTimerActive() const { return retryTimer_->isActive(); }

void TFMMain::EndBySystem() {
  // Nobody is there to answer boxes: errors on the way out go to standard
  // error. An error box may be running its own loop (one without a parent is
  // not closed with this window): ending the application ends every loop.
  // A second request (a signal after the pipe's reader went) only ends it.
  if (endingBySystem_) {
    QCoreApplication::exit(0);
    return;
  }
  endingBySystem_ = true;
  GeneralErrorHandler().SetEnding(true);
  close();
  QCoreApplication::exit(0);
}

bool TFMMain::FormCloseQuery() {
  if (endingBySystem_) {
    return true;
  }
  bool canClose = true;
  if (unsavedTrace_ && fmSaveChanges_ != nullptr && execDialog(*fmSaveChanges_) != QDialog::Accepted) {
    canClose = false;
  }
  if (InBackgroundMode() && fmStopLog_ != nullptr && execDialog(*fmStopLog_) != QDialog::Accepted) {
    canClose = false;
    showMinimized();
  }
  return canClose;
}

void TFMMain::FormClose() {
  GeneralErrorHandler().Guard([this] { log_->WriteAllOf([this] { session_->Logoff(); }); });
  if (state_.loggedOn) {
    // The logoff did not finish: TAPI is released all the same, so no
    // message arrives after the window has gone.
    services_.platform->lineShutdown(state_.appHandle);
    state_.loggedOn = false;
  }
  // A background file that could never be created is not closed: the program
  // ends all the same.
  if (InBackgroundMode() && log_->BackgroundFileOpen()) {
    GeneralErrorHandler().Guard([this] { log_->CloseBackgroundFile(); });
  }
}

void TFMMain::closeEvent(QCloseEvent* event) {
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

bool TFMMain::event(QEvent* event) {
  if (event->type() == QEvent::StatusTip) {
    // The hint of whatever is under the mouse.
    lbHelp_->setText(static_cast<QStatusTipEvent*>(event)->tip());
    lbHelp_->adjustSize();
    return true;
  }
  if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::PaletteChange) {
    // The desktop's colours changed: the skin's texts follow.
    tbDockTop_->setStyleSheet(SkinStyleSheet(palette()));
  }
  return QMainWindow::event(event);
}

bool TFMMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && watched == cbDevices_->lineEdit()) {
    cbDevices_->lineEdit()->home(false);
  }
  if (event->type() == QEvent::Resize) {
    if (watched == meTrace_) {
      FormResize();
    } else if (watched == paFooter_) {
      const int width = paFooter_->width();
      qvlCopy_->setGeometry(4, 4, width - 18, 13);
      qvlBuild_->setGeometry(width - 16 - 127, 4, 127, 13);
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace ordalyn
