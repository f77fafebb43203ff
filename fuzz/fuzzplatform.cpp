#include "fuzzplatform.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "tapi/tapistate.h"

namespace ordalyn::fuzz {

namespace {

constexpr LONG kNoMoreInput = LINEERR_OPERATIONFAILED;

void PutDword(unsigned char* block, std::size_t offset, DWORD value) {
  std::memcpy(block + offset, &value, sizeof value);
}

std::string Hex(std::uint64_t value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "0x%llX", static_cast<unsigned long long>(value));
  return buffer;
}

}  // namespace

LONG FuzzTapiPlatform::lineInitializeExA(HLINEAPP* lphLineApp, HINSTANCE, LINECALLBACK, LPCSTR,
                                         DWORD* lpdwNumDevs, DWORD* lpdwAPIVersion,
                                         LINEINITIALIZEEXPARAMS* lpLineInitializeExParams) {
  FUZZ_CHECK(lphLineApp != nullptr && lpdwNumDevs != nullptr && lpdwAPIVersion != nullptr &&
                 lpLineInitializeExParams != nullptr,
             "lineInitializeExA without its output pointers");
  FUZZ_CHECK(lpLineInitializeExParams->dwTotalSize == sizeof(LINEINITIALIZEEXPARAMS),
             "initialisation parameters of size " + Hex(lpLineInitializeExParams->dwTotalSize));
  if (input_.Empty()) {
    initResults.push_back(kNoMoreInput);
    return kNoMoreInput;
  }
  const auto result = static_cast<LONG>(input_.U32());
  // Up to 1023 devices, or far more than anyone lists for 0xFFFF; a count
  // beyond a few hundred only makes each run slower.
  const std::uint16_t count = input_.U16();
  const DWORD devices = count == 0xFFFF ? 0xFFFFFFFF : count & 0x3FFu;
  const DWORD version = input_.U32();
  initResults.push_back(result);
  if (result == 0) {
    *lphLineApp = 0x00010001;
    *lpdwNumDevs = devices;
    *lpdwAPIVersion = version;
  }
  return result;
}

LONG FuzzTapiPlatform::lineNegotiateAPIVersion(HLINEAPP, DWORD, DWORD dwAPILowVersion, DWORD dwAPIHighVersion,
                                               DWORD* lpdwAPIVersion, LINEEXTENSIONID* lpExtensionID) {
  FUZZ_CHECK(lpdwAPIVersion != nullptr && lpExtensionID != nullptr, "negotiation without output pointers");
  FUZZ_CHECK(dwAPILowVersion == kTapiLowVersion && dwAPIHighVersion == kTapiHighVersion,
             "negotiated range " + Hex(dwAPILowVersion) + ".." + Hex(dwAPIHighVersion));
  if (input_.Empty()) {
    negotiateResults.push_back(kNoMoreInput);
    negotiatedVersions.push_back(*lpdwAPIVersion);
    return kNoMoreInput;
  }
  const auto result = static_cast<LONG>(input_.U32());
  *lpdwAPIVersion = input_.U32();
  negotiateResults.push_back(result);
  negotiatedVersions.push_back(*lpdwAPIVersion);
  return result;
}

LONG FuzzTapiPlatform::AnswerBlock(unsigned char* block, BlockCall& call) {
  // What the caller hands over: a zero-filled block of dwTotalSize bytes.
  // Reading all of it lets AddressSanitizer catch a block smaller than claimed.
  std::memcpy(&call.callerTotal, block, sizeof call.callerTotal);
  FUZZ_CHECK(call.callerTotal >= 12, "a block of " + Hex(call.callerTotal) + " bytes");
  for (DWORD i = 4; i < call.callerTotal; ++i) {
    FUZZ_CHECK(block[i] == 0, "byte " + Hex(i) + " of a fresh block is not zero");
  }
  if (input_.Empty()) {
    call.result = kNoMoreInput;
  } else {
    call.result = static_cast<LONG>(input_.U32());
    const DWORD needed = input_.U32();
    const std::uint8_t flags = input_.U8();
    const std::span<const std::uint8_t> bytes = input_.Bytes(input_.U16());
    const std::size_t copied = std::min<std::size_t>(bytes.size(), call.callerTotal);
    std::copy_n(bytes.begin(), copied, block);
    if ((flags & 1) == 0) {
      PutDword(block, 0, call.callerTotal);
    }
    PutDword(block, 4, needed);
  }
  call.after.assign(block, block + call.callerTotal);
  return call.result;
}

LONG FuzzTapiPlatform::lineGetDevCapsA(HLINEAPP, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                                       LINEDEVCAPS* lpLineDevCaps) {
  FUZZ_CHECK(lpLineDevCaps != nullptr, "lineGetDevCapsA without a block");
  FUZZ_CHECK(dwExtVersion == 0, "extension version " + Hex(dwExtVersion));
  BlockCall call;
  call.handle = dwDeviceID;
  call.version = dwAPIVersion;
  const LONG result = AnswerBlock(reinterpret_cast<unsigned char*>(lpLineDevCaps), call);
  devCapsCalls.push_back(std::move(call));
  return result;
}

LONG FuzzTapiPlatform::lineOpenA(HLINEAPP, DWORD, HLINE* lphLine, DWORD, DWORD, DWORD_PTR, DWORD, DWORD,
                                 const LINECALLPARAMS*) {
  FUZZ_CHECK(lphLine != nullptr, "lineOpenA without a line handle");
  const LONG result = input_.Empty() ? kNoMoreInput : static_cast<LONG>(input_.U32());
  openResults.push_back(result);
  if (result == 0) {
    *lphLine = 0x00020002;
  }
  return result;
}

LONG FuzzTapiPlatform::lineGetCallInfoA(HCALL hCall, LINECALLINFO* lpCallInfo) {
  FUZZ_CHECK(lpCallInfo != nullptr, "lineGetCallInfoA without a block");
  BlockCall call;
  call.handle = static_cast<DWORD>(hCall);
  const LONG result = AnswerBlock(reinterpret_cast<unsigned char*>(lpCallInfo), call);
  callInfoCalls.push_back(std::move(call));
  return result;
}

LONG FuzzTapiPlatform::lineShutdown(HLINEAPP) {
  const LONG result = input_.Empty() ? kNoMoreInput : static_cast<LONG>(input_.U32());
  shutdownResults.push_back(result);
  return result;
}

std::optional<std::string> FuzzTapiPlatform::MessageTableText(DWORD) {
  ++messageTableQueries;
  if ((input_.U8() & 1) == 0) {
    return std::nullopt;
  }
  return input_.Text8();
}

HINSTANCE FuzzTapiPlatform::ModuleHandle() {
  static char module = 0;
  return reinterpret_cast<HINSTANCE>(&module);
}

void RecordingSink::LogLine(const std::string& text) {
  if (failNextLine) {
    failNextLine = false;
    throw std::runtime_error("the trace file cannot be written");
  }
  entries.push_back("L" + text);
}

void RecordingSink::LogSeparator() { entries.push_back("|"); }

void RecordingSink::LogHeader() { entries.push_back("H"); }

DWORD FieldAt(const std::vector<std::uint8_t>& block, std::size_t offset) {
  if (offset + 4 > block.size()) {
    return 0;
  }
  DWORD value = 0;
  std::memcpy(&value, block.data() + offset, sizeof value);
  return value;
}

std::string TextAt(const std::vector<std::uint8_t>& block, DWORD offset) {
  std::string text;
  for (std::size_t i = offset; i < block.size() && block[i] != 0; ++i) {
    text += static_cast<char>(block[i]);
  }
  return text;
}

}  // namespace ordalyn::fuzz
