#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include "report/followfile.h"
#include "util/endrequest.h"

namespace ordalyn::report {

namespace {

FileState StateFrom(const struct stat& info) {
  FileState state;
  state.identity.volume = static_cast<std::uint64_t>(info.st_dev);
  state.identity.index = static_cast<std::uint64_t>(info.st_ino);
  state.size = info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
  return state;
}

class PosixFollowedFile : public FollowedFile {
 public:
  explicit PosixFollowedFile(int fd) : fd_(fd) {}
  ~PosixFollowedFile() override { ::close(fd_); }

  long long Read(char* buffer, std::size_t size, std::string& error) override {
    for (;;) {
      const ssize_t got = ::read(fd_, buffer, size);
      if (got >= 0) {
        return got;
      }
      if (errno != EINTR) {
        error = std::strerror(errno);
        return -1;
      }
    }
  }

  std::optional<FileState> State() const override {
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
      return std::nullopt;
    }
    return StateFrom(info);
  }

 private:
  int fd_;
};

extern "C" void AskToStop(int) { RequestEnd(); }

}  // namespace

std::unique_ptr<FollowedFile> OpenFollowed(const std::string& name, std::string& error) {
  int fd = -1;
  do {
    fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error = std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<PosixFollowedFile>(fd);
}

std::optional<FileState> StateOf(const std::string& name) {
  struct stat info {};
  if (::stat(name.c_str(), &info) != 0) {
    return std::nullopt;
  }
  return StateFrom(info);
}

void StopOnInterrupt() {
  struct sigaction action {};
  action.sa_handler = AskToStop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a pause ends at the signal
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

void PauseMilliseconds(int milliseconds) {
  timespec pause{};
  pause.tv_sec = milliseconds / 1000;
  pause.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  ::nanosleep(&pause, nullptr);  // a signal ends it early
}

}  // namespace ordalyn::report
