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
#include "widgets/cp1252map.h"

namespace ordalyn::bench {
namespace {

constexpr std::int64_t kThousand = 1000;
constexpr std::int64_t kMillion = 1000000;
// The lines whose cost is compared at the start and at the end of a long log.
constexpr std::int64_t kEdgeLines = 10000;

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

// Lets the event loop run once, as it does between two bursts of messages:
// the on-screen log's zero timer inserts what is waiting and the view repaints.
// Gives false when the log still holds lines afterwards.
bool RunEventLoopOnce(TraceScreenLog& screen) {
  QApplication::processEvents();
  return screen.WaitingLines() == 0;
}

// Appends `lines` lines, the event loop running after every `perPass` lines.
// With `prefill`, the log already holds that many lines (inserted in large
// edit blocks before the clock starts), so the figure is the cost per line
// of a log of that length.
void ScreenAppend(benchmark::State& state, std::int64_t lines, std::int64_t perPass, std::int64_t prefill) {
  const std::vector<std::string>& pool = PoolOfLines();
  double firstEdge = 0;
  double lastEdge = 0;
  std::int64_t explicitFlushes = 0;
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
    double edgeStart = start;
    for (std::int64_t i = 0; i < lines; ++i) {
      screen.AppendLine(pool[static_cast<std::size_t>(prefill + i) % pool.size()]);
      if ((i + 1) % perPass == 0 || i + 1 == lines) {
        if (!RunEventLoopOnce(screen)) {
          ++explicitFlushes;
          screen.Flush();
        }
      }
      if (i + 1 == kEdgeLines) firstEdge += ThreadSeconds() - edgeStart;
      if (i + 1 == lines - kEdgeLines) edgeStart = ThreadSeconds();
    }
    const double end = ThreadSeconds();
    lastEdge += end - edgeStart;
    state.SetIterationTime(end - start);
    if (rig.view->document()->blockCount() != prefill + lines) {
      state.SkipWithError("the view does not hold every line");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * lines);
  state.counters["flushes_outside_loop"] = static_cast<double>(explicitFlushes);
  if (lines > 2 * kEdgeLines) {
    const auto edge = static_cast<double>(state.iterations() * kEdgeLines);
    // As rates, so that ratios can name them: lines per second.
    state.counters["first_lines_rate"] = edge / firstEdge;
    state.counters["last_lines_rate"] = edge / lastEdge;
  }
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

// The prototype of a fix: the on-screen log as the program has it, but its
// timer waits intervalMs before it inserts what is waiting, so a flood of
// messages is inserted (and painted) in a few large edit blocks instead of
// one per event loop pass.
class PrototypeScreenLog : public QObject, public ScreenLog {
 public:
  PrototypeScreenLog(QPlainTextEdit* view, int intervalMs) : QObject(view), view_(view) {
    timer_.setSingleShot(true);
    timer_.setInterval(intervalMs);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { Flush(); });
  }
  void AppendLine(const std::string& line) override {
    waiting_.append(FromCp1252(line));
    if (!timer_.isActive()) timer_.start();
  }
  void Flush() {
    timer_.stop();
    if (waiting_.isEmpty()) return;
    ++flushes_;
    QScrollBar* bar = view_->verticalScrollBar();
    const bool atBottom = bar->value() == bar->maximum();
    QTextDocument* document = view_->document();
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    bool first = document->isEmpty();
    for (const QString& text : waiting_) {
      if (!first) cursor.insertBlock();
      cursor.insertText(text);
      first = false;
    }
    cursor.endEditBlock();
    waiting_.clear();
    if (atBottom) bar->setValue(bar->maximum());
  }
  // Insertions that had lines to insert.
  std::int64_t Flushes() const { return flushes_; }

 private:
  QPlainTextEdit* view_;
  QStringList waiting_;
  QTimer timer_;
  std::int64_t flushes_ = 0;
};

// The whole program's way: the simulated platform posts its messages through
// Qt's event loop (all due at once, a flood), the line callback traces them
// into the on-screen log of the shown main window. With prototypeIntervalMs
// of 0 or more the lines go through the prototype log instead.
void ScreenEventLoop(benchmark::State& state, std::int64_t messages, int prototypeIntervalMs) {
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
    // The prototype's chain, on the main window's state and view.
    auto* prototype = prototypeIntervalMs >= 0 ? new PrototypeScreenLog(view, prototypeIntervalMs) : nullptr;
    std::unique_ptr<TraceLog> prototypeLog;
    std::unique_ptr<LineEventTrace> prototypeTrace;
    TraceSink* sink = &main.Log();
    if (prototype != nullptr) {
      prototypeLog = std::make_unique<TraceLog>(
          *prototype, clock, ":", [] { return std::string("Build: 1"); },
          [] { return std::string("Copyright"); });
      prototypeTrace = std::make_unique<LineEventTrace>(platform, main.State(), *prototypeLog);
      SetLineCallbackTarget(prototypeTrace.get());
      sink = prototypeLog.get();
    }
    // Logon opens the line; the messages flow once the event loop runs.
    TapiSession session(platform, main.State(), *sink);
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
    if (prototype != nullptr) state.counters["insertions"] = static_cast<double>(prototype->Flushes());
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

// The prototype of a fix for Save: the text's line breaks become CR LF while
// it is turned into code page 1252, in one pass over the text, instead of a
// QString::replace that inserts a million CRs (Qt 6.4 moves the rest of the
// text again for every 1,024 of them).
std::string ToCp1252WithCrLf(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()) + static_cast<std::size_t>(text.size()) / 64 + 2);
  const QChar* chars = text.constData();
  const qsizetype size = text.size();
  for (qsizetype i = 0; i < size; ++i) {
    const char16_t c = chars[i].unicode();
    if (c == u'\n') {
      bytes += "\r\n";
    } else if (c < 0x80) {
      bytes.push_back(static_cast<char>(c));
    } else if (QChar::isHighSurrogate(c) && i + 1 < size && chars[i + 1].isLowSurrogate()) {
      ++i;
      bytes.push_back('?');
    } else {
      const std::optional<unsigned char> byte = UnicodeToCp1252(c);
      bytes.push_back(static_cast<char>(byte ? *byte : '?'));
    }
  }
  return bytes;
}

void SavePrototypeOnePass(benchmark::State& state) {
  MainWindowRig& rig = MillionLineWindow();
  const std::string fileName = TempFileName("onepass.log");
  std::string expected;
  for (auto _ : state) {
    const double start = ThreadSeconds();
    std::string bytes = ToCp1252WithCrLf(rig.main->Screen().Text());
    if (!bytes.empty()) bytes += "\r\n";
    std::unique_ptr<OutputFile> file = MakeSystemOutputFile();
    if (file->Create(fileName) != 0 || file->Write(bytes.data(), bytes.size()).error != 0 ||
        file->Close() != 0) {
      state.SkipWithError("cannot write the file");
    }
    state.SetIterationTime(ThreadSeconds() - start);
    state.counters["file_bytes"] = static_cast<double>(bytes.size());
    expected = std::move(bytes);
  }
  // The same bytes as Save writes.
  rig.main->askSaveFileName = [&](QFileDialog&) -> std::optional<QString> {
    return QString::fromStdString(fileName);
  };
  rig.main->ACSaveExecute();
  std::FILE* file = std::fopen(fileName.c_str(), "rb");
  std::string saved(expected.size() + 1, '\0');
  const std::size_t read = file != nullptr ? std::fread(saved.data(), 1, saved.size(), file) : 0;
  if (file != nullptr) std::fclose(file);
  saved.resize(read);
  if (saved != expected) state.SkipWithError("the prototype's bytes differ from what Save writes");
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
  // A thousand lines, with 1 to 1000 lines per event loop pass. In a flood the
  // program's event loop inserts one line per pass (see EventLoop below).
  for (const std::int64_t perPass : {1, 10, 100, 1000}) {
    benchmark::RegisterBenchmark(("Screen/Append1000/PerPass" + std::to_string(perPass)).c_str(),
                                 ScreenAppend, kThousand, perPass, none)
        ->UseManualTime();
  }
  benchmark::RegisterBenchmark("Screen/Batch1000", ScreenBatch, kThousand)->UseManualTime();
  // The last thousand lines of a million.
  for (const std::int64_t perPass : {1, 100, 1000}) {
    benchmark::RegisterBenchmark(("Screen/Append1000At1000000/PerPass" + std::to_string(perPass)).c_str(),
                                 ScreenAppend, kThousand, perPass, kMillion - kThousand)
        ->Apply(once);
  }
  benchmark::RegisterBenchmark("Screen/Append1000000/PerPass1000", ScreenAppend, kMillion, kThousand, none)
      ->Apply(once);
  benchmark::RegisterBenchmark("Screen/Batch1000000", ScreenBatch, kMillion)->Apply(once);
  benchmark::RegisterBenchmark("Screen/PrototypeLineArea/Append1000/PerPass1000", LineAreaAppend, kThousand,
                               kThousand, none)
      ->UseManualTime();
  benchmark::RegisterBenchmark("Screen/PrototypeLineArea/Append1000At1000000/PerPass1000", LineAreaAppend,
                               kThousand, kThousand, kMillion - kThousand)
      ->UseManualTime()
      ->Iterations(3);
  benchmark::RegisterBenchmark("Screen/EventLoop20000", ScreenEventLoop, std::int64_t{20000}, -1)
      ->Apply(once);
  benchmark::RegisterBenchmark("Screen/EventLoop20000/PrototypeTimer50ms", ScreenEventLoop,
                               std::int64_t{20000}, 50)
      ->Apply(once);
  benchmark::RegisterBenchmark("Screen/Batch20000", ScreenBatch, std::int64_t{20000})->Apply(once);
  benchmark::RegisterBenchmark("Save/ACSaveExecute1000000", SaveAction)->Apply(once);
  benchmark::RegisterBenchmark("Save/ToPlainTextAndWrite1000000", SavePlainWrite)->Apply(once);
  benchmark::RegisterBenchmark("Save/PrototypeOnePass1000000", SavePrototypeOnePass)->Apply(once);
  return RunWithRatios(
      argc, argv,
      {
          {"append 1,000 lines, 1 per pass (a flood), vs batch", "Screen/Append1000/PerPass1",
           "Screen/Batch1000", ">= 0.8"},
          {"append 1,000 lines, 10 per pass, vs batch", "Screen/Append1000/PerPass10", "Screen/Batch1000",
           ">= 0.8"},
          {"append 1,000 lines, 100 per pass, vs batch", "Screen/Append1000/PerPass100", "Screen/Batch1000",
           ">= 0.8"},
          {"append 1,000 lines, 1000 per pass, vs batch", "Screen/Append1000/PerPass1000", "Screen/Batch1000",
           ">= 0.8"},
          {"append 1,000,000 lines, 1000 per pass, vs batch", "Screen/Append1000000/PerPass1000",
           "Screen/Batch1000000", ">= 0.8"},
          {"per line at 1,000,000 lines dearer than at 1,000 (1 per pass)",
           "Screen/Append1000At1000000/PerPass1", "Screen/Append1000/PerPass1", "<= 1.3", true},
          {"per line at 1,000,000 lines dearer than at 1,000 (100 per pass)",
           "Screen/Append1000At1000000/PerPass100", "Screen/Append1000/PerPass100", "<= 1.3", true},
          {"per line at 1,000,000 lines dearer than at 1,000 (1000 per pass)",
           "Screen/Append1000At1000000/PerPass1000", "Screen/Append1000/PerPass1000", "<= 1.3", true},
          {"prototype line area: per line at 1,000,000 lines dearer than at 1,000 (1000 per pass)",
           "Screen/PrototypeLineArea/Append1000At1000000/PerPass1000",
           "Screen/PrototypeLineArea/Append1000/PerPass1000", "<= 1.3", true},
          {"prototype line area vs batch insertion into the program's view, 1,000 lines",
           "Screen/PrototypeLineArea/Append1000/PerPass1000", "Screen/Batch1000", ">= 0.8"},
          {"batch: per line at 1,000,000 lines dearer than at 1,000", "Screen/Batch1000000",
           "Screen/Batch1000", "", true},
          {"append: last 10,000 of 1,000,000 lines dearer than first 10,000 (1000 per pass)",
           "Screen/Append1000000/PerPass1000@last_lines_rate",
           "Screen/Append1000000/PerPass1000@first_lines_rate", "<= 1.3", true},
          {"program's event loop, flood of 20,000 messages (whole chain), vs batch insertion",
           "Screen/EventLoop20000", "Screen/Batch20000", ">= 0.8"},
          {"prototype log with a 50 ms timer, same flood (whole chain), vs batch insertion",
           "Screen/EventLoop20000/PrototypeTimer50ms", "Screen/Batch20000", ">= 0.8"},
          {"Save of 1,000,000 lines dearer than toPlainText + write", "Save/ACSaveExecute1000000",
           "Save/ToPlainTextAndWrite1000000", "<= 2", true},
          {"prototype: one-pass Save dearer than toPlainText + write", "Save/PrototypeOnePass1000000",
           "Save/ToPlainTextAndWrite1000000", "<= 2", true},
      });
}
