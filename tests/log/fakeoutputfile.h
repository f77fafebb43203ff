// An output file in memory that fails when told to, for the trace log tests.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <memory>
#include <string>

#include "log/outputfile.h"

namespace ordalyn::testing {

// The code a write to a pipe whose reader has gone reports: final, the file
// never takes data again.
#ifdef _WIN32
inline constexpr int kBrokenPipeCode = 109;  // ERROR_BROKEN_PIPE
#else
inline constexpr int kBrokenPipeCode = EPIPE;
#endif

// What the fake file holds and how it behaves; owned by the test, so it
// outlives the trace log that owns the file.
struct FakeDisk {
  std::string contents;
  bool open = false;
  int createError = 0;
  int closeError = 0;
  int failingWrites = 0;               // the next this many writes fail
  bool failForever = false;            // every write fails
  int errorCode = 28;                  // the code a failing write reports
  std::size_t takenBeforeFailure = 0;  // bytes a failing write still takes
  // The bytes the disk holds: a write beyond them takes what fits and fails.
  std::size_t room = std::string::npos;
  int writeCalls = 0;
  int failedWrites = 0;
  int creates = 0;
};

class FakeOutputFile : public OutputFile {
 public:
  explicit FakeOutputFile(FakeDisk& disk) : disk_(disk) {}

  int Create(const std::string&) override {
    disk_.open = false;
    ++disk_.creates;
    if (disk_.createError != 0) {
      return disk_.createError;
    }
    disk_.contents.clear();
    disk_.open = true;
    return 0;
  }

  WriteResult Write(const char* data, std::size_t size) override {
    ++disk_.writeCalls;
    WriteResult result;
    const std::size_t free = disk_.room - std::min(disk_.room, disk_.contents.size());
    const bool told = disk_.failForever || disk_.failingWrites > 0;
    if (told || size > free) {
      if (disk_.failingWrites > 0) {
        --disk_.failingWrites;
      }
      ++disk_.failedWrites;
      result.written = std::min(told ? disk_.takenBeforeFailure : free, size);
      disk_.contents.append(data, result.written);
      result.error = disk_.errorCode;
      return result;
    }
    disk_.contents.append(data, size);
    result.written = size;
    return result;
  }

  int Close() override {
    disk_.open = false;
    return disk_.closeError;
  }

  bool IsOpen() const override { return disk_.open; }

 private:
  FakeDisk& disk_;
};

inline std::unique_ptr<OutputFile> MakeFakeFile(FakeDisk& disk) {
  return std::make_unique<FakeOutputFile>(disk);
}

}  // namespace ordalyn::testing
