// A telephony platform whose every answer comes from the fuzzer's input: the
// results of the calls, the handles and counts they write, and the bytes of the
// variable-size blocks (LINEDEVCAPS, LINECALLINFO) together with any
// dwNeededSize. It records every block it was handed, so a target can check
// what the program asked for and recompute what it should have read.
//
// Answers are read from the input in the order the program asks for them:
//   lineInitializeExA        u32 result, u16 device count (its low 10 bits;
//                            0xFFFF: 0xFFFFFFFF devices), u32 TAPI version
//   lineNegotiateAPIVersion  u32 result, u32 version (written even on failure)
//   lineGetDevCapsA,
//   lineGetCallInfoA         a block answer (below)
//   lineOpenA, lineShutdown  u32 result
//   MessageTableText         u8 (bit 0: a text follows), text8
// A block answer is: u32 result, u32 dwNeededSize, u8 flags, u16 n, n bytes.
// The n bytes are the block from its first byte on; only as many as the
// caller's dwTotalSize allows are copied. Then dwNeededSize is set, and the
// caller's dwTotalSize is put back unless flags bit 0 is set (a provider that
// scribbles over it). Once the input is used up, every call fails with
// LINEERR_OPERATIONFAILED and writes nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzzinput.h"
#include "log/tracesink.h"
#include "tapi/tapiplatform.h"

namespace ordalyn::fuzz {

// One variable-size block handed to the platform.
struct BlockCall {
  DWORD callerTotal = 0;            // dwTotalSize as the caller set it
  LONG result = 0;                  // what the platform returned
  std::vector<std::uint8_t> after;  // the callerTotal bytes as the platform left them
  DWORD handle = 0;                 // the call handle (call information) or device (capabilities)
  DWORD version = 0;                // the API version asked for (capabilities)
};

class FuzzTapiPlatform final : public TapiPlatform {
 public:
  explicit FuzzTapiPlatform(InputReader& input) : input_(input) {}

  LONG lineInitializeExA(HLINEAPP* lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                         LPCSTR lpszFriendlyAppName, DWORD* lpdwNumDevs, DWORD* lpdwAPIVersion,
                         LINEINITIALIZEEXPARAMS* lpLineInitializeExParams) override;
  LONG lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                               DWORD dwAPIHighVersion, DWORD* lpdwAPIVersion,
                               LINEEXTENSIONID* lpExtensionID) override;
  LONG lineGetDevCapsA(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                       LINEDEVCAPS* lpLineDevCaps) override;
  LONG lineOpenA(HLINEAPP hLineApp, DWORD dwDeviceID, HLINE* lphLine, DWORD dwAPIVersion, DWORD dwExtVersion,
                 DWORD_PTR dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes,
                 const LINECALLPARAMS* lpCallParams) override;
  LONG lineGetCallInfoA(HCALL hCall, LINECALLINFO* lpCallInfo) override;
  LONG lineShutdown(HLINEAPP hLineApp) override;
  std::optional<std::string> MessageTableText(DWORD messageId) override;
  HINSTANCE ModuleHandle() override;

  std::vector<BlockCall> callInfoCalls;
  std::vector<BlockCall> devCapsCalls;
  std::vector<LONG> initResults;
  std::vector<LONG> negotiateResults;
  std::vector<DWORD> negotiatedVersions;
  std::vector<LONG> openResults;
  std::vector<LONG> shutdownResults;
  std::uint32_t messageTableQueries = 0;

 private:
  LONG AnswerBlock(unsigned char* block, BlockCall& call);

  InputReader& input_;
};

// A trace sink that keeps what it is given and can be told to fail.
class RecordingSink final : public TraceSink {
 public:
  void LogLine(const std::string& text) override;
  void LogSeparator() override;
  void LogHeader() override;

  // "|" before a separator, "H" before a header, "L" before a trace line.
  std::vector<std::string> entries;
  bool failNextLine = false;
};

// The 32-bit little-endian value at offset, 0 when it lies beyond the bytes.
DWORD FieldAt(const std::vector<std::uint8_t>& block, std::size_t offset);
// The NUL-terminated text at offset, cut at the block's end; empty beyond it.
std::string TextAt(const std::vector<std::uint8_t>& block, DWORD offset);

}  // namespace ordalyn::fuzz
