// The flood into the on-screen log of the real main window, started with the
// Start action as a user would: every line arrives exactly once and in order,
// and Save writes them all.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/dialogs/uAbout.h"
#include "app/tracescreen.h"
#include "app/uMain.h"
#include "loadsupport.h"
#include "support/scratchdir.h"
#include "widgets/cp1252.h"

namespace ordalyn::load {
namespace {

constexpr std::uint32_t kRuns = 200;  // 200,000 messages
constexpr std::uint64_t kMessages = std::uint64_t{kRuns} * kFloodScript;

struct ScreenFloodTest : ::testing::Test {
  ManualMessagePump pump;
  SimTapiPlatform platform{pump, FloodScenario(kRuns)};
  PumpClock clock{pump};
  std::unique_ptr<TFMMain> main;

  void SetUp() override {
    TFMAbout::SetCpuMeasurer([] { return 500.0; });
    MainServices services;
    services.platform = &platform;
    services.clock = &clock;
    services.computerName = [] { return std::string("LOAD"); };
    services.makeFile = [] { return MakeSystemOutputFile(); };
    main = std::make_unique<TFMMain>(services);
    main->show();
    // The first activation fills the line list; the first entry is the flood line.
    main->ApplEventsActivate();
  }
  void TearDown() override {
    main.reset();
    TFMAbout::SetCpuMeasurer(nullptr);
  }
};

TEST_F(ScreenFloodTest, EveryLineReachesTheViewOnceAndInOrderAndSaveWritesThemAll) {
  ASSERT_GE(main->findChild<QComboBox*>()->count(), 1);
  main->ACStartExecute();
  // The messages in slices, the event loop running between them as it would.
  std::uint64_t delivered = 0;
  while (pump.Now() < kMessages) {
    delivered += pump.RunFor(1000);
    QApplication::processEvents();
  }
  ASSERT_EQ(delivered, kMessages);
  ASSERT_EQ(pump.Pending(), 0u);
  main->ACStopExecute();

  const QString text = main->Screen().Text();
  const QStringList lines = text.split(QLatin1Char('\n'));
  const std::vector<std::string> logon = LogonLines("Flood Line");
  ASSERT_EQ(static_cast<std::uint64_t>(lines.size()), logon.size() + kMessages + 3);
  // The window's own version labels give the first two header lines.
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Ordalyn - Build:"))) << ToCp1252(lines[0]);
  for (std::size_t i = 2; i < logon.size(); ++i) {
    ASSERT_EQ(ToCp1252(lines[static_cast<qsizetype>(i)]), logon[i]);
  }
  std::uint64_t mismatches = 0;
  for (std::uint64_t k = 0; k < kMessages; ++k) {
    const std::string expected = StampAt(k + 1) + " | " + FloodLineText(k % kFloodScript);
    const std::string actual = ToCp1252(lines[static_cast<qsizetype>(logon.size() + k)]);
    if (actual != expected && ++mismatches <= 5) {
      ADD_FAILURE() << "message " << k << ":\n  expected " << expected << "\n  actual   " << actual;
    }
  }
  EXPECT_EQ(mismatches, 0u);
  const std::string end = StampAt(kMessages);
  EXPECT_EQ(ToCp1252(lines[lines.size() - 3]), std::string(92, '-'));
  EXPECT_EQ(ToCp1252(lines[lines.size() - 2]), end + " | LineShutDown: OK");
  EXPECT_EQ(ToCp1252(lines[lines.size() - 1]), end + " | TAPI - Logoff");
  EXPECT_EQ(main->findChild<QPlainTextEdit*>("METrace")->document()->blockCount(), lines.size());

  // Save writes the same lines, each ending in CR LF.
  const test::ScratchDir scratch;
  const std::string fileName = scratch.File("saved.log");
  main->askSaveFileName = [&](QFileDialog&) -> std::optional<QString> {
    return QString::fromStdString(fileName);
  };
  main->ACSaveExecute();
  EXPECT_FALSE(main->UnsavedTrace());
  const std::vector<std::string> saved = ReadLines(fileName);
  ASSERT_EQ(static_cast<qsizetype>(saved.size()), lines.size());
  for (qsizetype i = 0; i < lines.size(); i += 997) {
    ASSERT_EQ(saved[static_cast<std::size_t>(i)], ToCp1252(lines[i])) << "line " << i;
  }
  EXPECT_EQ(saved.back(), end + " | TAPI - Logoff");
}

}  // namespace
}  // namespace ordalyn::load
