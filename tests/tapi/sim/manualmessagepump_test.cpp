#include "tapi/sim/manualmessagepump.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ordalyn {
namespace {

TEST(ManualMessagePumpTest, RunsNothingUntilDriven) {
  ManualMessagePump pump;
  int runs = 0;
  pump.Post(0, [&] { ++runs; });
  EXPECT_EQ(runs, 0);
  EXPECT_EQ(pump.Pending(), 1u);
  EXPECT_EQ(pump.RunDue(), 1u);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(pump.Now(), 0u);
}

TEST(ManualMessagePumpTest, RunsInDueOrderAndPostingOrderForTies) {
  ManualMessagePump pump;
  std::vector<std::string> order;
  pump.Post(30, [&] { order.push_back("c@" + std::to_string(pump.Now())); });
  pump.Post(10, [&] { order.push_back("a@" + std::to_string(pump.Now())); });
  pump.Post(10, [&] { order.push_back("b@" + std::to_string(pump.Now())); });
  EXPECT_EQ(pump.RunFor(100), 3u);
  EXPECT_EQ(order, (std::vector<std::string>{"a@10", "b@10", "c@30"}));
  EXPECT_EQ(pump.Now(), 100u);
}

TEST(ManualMessagePumpTest, RunForStopsAtTheEndOfTheSpan) {
  ManualMessagePump pump;
  int runs = 0;
  pump.Post(50, [&] { ++runs; });
  pump.Post(51, [&] { ++runs; });
  EXPECT_EQ(pump.RunFor(50), 1u);
  EXPECT_EQ(pump.Now(), 50u);
  EXPECT_EQ(pump.NextDue(), 51u);
  EXPECT_EQ(pump.RunFor(1), 1u);
  EXPECT_EQ(runs, 2);
}

TEST(ManualMessagePumpTest, TasksPostedWhileRunningCountFromTheirOwnTime) {
  ManualMessagePump pump;
  std::vector<std::uint64_t> times;
  pump.Post(10, [&] {
    times.push_back(pump.Now());
    pump.Post(0, [&] { times.push_back(pump.Now()); });
    pump.Post(5, [&] { times.push_back(pump.Now()); });
  });
  EXPECT_EQ(pump.RunFor(12), 2u);
  EXPECT_EQ(times, (std::vector<std::uint64_t>{10, 10}));
  EXPECT_EQ(pump.RunFor(10), 1u);
  EXPECT_EQ(times.back(), 15u);
}

TEST(ManualMessagePumpTest, RunUntilIdleAdvancesToEachTaskAndStopsAtTheLimit) {
  ManualMessagePump pump;
  // A task that posts itself again runs for ever; the limit ends it.
  std::function<void()> tick = [&] { pump.Post(1000, tick); };
  pump.Post(1000, tick);
  EXPECT_EQ(pump.RunUntilIdle(5), 5u);
  EXPECT_EQ(pump.Now(), 5000u);
  EXPECT_EQ(pump.Pending(), 1u);

  ManualMessagePump finite;
  int runs = 0;
  finite.Post(7, [&] { ++runs; });
  finite.Post(3, [&] { ++runs; });
  EXPECT_EQ(finite.RunUntilIdle(), 2u);
  EXPECT_EQ(finite.Now(), 7u);
  EXPECT_EQ(finite.Pending(), 0u);
}

TEST(ManualMessagePumpTest, ClearDropsQueuedTasksAndEmptyTasksAreIgnored) {
  ManualMessagePump pump;
  int runs = 0;
  pump.Post(1, [&] { ++runs; });
  pump.Post(1, std::function<void()>());
  EXPECT_EQ(pump.Pending(), 1u);
  pump.Clear();
  EXPECT_EQ(pump.RunFor(10), 0u);
  EXPECT_EQ(runs, 0);
}

}  // namespace
}  // namespace ordalyn
