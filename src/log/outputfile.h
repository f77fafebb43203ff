// A file written from start to end, behind an interface so that the trace log
// can be tested against files that fail and recover.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "util/ioerror.h"

namespace ordalyn {

class OutputFile {
 public:
  struct WriteResult {
    std::size_t written = 0;  // bytes that reached the file, from the start of the data
    int error = 0;            // the operating system's error code; 0 when all were written
  };

  virtual ~OutputFile() = default;
  // Creates the file, or empties an existing one, for writing only; other
  // programs may read it meanwhile, and no second writer of this kind may
  // open it: a file another one holds is left untouched and gives
  // FileInUseError(). Closes a file still open first. Gives 0 or the
  // operating system's error code.
  virtual int Create(const std::string& fileName) = 0;
  // Writes all bytes, or as many as the system takes before it fails. A
  // reader (pipe, terminal) that takes nothing for now is waited for, until
  // it does or the program is asked to end (RequestEnd), which fails the
  // write at once.
  virtual WriteResult Write(const char* data, std::size_t size) = 0;
  // Releases the file; 0 or the operating system's error code. It is closed
  // afterwards in either case.
  virtual int Close() = 0;
  virtual bool IsOpen() const = 0;
};

// The platform's file: POSIX open/write/close, or CreateFileA/WriteFile on Windows.
std::unique_ptr<OutputFile> MakeSystemOutputFile();

// The code Create gives for a file that another writer holds.
int FileInUseError();
// The code Create gives for a pipe that nobody reads (opening it does not
// wait for a reader).
int NoReaderError();

// True for a write error the file can never recover from: the reader of a
// pipe has gone. (A full disk, or a file at its size limit, may take data
// again later.)
bool WriteErrorIsFinal(int errorCode);

// The error of a failed Create, as the user reads it: "Cannot create file
// "<name>": <reason> (OS error <code>)", where a file held by another writer
// and a pipe without a reader are named as such.
IoError CreateFileError(int errorCode, const std::string& fileName);

}  // namespace ordalyn
