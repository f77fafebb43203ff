// The on-screen log: appending lines through TraceScreenLog as the event loop
// takes them in, against one batch insertion of the same lines, at a thousand
// and at a million lines; and Save of a million-line log against
// toPlainText() and a plain write. Times are the thread's processor time, so
// other processes on a busy machine do not count.
#include <benchmark/benchmark.h>
#include <time.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStringList>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/qtmessagepump.h"
#include "app/tracescreen.h"
#include "app/uMain.h"
#include "ratioreport.h"
#include "tracepipeline.h"
#include "widgets/cp1252.h"

namespace ordalyn::bench {
namespace {

constexpr std::int64_t kThousand = 1000;
constexpr std::int64_t kMillion = 1000000;

double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

const std::vector<std::string>& PoolOfLines() {
  static const std::vector<std::string> lines = TrafficLines(100000);
  return lines;
}

// The program's main window, shown, with its on-screen log.
struct MainWindowRig {
  MainWindowRig() : platform(pump, DefaultSimScenario()) {
    MainServices services;
    services.platform = &platform;
    services.clock = &clock;
    services.computerName = [] { return std::string("BENCH"); };
    services.makeFile = [] { return MakeSystemOutputFile(); };
    main = std::make_unique<TFMMain>(services);
    main->show();
    view = main->findChild<QPlainTextEdit*>("METrace");
    QApplication::processEvents();
  }
  ManualMessagePump pump;
  SimTapiPlatform platform;
  SystemClock clock;
  std::unique_ptr<TFMMain> main;
  QPlainTextEdit* view = nullptr;
};

// Appends `lines` lines through the program's on-screen log. With
// `passPerLine` the event loop runs once after every line, as in a flood of
// telephony messages (each message is delivered in a pass of its own), and the
// log inserts what it has gathered whenever its interval has passed; the clock
// runs until the last line is in the view (the event loop waiting for the
// log's timer costs no processor time, but the insertion then meets cold
// caches). Without, the lines are inserted by one call of the log's Flush at
// the end, which shows the log's own cost. With `prefill`, the log already
// holds that many lines (inserted in large edit blocks before the clock
// starts), so the figure is the cost per line of a log of that length.
void ScreenAppend(benchmark::State& state, std::int64_t lines, std::int64_t prefill, bool passPerLine) {
  const std::vector<std::string>& pool = PoolOfLines();
  std::int64_t insertions = 0;
  for (auto _ : state) {
    MainWindowRig rig;
    TraceScreenLog& screen = rig.main->Screen();
    for (std::int64_t i = 0; i < prefill; ++i) {
      screen.AppendLine(pool[static_cast<std::size_t>(i) % pool.size()]);
      if ((i + 1) % 10000 == 0) screen.Flush();
    }
    screen.Flush();
    QApplication::processEvents();
    const double start = ThreadSeconds();
    for (std::int64_t i = 0; i < lines; ++i) {
      screen.AppendLine(pool[static_cast<std::size_t>(prefill + i) % pool.size()]);
      if (passPerLine) {
        QApplication::processEvents();
        if (screen.WaitingLines() == 0) ++insertions;
      }
    }
    if (!passPerLine) screen.Flush();
    while (screen.WaitingLines() != 0) {
      // The event loop waits for the log's timer as the program's does.
      QEventLoop wait;
      QTimer::singleShot(TraceScreenLog::kGatherMilliseconds, &wait, &QEventLoop::quit);
      wait.exec();
    }
    ++insertions;
    QApplication::processEvents();  // the last repaint
    state.SetIterationTime(ThreadSeconds() - start);
    if (rig.view->document()->blockCount() != prefill + lines) {
      state.SkipWithError("the view does not hold every line");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * lines);
  state.counters["insertions"] = static_cast<double>(insertions) / static_cast<double>(state.iterations());
}

// An event loop pass with nothing to do, on the shown main window: what a
// flood costs per message before any line is traced.
void IdlePass(benchmark::State& state) {
  MainWindowRig rig;
  constexpr std::int64_t kPasses = 10000;
  for (auto _ : state) {
    const double start = ThreadSeconds();
    for (std::int64_t i = 0; i < kPasses; ++i) QApplication::processEvents();
    state.SetIterationTime(ThreadSeconds() - start);
  }
  state.SetItemsProcessed(state.iterations() * kPasses);
}

// The prototype of a fix for the growth with the log's length: the lines kept
// as the trace's own bytes in a deque and painted by a scroll area that draws
// only the rows on screen, so appending costs the same at a million lines as
// at a thousand. (A QListView over a list model is no such fix: it lays out
// every row again after each insertion, 44 us a line at a million lines.)
class LineArea : public QAbstractScrollArea {
 public:
  LineArea() { verticalScrollBar()->setSingleStep(1); }
  void AppendLine(const std::string& line) { waiting_.push_back(line); }
  void Flush() {
    if (waiting_.empty()) return;
    QScrollBar* bar = verticalScrollBar();
    const bool atBottom = bar->value() == bar->maximum();
    for (std::string& line : waiting_) lines_.push_back(std::move(line));
    waiting_.clear();
    UpdateRange();
    if (atBottom) bar->setValue(bar->maximum());
    viewport()->update();
  }
  std::size_t LineCount() const { return lines_.size(); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(viewport());
    const int height = fontMetrics().height();
    const auto first = static_cast<std::size_t>(verticalScrollBar()->value());
    int y = fontMetrics().ascent();
    for (std::size_t row = first; row < lines_.size() && y - height < viewport()->height();
         ++row, y += height) {
      painter.drawText(2, y, FromCp1252(lines_[row]));
    }
  }
  void resizeEvent(QResizeEvent*) override { UpdateRange(); }

 private:
  void UpdateRange() {
    const int visible = std::max(1, viewport()->height() / std::max(1, fontMetrics().height()));
    verticalScrollBar()->setPageStep(visible);
    verticalScrollBar()->setRange(0, std::max(0, static_cast<int>(lines_.size()) - visible));
  }

  std::deque<std::string> lines_;
  std::vector<std::string> waiting_;
};

void LineAreaAppend(benchmark::State& state, std::int64_t lines, std::int64_t perPass, std::int64_t prefill) {
  const std::vector<std::string>& pool = PoolOfLines();
  for (auto _ : state) {
    LineArea area;
    area.resize(760, 480);
    area.show();
    for (std::int64_t i = 0; i < prefill; ++i) {
      area.AppendLine(pool[static_cast<std::size_t>(i) % pool.size()]);
      if ((i + 1) % 10000 == 0) area.Flush();
    }
    area.Flush();
    QApplication::processEvents();
    const double start = ThreadSeconds();
    for (std::int64_t i = 0; i < lines; ++i) {
      area.AppendLine(pool[static_cast<std::size_t>(prefill + i) % pool.size()]);
      if ((i + 1) % perPass == 0 || i + 1 == lines) {
        area.Flush();
        QApplication::processEvents();
      }
    }
    state.SetIterationTime(ThreadSeconds() - start);
    if (static_cast<std::int64_t>(area.LineCount()) != prefill + lines) {
      state.SkipWithError("the view does not hold every line");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * lines);
}

// The same lines inserted in one edit block with a QTextCursor.
void ScreenBatch(benchmark::State& state, std::int64_t lines) {
  const std::vector<std::string>& pool = PoolOfLines();
  for (auto _ : state) {
    MainWindowRig rig;
    QTextDocument* document = rig.view->document();
    const double start = ThreadSeconds();
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    for (std::int64_t i = 0; i < lines; ++i) {
      if (i > 0) cursor.insertBlock();
      cursor.insertText(FromCp1252(pool[static_cast<std::size_t>(i) % pool.size()]));
    }
    cursor.endEditBlock();
    QApplication::processEvents();
    state.SetIterationTime(ThreadSeconds() - start);
    if (document->blockCount() != lines) {
      state.SkipWithError("the view does not hold every line");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * lines);
}

// The whole program's way: the simulated platform posts its messages through
// Qt's event loop (all due at once, a flood), the line callback traces them
// into the on-screen log of the shown main window.
void ScreenEventLoop(benchmark::State& state, std::int64_t messages) {
  for (auto _ : state) {
    QtMessagePump pump;
    SimScenario scenario = ScriptedTrafficScenario(static_cast<std::size_t>(messages));
    for (SimMessage& message : scenario.script.messages) message.delayMs = 0;
    scenario.script.repeat = SimRepeat{};  // the flood ends after its messages
    SimTapiPlatform platform(pump, std::move(scenario));
    const SystemClock clock;
    MainServices services;
    services.platform = &platform;
    services.clock = &clock;
    services.computerName = [] { return std::string("BENCH"); };
    services.makeFile = [] { return MakeSystemOutputFile(); };
    TFMMain main(services);
    main.show();
    QApplication::processEvents();
    auto* view = main.findChild<QPlainTextEdit*>("METrace");
    main.State().selectedDevice = static_cast<std::int32_t>(kTrafficDevice);
    const int before = view->document()->blockCount();
    // Logon opens the line; the messages flow once the event loop runs.
    TapiSession session(platform, main.State(), main.Log());
    const double start = ThreadSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    session.Logon();
    const int target = before + 6 + static_cast<int>(messages);  // header, result lines, logon, separator
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (view->document()->blockCount() >= target) loop.quit();
    });
    poll.start();
    bool late = false;
    QTimer::singleShot(120000, &loop, [&] {
      late = true;
      loop.quit();
    });
    loop.exec();
    state.SetIterationTime(ThreadSeconds() - start);
    state.counters["wall_seconds"] =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    if (late) {
      state.SkipWithError(
          ("only " + std::to_string(view->document()->blockCount() - before) + " lines after two minutes")
              .c_str());
    }
    session.Logoff();
    QApplication::processEvents();
    SetLineCallbackTarget(nullptr);
  }
  state.SetItemsProcessed(state.iterations() * messages);
}

// A main window whose on-screen log holds a million lines, kept for all the
// Save measurements of the run.
MainWindowRig& MillionLineWindow() {
  static MainWindowRig* rig = [] {
    auto* made = new MainWindowRig;
    const std::vector<std::string>& pool = PoolOfLines();
    for (std::int64_t i = 0; i < kMillion; ++i) {
      made->main->Screen().AppendLine(pool[static_cast<std::size_t>(i) % pool.size()]);
      if ((i + 1) % 10000 == 0) made->main->Screen().Flush();
    }
    made->main->Screen().Flush();
    return made;
  }();
  return *rig;
}

void SaveAction(benchmark::State& state) {
  MainWindowRig& rig = MillionLineWindow();
  const std::string fileName = TempFileName("save.log");
  rig.main->askSaveFileName = [&](QFileDialog&) -> std::optional<QString> {
    return QString::fromStdString(fileName);
  };
  for (auto _ : state) {
    const double start = ThreadSeconds();
    rig.main->ACSaveExecute();
    state.SetIterationTime(ThreadSeconds() - start);
  }
  std::FILE* file = std::fopen(fileName.c_str(), "rb");
  if (file != nullptr) {
    std::fseek(file, 0, SEEK_END);
    state.counters["file_bytes"] = static_cast<double>(std::ftell(file));
    std::fclose(file);
  }
  std::remove(fileName.c_str());
  state.SetItemsProcessed(state.iterations() * kMillion);
}

void SavePlainWrite(benchmark::State& state) {
  MainWindowRig& rig = MillionLineWindow();
  const std::string fileName = TempFileName("plain.log");
  for (auto _ : state) {
    const double start = ThreadSeconds();
    const QByteArray bytes = rig.view->toPlainText().toLatin1();
    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, static_cast<std::size_t>(bytes.size()), file) !=
                               static_cast<std::size_t>(bytes.size())) {
      state.SkipWithError("cannot write the file");
    }
    if (file != nullptr) std::fclose(file);
    state.SetIterationTime(ThreadSeconds() - start);
    state.counters["file_bytes"] = static_cast<double>(bytes.size());
  }
  std::remove(fileName.c_str());
  state.SetItemsProcessed(state.iterations() * kMillion);
}

}  // namespace
}  // namespace ordalyn::bench

namespace {
// The offscreen platform warns at every shown window that it cannot pass on
// size hints; nothing else is hidden.
QtMessageHandler g_previousHandler = nullptr;
void DropSizeHintWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.contains(QLatin1String("propagateSizeHints"))) return;
  if (g_previousHandler != nullptr) g_previousHandler(type, context, message);
}
}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  g_previousHandler = qInstallMessageHandler(DropSizeHintWarnings);
  QApplication app(argc, argv);
  using namespace ordalyn::bench;
  const auto once = [](benchmark::internal::Benchmark* b) { b->UseManualTime()->Iterations(1); };
  const std::int64_t none = 0;
  const std::int64_t almostAMillion = kMillion - kThousand;
  const auto repeated = [](benchmark::internal::Benchmark* b) {
    b->UseManualTime()->Iterations(1)->Repetitions(5);
  };
  // Flood: an event loop pass after every line. Direct: one insertion.
  for (const bool flood : {true, false}) {
    const std::string mode = flood ? "/Flood" : "/Direct";
    benchmark::RegisterBenchmark(("Screen/Append1000" + mode).c_str(), ScreenAppend, kThousand, none, flood)
        ->UseManualTime();
    // The last thousand lines of a million.
    benchmark::RegisterBenchmark(("Screen/Append1000At1000000" + mode).c_str(), ScreenAppend, kThousand,
                                 almostAMillion, flood)
        ->Apply(once);
  }
  benchmark::RegisterBenchmark("Screen/Append1000000/Flood", ScreenAppend, kMillion, none, true)->Apply(once);
  benchmark::RegisterBenchmark("Screen/IdlePass", IdlePass)->UseManualTime();
  benchmark::RegisterBenchmark("Screen/Batch1000", ScreenBatch, kThousand)->UseManualTime();
  benchmark::RegisterBenchmark("Screen/Batch1000000", ScreenBatch, kMillion)->Apply(once);
  benchmark::RegisterBenchmark("Screen/PrototypeLineArea/Append1000/PerPass1000", LineAreaAppend, kThousand,
                               kThousand, none)
      ->UseManualTime();
  benchmark::RegisterBenchmark("Screen/PrototypeLineArea/Append1000At1000000/PerPass1000", LineAreaAppend,
                               kThousand, kThousand, kMillion - kThousand)
      ->UseManualTime()
      ->Iterations(3);
  benchmark::RegisterBenchmark("Screen/EventLoop20000", ScreenEventLoop, std::int64_t{20000})->Apply(once);
  benchmark::RegisterBenchmark("Screen/Batch20000", ScreenBatch, std::int64_t{20000})->Apply(once);
  // The first large write of a run pays for growing the page cache: the Save
  // figures are medians of five.
  benchmark::RegisterBenchmark("Save/ACSaveExecute1000000", SaveAction)->Apply(repeated);
  benchmark::RegisterBenchmark("Save/ToPlainTextAndWrite1000000", SavePlainWrite)->Apply(repeated);
  return RunWithRatios(
      argc, argv,
      {
          {"append 1,000 lines in a flood vs batch", "Screen/Append1000/Flood", "Screen/Batch1000", ">= 0.8"},
          {"append 1,000 lines, one direct insertion, vs batch", "Screen/Append1000/Direct",
           "Screen/Batch1000", ">= 0.8"},
          {"append 1,000,000 lines in a flood vs batch", "Screen/Append1000000/Flood", "Screen/Batch1000000",
           ">= 0.8"},
          {"flood: per line at 1,000,000 lines dearer than at 1,000", "Screen/Append1000At1000000/Flood",
           "Screen/Append1000/Flood", "<= 1.3", true},
          {"direct: per line at 1,000,000 lines dearer than at 1,000", "Screen/Append1000At1000000/Direct",
           "Screen/Append1000/Direct", "<= 1.3", true},
          {"an idle event loop pass dearer than a line of batch insertion", "Screen/IdlePass",
           "Screen/Batch1000", "", true},
          {"batch: per line at 1,000,000 lines dearer than at 1,000", "Screen/Batch1000000",
           "Screen/Batch1000", "", true},
          {"prototype line area: per line at 1,000,000 lines dearer than at 1,000 (1000 per pass)",
           "Screen/PrototypeLineArea/Append1000At1000000/PerPass1000",
           "Screen/PrototypeLineArea/Append1000/PerPass1000", "<= 1.3", true},
          {"prototype line area vs batch insertion into the program's view, 1,000 lines",
           "Screen/PrototypeLineArea/Append1000/PerPass1000", "Screen/Batch1000", ">= 0.8"},
          // The whole chain (platform, pump, composing, log) against the view's part alone.
          {"program's event loop, flood of 20,000 messages (whole chain), vs batch insertion",
           "Screen/EventLoop20000", "Screen/Batch20000", ""},
          {"Save of 1,000,000 lines dearer than toPlainText + write", "Save/ACSaveExecute1000000",
           "Save/ToPlainTextAndWrite1000000", "<= 2", true},
      });
}
