#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "log/outputfile.h"
#include "util/endrequest.h"

namespace ordalyn {

namespace {

class PosixOutputFile : public OutputFile {
 public:
  ~PosixOutputFile() override {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }

  int Create(const std::string& fileName) override {
    Close();
    // Opened without emptying it: the file may be another trace's, which
    // must stay untouched. Emptied only once the lock is held. Opened
    // without waiting, so that a pipe nobody reads is an error (ENXIO) rather
    // than an open that never returns. It stays so: a write into a pipe or
    // terminal that takes nothing for now waits in Write, where a request to
    // end can stop it.
    int fd = -1;
    do {
      fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      return errno == ENXIO ? NoReaderOrNoDevice(fileName) : errno;
    }
    if (const int error = LockAndEmpty(fd); error != 0) {
      ::close(fd);
      return error;
    }
    fd_ = fd;
    return 0;
  }

  WriteResult Write(const char* data, std::size_t size) override {
    WriteResult result;
    if (fd_ < 0) {
      result.error = EBADF;
      return result;
    }
    while (result.written < size) {
      const ssize_t n = ::write(fd_, data + result.written, size - result.written);
      if (n < 0) {
        const int error = errno;
        if (error == EINTR || (error == EAGAIN && WaitUntilWritable())) {
          continue;
        }
        result.error = error;
        return result;
      }
      if (n == 0) {
        result.error = EIO;
        return result;
      }
      result.written += static_cast<std::size_t>(n);
    }
    return result;
  }

  int Close() override {
    if (fd_ < 0) {
      return 0;
    }
    const int fd = fd_;
    fd_ = -1;
    // The descriptor is released even when close reports an error, so it is
    // not closed a second time.
    return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
  }

  bool IsOpen() const override { return fd_ >= 0; }

 private:
  // The reader of a pipe or terminal takes nothing for now: waits until it
  // does, or gives up (false) once the program is asked to end. A signal
  // interrupts the wait at once; the flag is looked at every tenth of a
  // second too, for a signal another thread took.
  bool WaitUntilWritable() const {
    constexpr int kLookEveryMs = 100;
    while (!EndRequested()) {
      pollfd watched{fd_, POLLOUT, 0};
      const int ready = ::poll(&watched, 1, kLookEveryMs);
      if (ready > 0) {
        return true;  // writable, or an error the next write reports
      }
      if (ready < 0 && errno != EINTR) {
        return false;
      }
    }
    return false;
  }

  // ENXIO stands for a pipe nobody reads, or for a device that is not there.
  static int NoReaderOrNoDevice(const std::string& fileName) {
    struct stat info {};
    return ::stat(fileName.c_str(), &info) == 0 && S_ISFIFO(info.st_mode) ? NoReaderError() : ENODEV;
  }

  // A regular file is locked for this writer alone (readers take no lock
  // and read on) and then emptied; devices and pipes are written as they are.
  static int LockAndEmpty(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
      return errno;
    }
    if (!S_ISREG(info.st_mode)) {
      return 0;
    }
    int locked = -1;
    do {
      locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
      return errno == EWOULDBLOCK ? FileInUseError() : errno;
    }
    int emptied = -1;
    do {
      emptied = ::ftruncate(fd, 0);
    } while (emptied != 0 && errno == EINTR);
    return emptied == 0 ? 0 : errno;
  }

  int fd_ = -1;
};

}  // namespace

std::unique_ptr<OutputFile> MakeSystemOutputFile() { return std::make_unique<PosixOutputFile>(); }

int FileInUseError() { return EWOULDBLOCK; }

int NoReaderError() { return ENXIO; }

bool WriteErrorIsFinal(int errorCode) { return errorCode == EPIPE; }

}  // namespace ordalyn
