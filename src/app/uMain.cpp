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

#include "app/dialogs/dialogbase.h"
#include "app/dialogs/uAbout.h"
#include "app/errorboxes.h"
#include "app/program.h"
#include "app/resources/appimages.h"
#include "app/tracescreen.h"
#include "app/windowframe.h"
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

TFMMain::TFMMain(const MainServices& services, QWidget* parent) : QMainWindow(parent) {
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
  retryTimer_ = new QTimer(this);
  retryTimer_->setObjectName("RetryTimer");
  retryTimer_->setInterval(TraceController::kRetryIntervalMs);
  connect(retryTimer_, &QTimer::timeout, this, &TFMMain::RetryTimerTimer);
  MainServices traceServices = services;
  if (!traceServices.noScreenText) traceServices.noScreenText = NoScreenText;
  controller_ = std::make_unique<TraceController>(traceServices, static_cast<TraceView&>(*this));

  PlaceOnScreen();
  PlaceByFrame(this, [this] { PlaceOnScreen(); });
  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive) {
      ApplEventsActivate();
    }
  });
}

// The controller goes first: the window it reports to is whole until then.
TFMMain::~TFMMain() { controller_.reset(); }

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

void TFMMain::ApplEventsActivate() { controller_->Activate(); }

void TFMMain::ACStartExecute() { controller_->Start(); }

void TFMMain::ACStopExecute() { controller_->Stop(); }

void TFMMain::ACResetExecute() { controller_->Clear(); }

void TFMMain::ACSaveExecute() { controller_->Save(); }

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

void TFMMain::RetryTimerTimer() { controller_->RetryTick(); }

bool TFMMain::RetryTimerActive() const { return retryTimer_->isActive(); }

void TFMMain::EndBySystem() { controller_->EndBySystem(); }

void TFMMain::AppendLine(const std::string& line) { screen_->AppendLine(line); }

void TFMMain::ShowLines(const std::vector<std::string>& entries) {
  // The first activation: an About box from now on shows no splash.
  SplashPending = false;
  cbDevices_->clear();
  for (const auto& entry : entries) {
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
}

std::string TFMMain::ChosenLine() {
  const int index = cbDevices_->currentIndex();
  return index >= 0 ? ToCp1252(cbDevices_->itemText(index)) : std::string();
}

void TFMMain::SetTraceActions(bool start, bool stop, bool reset) {
  acStart_->setEnabled(start);
  acStop_->setEnabled(stop);
  acReset_->setEnabled(reset);
}

void TFMMain::ShowBackgroundPanel(bool shown) {
  if (!shown) {
    paBackgroundTracing_->hide();
    return;
  }
  paBackgroundTracing_->show();
  paBackgroundTracing_->raise();
  FormResize();
}

void TFMMain::Minimize() { showMinimized(); }

std::string TFMMain::BuildLabelText() { return qvlBuild_->Caption(); }

std::string TFMMain::CopyrightLabelText() { return qvlCopy_->Caption(); }

void TFMMain::ClearScreen() { screen_->Clear(); }

bool TFMMain::WriteScreenText(const std::function<bool(std::string_view bytes)>& write) {
  // Converted and written in slices: a long log needs no second copy in
  // memory, and the line ends are widened on the way (QString::replace of
  // "\n" by "\r\n" costs seconds on a large log).
  const QString text = screen_->Text();
  constexpr qsizetype kSliceLength = 32 * 1024;
  return WriteCp1252WithCrLf(text, kSliceLength, write) && (text.isEmpty() || write("\r\n"));
}

std::optional<std::string> TFMMain::AskSaveFileName() {
  const auto fileName = askSaveFileName(*saveDialog1_);
  if (!fileName) {
    return std::nullopt;
  }
  chosenFileName_ = *fileName;
  return SystemFileName(*fileName);
}

void TFMMain::OfferChosenFileName() { saveDialog1_->selectFile(chosenFileName_); }

bool TFMMain::AskSaveChanges() {
  return fmSaveChanges_ == nullptr || execDialog(*fmSaveChanges_) == QDialog::Accepted;
}

bool TFMMain::AskStopLogging() {
  return fmStopLog_ == nullptr || execDialog(*fmStopLog_) == QDialog::Accepted;
}

void TFMMain::ShowError(std::exception_ptr error) { GeneralErrorHandler().Report(error); }

void TFMMain::ShowError(const std::string& text) { GeneralErrorHandler().Report(text); }

void TFMMain::SetErrorsEnding() { GeneralErrorHandler().SetEnding(true); }

void TFMMain::FlushRepeats() { GeneralErrorHandler().FlushRepeats(); }

void TFMMain::SetRetryTimer(bool running) {
  if (running) {
    retryTimer_->start();
  } else {
    retryTimer_->stop();
  }
}

void TFMMain::EndBySystemLater() {
  QTimer::singleShot(0, this, [this] { controller_->EndBySystem(); });
}

void TFMMain::CloseWindow() { close(); }

void TFMMain::EndProgram(int status) { endProgram(status); }

void TFMMain::closeEvent(QCloseEvent* event) {
  if (!controller_->CloseQuery()) {
    event->ignore();
    return;
  }
  controller_->Close();
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
