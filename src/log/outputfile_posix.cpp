#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "log/outputfile.h"

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
    int fd = -1;
    do {
      fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      return errno;
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
        if (errno == EINTR) {
          continue;
        }
        result.error = errno;
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
  int fd_ = -1;
};

}  // namespace

std::unique_ptr<OutputFile> MakeSystemOutputFile() { return std::make_unique<PosixOutputFile>(); }

}  // namespace ordalyn
