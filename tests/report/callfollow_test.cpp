// ordalyn-calls --follow: a trace written in pieces while it is followed,
// then replaced three ways (a new file by its name, the file emptied and
// written anew, a new log header in it); in the process, and as the real
// executable ended by a signal, also following a real background trace.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "report/callfollow.h"
#include "support/polling.h"
#include "support/scratchdir.h"
#include "util/endrequest.h"

#ifndef _WIN32
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

extern char** environ;
#endif

namespace ordalyn::report {
namespace {

namespace fs = std::filesystem;
using test::PollUntil;

std::string Header() {
  return "Ordalyn - Build: 1.0.0.1\r\n(c)\r\n" + std::string(48, '=') +
         "\r\n\r\n10:00:00:000 | TAPI - Logon (Version: 2.2) - Desk (TAPI-Line: 1)\r\n";
}

// A call's lines: LINE_APPNEWCALL, OFFERING and, when ended, IDLE.
std::string CallLines(const std::string& handle, const std::string& caller, bool ended) {
  const std::string ids = " - hCall: " + handle + " - CallerID: " + caller + " - CalledID: 200 - ";
  std::string lines = "10:00:01:000 | LINE_APPNEWCALL - hCall: " + handle + " - 0|" +
                      handle.substr(handle.find_first_not_of('0')) + "|2\r\n" +
                      "10:00:01:005 | LINE_CALLSTATE: LINECALLSTATE_OFFERING; ACTIVE" + ids + "2|1|0\r\n";
  if (ended) {
    lines += "10:00:04:000 | LINE_CALLSTATE: LINECALLSTATE_IDLE" + ids + "1|0|0\r\n";
  }
  return lines;
}

// Appends text as the tracer writes it: in 128-byte blocks, so that lines
// arrive in pieces.
void AppendInBlocks(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::app);
  for (std::size_t at = 0; at < text.size(); at += 128) {
    out << text.substr(at, 128) << std::flush;
  }
}

void Write(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

// What FollowCalls writes from its thread, read by the test meanwhile.
class SharedText : public std::streambuf {
 public:
  std::string Text() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return text_;
  }

 protected:
  int_type overflow(int_type c) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      text_ += traits_type::to_char_type(c);
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    text_.append(s, static_cast<std::size_t>(n));
    return n;
  }

 private:
  mutable std::mutex mutex_;
  std::string text_;
};

bool Holds(const SharedText& text, const std::string& part) {
  return text.Text().find(part) != std::string::npos;
}

// FollowCalls on a thread of its own, asked to stop and joined at the latest
// when the test ends.
class Follower {
 public:
  Follower(const FollowSettings& settings, std::ostream& out, std::ostream& err) {
    ClearEndRequest();
    thread_ = std::thread([this, settings, &out, &err] { code_ = FollowCalls(settings, out, err); });
  }
  ~Follower() { Stop(); }
  Follower(const Follower&) = delete;
  Follower& operator=(const Follower&) = delete;

  // Asks it to stop; its exit status.
  int Stop() {
    if (thread_.joinable()) {
      RequestEnd();
      thread_.join();
      ClearEndRequest();
    }
    return code_;
  }

 private:
  std::thread thread_;
  int code_ = -1;
};

// Puts a file by the name of another: the tracer's new trace. Windows
// renames no file over one that is open: there the followed file is moved
// away first, and the follower may see the name without a file for a moment.
void Replace(const fs::path& file, const fs::path& next) {
  std::error_code error;
#ifdef _WIN32
  fs::rename(file, fs::path(file).replace_extension(".old"), error);
  EXPECT_FALSE(error) << error.message();
#endif
  fs::rename(next, file, error);
  EXPECT_FALSE(error) << error.message();
}

bool SaysReplaced(const SharedText& err) {
  const std::string text = err.Text();
  const bool replaced = text.find(
                            "\" holds a new trace (a new file); the calls still open in the old one were "
                            "written as still open\n") != std::string::npos;
#ifdef _WIN32
  return replaced || text.find(
                         "\" is gone; the calls still open in it were written as still open, and a new "
                         "file by that name will be followed\n") != std::string::npos;
#else
  return replaced;
#endif
}

// Follows a trace in a scratch folder on a thread, looking again every 10 ms.
class Following : public ::testing::Test {
 protected:
  void Follow(CallForm form) {
    FollowSettings settings;
    settings.file = file_.string();
    settings.form = form;
    settings.pollMilliseconds = 10;
    follower_ = std::make_unique<Follower>(settings, out_, err_);
  }

  const test::ScratchDir scratch_;
  const fs::path file_ = scratch_.File("background.log");
  SharedText outText_;
  SharedText errText_;
  std::ostream out_{&outText_};
  std::ostream err_{&errText_};
  std::unique_ptr<Follower> follower_;  // stopped first
};

TEST_F(Following, CallsAsTheyEndThroughPiecesAndEveryKindOfNewTrace) {
  Write(file_, Header());
  Follow(CallForm::kCsv);

  AppendInBlocks(file_, CallLines("00000001", "5550100", true) + CallLines("00000002", "5550111", false));
  EXPECT_TRUE(PollUntil([&] {
    return Holds(outText_, "00000001,1,10:00:01.000,10:00:04.000,3000,missed,5550100");
  })) << outText_.Text();
  // A new file_ by the name: the open call of the old one ends as still open.
  const fs::path next = scratch_.File("next.log");
  Write(next, Header() + CallLines("00000003", "5550133", true));
  Replace(file_, next);
  EXPECT_TRUE(PollUntil([&] { return Holds(outText_, "00000003,1,"); })) << outText_.Text();
  EXPECT_TRUE(Holds(outText_, "00000002,1,10:00:01.000,,,still open,5550111"));
  EXPECT_TRUE(SaysReplaced(errText_)) << errText_.Text();
  // The same file_ emptied and written anew, shorter than before.
  Write(file_,
        "10:00:09:000 | LINE_CALLSTATE: LINECALLSTATE_IDLE - hCall: 00000004 - CallerID: 9 - "
        "CalledID:  - 1|0|0\r\n");
  EXPECT_TRUE(PollUntil([&] { return Holds(outText_, "00000004,1,10:00:09.000,10:00:09.000,0,unknown,9"); }))
      << outText_.Text();
  EXPECT_TRUE(PollUntil([&] { return Holds(errText_, "(emptied and written anew)"); })) << errText_.Text();
  // A new log header in the same file_: a second trace appended.
  AppendInBlocks(file_,
                 CallLines("00000005", "5550155", false) + Header() + CallLines("00000006", "66", true));
  EXPECT_TRUE(PollUntil([&] { return Holds(outText_, "00000006,2,"); })) << outText_.Text();
  EXPECT_TRUE(Holds(outText_, "00000005,1,10:00:01.000,,,still open"));
  EXPECT_TRUE(PollUntil([&] { return Holds(errText_, "(a new log header)"); })) << errText_.Text();

  // Asked to stop: the calls still open are written as still open, a line
  // still being written is no call.
  AppendInBlocks(file_, CallLines("00000007", "77", false) + CallLines("00000008", "88", true) +
                            "10:00:05:000 | LINE_CALLSTATE: LINECALLS");
  EXPECT_TRUE(PollUntil([&] { return Holds(outText_, "00000008,2,"); })) << outText_.Text();
  EXPECT_EQ(follower_->Stop(), 0);
  const std::string text = outText_.Text();
  EXPECT_EQ(text.rfind("handle,session,start,end,duration_ms,outcome,", 0), 0u) << text;
  const std::string notices = errText_.Text();
  EXPECT_EQ(std::count(notices.begin(), notices.end(), '\n'), 3) << notices;
  EXPECT_NE(text.find("00000007,2,10:00:01.000,,,still open"), std::string::npos) << text;
}

TEST_F(Following, AFileThatCannotBeReadIsExitTwo) {
  std::ostringstream out;
  std::ostringstream err;
  FollowSettings settings;
  settings.file = scratch_.File("missing.log");
  EXPECT_EQ(FollowCalls(settings, out, err), 2);
  EXPECT_EQ(err.str().rfind("ordalyn-calls: cannot read \"" + settings.file + "\": ", 0), 0u) << err.str();
  EXPECT_EQ(out.str(), "");
}

#ifndef _WIN32

// A followed file deleted: read to its end, let go of, and the next file by
// its name followed. (Wine keeps a deleted file's name while it is open.)
TEST_F(Following, AFileWhoseNameIsGoneIsLetGoOfAndTheNextOneFollowed) {
  Write(file_, Header() + CallLines("00000009", "99", true) + CallLines("00000001", "11", false));
  Follow(CallForm::kJsonLines);
  ASSERT_TRUE(PollUntil([&] { return Holds(outText_, "{\"handle\":\"00000009\""); })) << outText_.Text();
  fs::remove(file_);
  EXPECT_TRUE(PollUntil([&] {
    return Holds(errText_, "\" is gone; the calls still open in it were written");
  })) << errText_.Text();
  EXPECT_TRUE(Holds(outText_, "{\"handle\":\"00000001\",\"session\":1,")) << outText_.Text();
  Write(file_, Header() + CallLines("00000002", "22", true));
  EXPECT_TRUE(PollUntil([&] { return Holds(outText_, "{\"handle\":\"00000002\",\"session\":1,"); }))
      << outText_.Text();
  EXPECT_EQ(follower_->Stop(), 0);
}

// A child process with its standard output and error in files.
class Child {
 public:
  Child(std::vector<std::string> argv, const std::vector<std::string>& environment, const fs::path& out,
        const fs::path& err, const fs::path& dir) {
    std::vector<char*> args;
    for (std::string& arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);
    std::vector<std::string> variables(environment);
    for (char** entry = environ; *entry != nullptr; ++entry) variables.emplace_back(*entry);
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    started_ = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Child() {
    if (started_ && !reaped_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Started() const { return started_; }
  // Sends the signal and waits for the end; the exit status, or -1 when the
  // signal ended it.
  int EndBy(int signal) {
    ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = 0;
  bool started_ = false;
  bool reaped_ = false;
};

std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(FollowCommand, RowsOfAGrowingTraceANoticeOfItsReplacementAndSigtermIsExitZero) {
  const test::ScratchDir scratch;
  const fs::path file = scratch.File("trace.log");
  const fs::path out = scratch.File("out.txt");
  const fs::path err = scratch.File("err.txt");
  Write(file, Header());
  Child follow({ORDALYN_CALLS_EXECUTABLE, "--follow", file.string()}, {}, out, err, scratch.path());
  ASSERT_TRUE(follow.Started());
  // The call's last line arrives in two pieces, the second one 128 bytes later.
  const std::string call = CallLines("00000001", "5550100", true);
  AppendInBlocks(file, call.substr(0, call.size() - 20));
  AppendInBlocks(file, call.substr(call.size() - 20) + std::string(126, '-') + "\r\n");
  EXPECT_TRUE(PollUntil([&] { return Read(out).find("00000001  10:00:01.000") != std::string::npos; }))
      << Read(out);
  const std::string heading = Read(out).substr(0, Read(out).find('\n') + 1);
  EXPECT_EQ(heading,
            "Handle    Start             Duration   Outcome     Caller              Called              "
            "Connected           Final state\n");
  EXPECT_NE(Read(out).find("00000001  10:00:01.000      3.000      missed      5550100             200  "),
            std::string::npos)
      << Read(out);
  const fs::path next = scratch.File("next.log");
  Write(next, Header() + CallLines("00000002", "5550122", true));
  Replace(file, next);
  EXPECT_TRUE(PollUntil([&] { return Read(out).find("00000002  ") != std::string::npos; })) << Read(out);
  EXPECT_EQ(Read(err),
            "ordalyn-calls: \"" + file.string() +
                "\" holds a new trace (a new file); the calls still open in the old one were written "
                "as still open\n");
  EXPECT_EQ(follow.EndBy(SIGTERM), 0);
}

// The real program's background trace, written while it runs, followed as
// JSON Lines and ended by SIGINT.
TEST(FollowCommand, ARunningBackgroundTraceShowsItsCalls) {
  const test::ScratchDir scratch;
  const fs::path trace = scratch.File("background.log");
  const fs::path scenario = scratch.File("scenario.json");
  fs::create_directory(scratch.File("runtime"));
  Write(scenario, R"({
  "lines": [{"name": "Follow Line", "mediaModes": "LINEMEDIAMODE_INTERACTIVEVOICE"}],
  "calls": [{"handle": "0x00010A2C", "callerID": "5550100", "calledID": "200"}],
  "script": [
    {"delayMs": 20, "message": "LINE_APPNEWCALL", "param2": "0x00010A2C", "param3": "LINECALLPRIVILEGE_MONITOR"},
    {"delayMs": 5, "message": "LINE_CALLSTATE", "call": "0x00010A2C", "param1": "LINECALLSTATE_OFFERING",
     "param2": "LINEOFFERINGMODE_ACTIVE"},
    {"delayMs": 5, "message": "LINE_CALLSTATE", "call": "0x00010A2C", "param1": "LINECALLSTATE_CONNECTED",
     "param2": "LINECONNECTEDMODE_ACTIVE", "set": {"connectedID": "5550100"}},
    {"delayMs": 5, "message": "LINE_CALLSTATE", "call": "0x00010A2C", "param1": "LINECALLSTATE_IDLE"},
    {"delayMs": 5, "message": "LINE_LINEDEVSTATE", "param1": "LINEDEVSTATE_RINGING", "param3": 1}
  ],
  "repeat": {"count": "forever", "periodMs": 100}
})");
  Child ordalyn({ORDALYN_EXECUTABLE, "-0", trace.string()},
                {"QT_QPA_PLATFORM=offscreen", "ORDALYN_TAPI_SCENARIO=" + scenario.string(), "LC_ALL=C",
                 "XDG_RUNTIME_DIR=" + scratch.File("runtime")},
                scratch.File("ordalyn-out.txt"), scratch.File("ordalyn-err.txt"), scratch.path());
  ASSERT_TRUE(ordalyn.Started());
  ASSERT_TRUE(PollUntil([&] { return fs::exists(trace); }));
  const fs::path out = scratch.File("out.jsonl");
  const fs::path err = scratch.File("err.txt");
  Child follow({ORDALYN_CALLS_EXECUTABLE, "--follow", trace.string(), "--jsonl"}, {}, out, err,
               scratch.path());
  ASSERT_TRUE(follow.Started());
  EXPECT_TRUE(PollUntil([&] {
    return Read(out).find("{\"handle\":\"00010A2C\",\"session\":1,") != std::string::npos &&
           Read(out).find("\"outcome\":\"answered\",\"caller\":\"5550100\"") != std::string::npos;
  })) << Read(out);
  EXPECT_EQ(follow.EndBy(SIGINT), 0);
  EXPECT_EQ(Read(err), "");
  ordalyn.EndBy(SIGTERM);
}

#endif

}  // namespace
}  // namespace ordalyn::report
