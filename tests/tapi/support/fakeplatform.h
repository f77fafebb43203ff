// A scriptable telephony platform for tests: forced results per call, every
// call recorded with its arguments, variable-size blocks filled as a provider
// does (dwNeededSize reported when the caller's block is too small).
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "log/tracesink.h"
#include "tapi/tapiplatform.h"

namespace ordalyn::test {

struct FakeLine {
  std::string name;
  DWORD mediaModes = LINEMEDIAMODE_INTERACTIVEVOICE;
  DWORD bearerModes = LINEBEARERMODE_VOICE;
  DWORD version = 0x00020002;  // written by negotiation, even when it fails
  LONG negotiateResult = 0;
  LONG capsResult = 0;
  std::size_t extraCapsBytes = 0;  // device-specific data after the name
  bool zeroNameSize = false;       // name present in the block but dwLineNameSize 0
};

struct FakeCall {
  std::optional<std::string> callerId, callerName, calledId, calledName, connectedId, connectedName;
  DWORD origin = 0;
  DWORD reason = 0;
  std::size_t extraBytes = 0;
  LONG result = 0;
};

class FakePlatform : public TapiPlatform {
 public:
  // Initialisation
  LONG initResult = 0;
  bool initWritesOutputs = true;
  HLINEAPP appHandle = 0x1234;
  DWORD reportedVersion = 0x00020002;
  std::optional<DWORD> deviceCount;  // default: lines.size()
  LONG openResult = 0;
  LONG shutdownResult = 0;

  std::vector<FakeLine> lines;
  std::map<std::uint32_t, FakeCall> calls;
  std::map<DWORD, std::string> messageTable;
  // Lets a test write any bytes into a LINECALLINFO block after it was filled.
  std::function<void(unsigned char* block, DWORD total)> callInfoHook;

  // What happened
  std::vector<std::string> calls_made;
  std::vector<DWORD> capsBlockSizes;
  std::vector<DWORD> callInfoBlockSizes;
  LINECALLBACK callback = nullptr;
  LINEINITIALIZEEXPARAMS lastInitParams{};
  std::string lastAppName;
  DWORD lastInitVersionIn = 0;

  LONG lineInitializeExA(HLINEAPP* app, HINSTANCE, LINECALLBACK cb, LPCSTR name, DWORD* numDevs,
                         DWORD* version, LINEINITIALIZEEXPARAMS* params) override;
  LONG lineNegotiateAPIVersion(HLINEAPP app, DWORD device, DWORD low, DWORD high, DWORD* version,
                               LINEEXTENSIONID* ext) override;
  LONG lineGetDevCapsA(HLINEAPP app, DWORD device, DWORD version, DWORD ext, LINEDEVCAPS* caps) override;
  LONG lineOpenA(HLINEAPP app, DWORD device, HLINE* line, DWORD version, DWORD ext, DWORD_PTR instance,
                 DWORD privileges, DWORD media, const LINECALLPARAMS* params) override;
  LONG lineGetCallInfoA(HCALL call, LINECALLINFO* info) override;
  LONG lineShutdown(HLINEAPP app) override;
  std::optional<std::string> MessageTableText(DWORD id) override;
  HINSTANCE ModuleHandle() override {
    return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x400000));
  }

  // Delivers a message to the registered callback, as TAPI's hidden window would.
  void Deliver(DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3, DWORD hDevice = 0);
};

// A sink that keeps what it is given: stamped lines as "* | text", the
// separator as 92 dashes, the header as "<header>". It can fail at a chosen
// write, as a full disk would.
class RecordingSink : public TraceSink {
 public:
  std::vector<std::string> lines;
  int failAtWrite = -1;  // zero-based index of the write that throws
  int writes = 0;

  void LogLine(const std::string& text) override { Write("* | " + text); }
  void LogSeparator() override { Write(std::string(92, '-')); }
  void LogHeader() override { Write("<header>"); }

 private:
  void Write(const std::string& line) {
    if (writes++ == failAtWrite) {
      throw std::runtime_error("write failed");
    }
    lines.push_back(line);
  }
};

}  // namespace ordalyn::test
