// Start-up to the first activation. The real executable is started on the
// offscreen platform with a background trace and timed until its file holds
// the logon (the first activation opens the file and logs on at once), as it
// is and with the sleeps of the About box's processor measurement taken out by
// a preloaded library: the measurement runs on a worker thread and should not
// show. In the process, the construction of the program's windows with the
// real measurement against an injected one.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/dialogs/uAbout.h"
#include "app/program.h"
#include "app/qtmessagepump.h"
#include "ratioreport.h"
#include "tapi/tapiplatform.h"
#include "tracepipeline.h"

extern char** environ;

namespace ordalyn::bench {
namespace {

using Clock = std::chrono::steady_clock;

std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The environment of the child: offscreen, the default telephony environment,
// and the preloaded library when given.
std::vector<std::string> ChildEnvironment(const char* preload) {
  std::vector<std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string variable = *entry;
    if (variable.rfind("QT_QPA_PLATFORM=", 0) == 0 || variable.rfind("ORDALYN_TAPI_SCENARIO=", 0) == 0 ||
        variable.rfind("LD_PRELOAD=", 0) == 0) {
      continue;
    }
    variables.push_back(variable);
  }
  variables.emplace_back("QT_QPA_PLATFORM=offscreen");
  if (preload != nullptr) variables.push_back(std::string("LD_PRELOAD=") + preload);
  return variables;
}

// Starts the program with a background trace of line 3 and waits until the
// file holds its first 128-byte block (written in the middle of the logon).
// Gives the seconds that took, or a negative number on failure.
double TimeToFirstActivation(const char* preload, std::string& failure) {
  const std::string fileName = TempFileName("startup.log");
  std::remove(fileName.c_str());
  std::vector<std::string> arguments = {ORDALYN_EXECUTABLE, "-3", fileName};
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<std::string> variables = ChildEnvironment(preload);
  std::vector<char*> envp;
  for (std::string& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const Clock::time_point start = Clock::now();
  pid_t child = 0;
  const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    failure = std::string("cannot start the program: ") + std::strerror(spawned);
    return -1;
  }
  double seconds = -1;
  while (Clock::now() - start < std::chrono::seconds(30)) {
    struct stat info {};
    if (::stat(fileName.c_str(), &info) == 0 && info.st_size >= 128) {
      seconds = std::chrono::duration<double>(Clock::now() - start).count();
      break;
    }
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) == child) {
      failure = "the program ended before its first activation";
      child = 0;
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  if (child != 0) {
    // Ending by the system closes the window: logoff, and the file is closed.
    ::kill(child, SIGTERM);
    int status = 0;
    const Clock::time_point asked = Clock::now();
    while (::waitpid(child, &status, WNOHANG) == 0) {
      if (Clock::now() - asked > std::chrono::seconds(10)) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  if (seconds >= 0 &&
      ReadFile(fileName).find(" | TAPI - Logon (Version: 2.2) - Office Extension 214") == std::string::npos) {
    failure = "the background file has no logon line";
    seconds = -1;
  } else if (seconds < 0 && failure.empty()) {
    failure = "no background file within 30 seconds";
  }
  std::remove(fileName.c_str());
  return seconds;
}

void StartExecutable(benchmark::State& state, const char* preload) {
  for (auto _ : state) {
    std::string failure;
    const double seconds = TimeToFirstActivation(preload, failure);
    if (seconds < 0) {
      state.SkipWithError(failure.c_str());
      break;
    }
    state.SetIterationTime(seconds);
  }
  state.SetItemsProcessed(state.iterations());
}

// The program's windows made in the process, as main() makes them.
void ConstructProgram(benchmark::State& state, bool realMeasurement) {
  QtMessagePump pump;
  const auto platform = CreateDefaultTapiPlatform(pump);
  const SystemClock clock;
  MainServices services;
  services.platform = platform.get();
  services.clock = &clock;
  services.computerName = [] { return std::string("BENCH"); };
  services.makeFile = [] { return MakeSystemOutputFile(); };
  if (!realMeasurement) TFMAbout::SetCpuMeasurer([] { return 500.0; });
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    auto program = std::make_unique<Program>(services);
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    if (!FMAbout.isNull()) FMAbout->TakeCpuSpeed();  // the worker's result, off the clock
    program.reset();
    QApplication::processEvents();
  }
  TFMAbout::SetCpuMeasurer(nullptr);
  state.counters["measured_mhz"] = CpuSpeed;
  state.SetItemsProcessed(state.iterations());
}

}  // namespace
}  // namespace ordalyn::bench

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  using namespace ordalyn::bench;
  const auto startups = [](benchmark::internal::Benchmark* b) {
    b->UseManualTime()->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(
        benchmark::kMillisecond);
  };
  benchmark::RegisterBenchmark("Startup/Executable", StartExecutable, nullptr)->Apply(startups);
  benchmark::RegisterBenchmark("Startup/ExecutableWithoutMeasurement", StartExecutable,
                               ORDALYN_NOSLEEP_LIBRARY)
      ->Apply(startups);
  benchmark::RegisterBenchmark("Startup/ProgramConstruction", ConstructProgram, true)->Apply(startups);
  benchmark::RegisterBenchmark("Startup/ProgramConstructionInjectedMeasurer", ConstructProgram, false)
      ->Apply(startups);
  return RunWithRatios(
      argc, argv,
      {
          // 100 ms against the 41 ms of the run without the measurement.
          {"start-up with the measurement dearer than without", "Startup/Executable",
           "Startup/ExecutableWithoutMeasurement", "<= 2.4", true},
          {"Program construction with the real measurement dearer than injected",
           "Startup/ProgramConstruction", "Startup/ProgramConstructionInjectedMeasurer", "", true},
      });
}
