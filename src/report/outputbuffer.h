// A stream buffer that gathers output in one large block and hands it to a
// C stream in writes of that size: a report of a hundred megabytes reaches
// its file in about a hundred writes instead of tens of thousands.
#pragma once

#include <cstdio>
#include <memory>
#include <streambuf>

namespace ordalyn::report {

class FileOutputBuffer : public std::streambuf {
 public:
  static constexpr std::size_t kBytes = std::size_t{1} << 20;

  // Makes the file unbuffered (this buffer takes that part): call before
  // anything else is written to it.
  explicit FileOutputBuffer(std::FILE* file);
  // Writes what is left.
  ~FileOutputBuffer() override;
  FileOutputBuffer(const FileOutputBuffer&) = delete;
  FileOutputBuffer& operator=(const FileOutputBuffer&) = delete;

 protected:
  int_type overflow(int_type c) override;
  // A piece of half the block or more goes to the file as it is, after what
  // was gathered, without being copied into the block first.
  std::streamsize xsputn(const char* bytes, std::streamsize count) override;
  int sync() override;

 private:
  // Writes the gathered bytes; false once a write has failed (errno tells
  // why), and from then on.
  bool WriteOut();

  std::FILE* file_;
  std::unique_ptr<char[]> block_;
  bool failed_ = false;
};

}  // namespace ordalyn::report
