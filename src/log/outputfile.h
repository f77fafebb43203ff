// A file written from start to end, behind an interface so that the trace log
// can be tested against files that fail and recover.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace ordalyn {

class OutputFile {
 public:
  struct WriteResult {
    std::size_t written = 0;  // bytes that reached the file, from the start of the data
    int error = 0;            // the operating system's error code; 0 when all were written
  };

  virtual ~OutputFile() = default;
  // Creates the file, or empties an existing one, for writing only; other
  // programs may read it meanwhile. Closes a file still open first. Gives 0 or
  // the operating system's error code.
  virtual int Create(const std::string& fileName) = 0;
  // Writes all bytes, or as many as the system takes before it fails.
  virtual WriteResult Write(const char* data, std::size_t size) = 0;
  // Releases the file; 0 or the operating system's error code. It is closed
  // afterwards in either case.
  virtual int Close() = 0;
  virtual bool IsOpen() const = 0;
};

// The platform's file: POSIX open/write/close, or CreateFileA/WriteFile on Windows.
std::unique_ptr<OutputFile> MakeSystemOutputFile();

}  // namespace ordalyn
