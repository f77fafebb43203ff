// The platform's part of following a trace that a background Ordalyn is
// still writing: a file opened so that its writer may go on writing (and
// rename or delete it), what identifies a file beyond its name, waiting,
// and the request to stop (SIGINT and SIGTERM, Ctrl+C and Ctrl+Break).
// Plain C++: no Qt.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace ordalyn::report {

// A file itself, whatever its name: device and inode, or volume serial
// number and file index.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileIdentity&) const = default;
};

struct FileState {
  FileIdentity identity;
  std::uint64_t size = 0;
};

class FollowedFile {
 public:
  virtual ~FollowedFile() = default;
  // Up to size bytes from where the last read ended; 0 when nothing more
  // has been written yet; negative on an error, whose text is then in error.
  virtual long long Read(char* buffer, std::size_t size, std::string& error) = 0;
  // The identity and size of the open file; none on an error.
  virtual std::optional<FileState> State() const = 0;
};

// Opens the file for reading while others write it; none, with the
// system's text in error, when it cannot be opened.
std::unique_ptr<FollowedFile> OpenFollowed(const std::string& name, std::string& error);
// What the name stands for now; none when no file has that name.
std::optional<FileState> StateOf(const std::string& name);
// From now on SIGINT and SIGTERM (Ctrl+C, Ctrl+Break) ask to stop
// (util/endrequest.h) instead of ending the process.
void StopOnInterrupt();
// Sleeps for the time given; an interrupt may end it early.
void PauseMilliseconds(int milliseconds);

}  // namespace ordalyn::report
