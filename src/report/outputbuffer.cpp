#include "report/outputbuffer.h"

namespace ordalyn::report {

FileOutputBuffer::FileOutputBuffer(std::FILE* file) : file_(file), block_(new char[kBytes]) {
  std::setvbuf(file_, nullptr, _IONBF, 0);
  setp(block_.get(), block_.get() + kBytes);
}

FileOutputBuffer::~FileOutputBuffer() { WriteOut(); }

bool FileOutputBuffer::WriteOut() {
  const auto count = static_cast<std::size_t>(pptr() - pbase());
  setp(block_.get(), block_.get() + kBytes);
  if (failed_) {
    return false;
  }
  if (count > 0 && std::fwrite(block_.get(), 1, count, file_) != count) {
    failed_ = true;
  }
  return !failed_;
}

FileOutputBuffer::int_type FileOutputBuffer::overflow(int_type c) {
  if (!WriteOut()) {
    return traits_type::eof();
  }
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

std::streamsize FileOutputBuffer::xsputn(const char* bytes, std::streamsize count) {
  if (static_cast<std::size_t>(count) < kBytes / 2) {
    return std::streambuf::xsputn(bytes, count);
  }
  if (!WriteOut()) {
    return 0;
  }
  if (std::fwrite(bytes, 1, static_cast<std::size_t>(count), file_) != static_cast<std::size_t>(count)) {
    failed_ = true;
    return 0;
  }
  return count;
}

int FileOutputBuffer::sync() { return WriteOut() && std::fflush(file_) == 0 ? 0 : -1; }

}  // namespace ordalyn::report
