#include <windows.h>

#include <cstdio>

#include "report/followfile.h"
#include "util/endrequest.h"

namespace ordalyn::report {

namespace {

std::string ErrorText(DWORD code) {
  char text[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      code, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\r' || message.back() == '\n' || message.back() == '.')) {
    message.pop_back();
  }
  if (message.empty()) {
    char number[32];
    std::snprintf(number, sizeof number, "error %lu", static_cast<unsigned long>(code));
    message = number;
  }
  return message;
}

// Read access that leaves the tracer its own: it writes, may empty the file
// for a new trace, and others may rename or delete it meanwhile.
HANDLE OpenShared(const std::string& name, DWORD access) {
  return CreateFileA(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::optional<FileState> StateOfHandle(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) {
    return std::nullopt;
  }
  FileState state;
  state.identity.volume = info.dwVolumeSerialNumber;
  state.identity.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  state.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return state;
}

class WindowsFollowedFile : public FollowedFile {
 public:
  explicit WindowsFollowedFile(HANDLE handle) : handle_(handle) {}
  ~WindowsFollowedFile() override { CloseHandle(handle_); }

  long long Read(char* buffer, std::size_t size, std::string& error) override {
    DWORD got = 0;
    const DWORD wanted = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    if (!ReadFile(handle_, buffer, wanted, &got, nullptr)) {
      error = ErrorText(GetLastError());
      return -1;
    }
    return got;
  }

  std::optional<FileState> State() const override { return StateOfHandle(handle_); }

 private:
  HANDLE handle_;
};

BOOL WINAPI AskToStop(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    RequestEnd();
    return TRUE;
  }
  return FALSE;
}

}  // namespace

std::unique_ptr<FollowedFile> OpenFollowed(const std::string& name, std::string& error) {
  const HANDLE handle = OpenShared(name, GENERIC_READ);
  if (handle == INVALID_HANDLE_VALUE) {
    error = ErrorText(GetLastError());
    return nullptr;
  }
  return std::make_unique<WindowsFollowedFile>(handle);
}

std::optional<FileState> StateOf(const std::string& name) {
  const HANDLE handle = OpenShared(name, FILE_READ_ATTRIBUTES);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  const std::optional<FileState> state = StateOfHandle(handle);
  CloseHandle(handle);
  return state;
}

void StopOnInterrupt() { SetConsoleCtrlHandler(AskToStop, TRUE); }

void PauseMilliseconds(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

}  // namespace ordalyn::report
