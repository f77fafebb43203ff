#include <windows.h>

#include "log/outputfile.h"

namespace ordalyn {

namespace {

class WindowsOutputFile : public OutputFile {
 public:
  ~WindowsOutputFile() override {
    if (handle_ != INVALID_HANDLE_VALUE) {
      CloseHandle(handle_);
    }
  }

  int Create(const std::string& fileName) override {
    Close();
    // Write access for this program alone; others may read while it writes.
    const HANDLE handle = CreateFileA(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      return static_cast<int>(GetLastError());
    }
    handle_ = handle;
    return 0;
  }

  WriteResult Write(const char* data, std::size_t size) override {
    WriteResult result;
    if (handle_ == INVALID_HANDLE_VALUE) {
      result.error = ERROR_INVALID_HANDLE;
      return result;
    }
    while (result.written < size) {
      const std::size_t rest = size - result.written;
      const DWORD chunk = rest > 0x40000000u ? 0x40000000u : static_cast<DWORD>(rest);
      DWORD n = 0;
      if (!WriteFile(handle_, data + result.written, chunk, &n, nullptr)) {
        result.written += n;
        result.error = static_cast<int>(GetLastError());
        return result;
      }
      if (n == 0) {
        result.error = ERROR_WRITE_FAULT;
        return result;
      }
      result.written += n;
    }
    return result;
  }

  int Close() override {
    if (handle_ == INVALID_HANDLE_VALUE) {
      return 0;
    }
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(handle) ? 0 : static_cast<int>(GetLastError());
  }

  bool IsOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::unique_ptr<OutputFile> MakeSystemOutputFile() { return std::make_unique<WindowsOutputFile>(); }

int FileInUseError() { return ERROR_SHARING_VIOLATION; }

int NoReaderError() { return ERROR_PIPE_NOT_CONNECTED; }

bool WriteErrorIsFinal(int errorCode) {
  return errorCode == ERROR_BROKEN_PIPE || errorCode == ERROR_NO_DATA ||
         errorCode == ERROR_PIPE_NOT_CONNECTED;
}

}  // namespace ordalyn
