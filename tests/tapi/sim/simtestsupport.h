// Shared helpers of the simulated platform's tests: a line callback that
// records what it receives, and the grow-and-retry block queries the program
// makes.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tapi/sim/manualmessagepump.h"
#include "tapi/sim/simtapiplatform.h"

namespace ordalyn::simtest {

struct Received {
  std::uint64_t time = 0;
  DWORD hDevice = 0;
  DWORD message = 0;
  DWORD_PTR instance = 0;
  DWORD_PTR param1 = 0;
  DWORD_PTR param2 = 0;
  DWORD_PTR param3 = 0;
  bool operator==(const Received&) const = default;
};

// The callback handed to lineInitializeExA. It records every message with the
// pump's virtual time and then runs the hook, if any.
struct Recorder {
  static inline std::vector<Received> messages;
  static inline ManualMessagePump* pump = nullptr;
  static inline std::function<void(const Received&)> hook;

  static void Reset(ManualMessagePump* clock) {
    messages.clear();
    pump = clock;
    hook = nullptr;
  }

  static void CALLBACK Callback(DWORD hDevice, DWORD message, DWORD_PTR instance, DWORD_PTR param1,
                                DWORD_PTR param2, DWORD_PTR param3) {
    Received received{pump != nullptr ? pump->Now() : 0, hDevice, message, instance, param1, param2, param3};
    messages.push_back(received);
    if (hook) hook(received);
  }
};

struct Session {
  LONG result = 0;
  HLINEAPP app = 0;
  DWORD devices = 0;
  DWORD version = 0;
};

// lineInitializeExA as the program calls it: hidden window, version 2.2 in.
inline Session Initialize(TapiPlatform& platform, DWORD versionIn = 0x00020002) {
  Session session;
  session.version = versionIn;
  LINEINITIALIZEEXPARAMS params;
  std::memset(&params, 0, sizeof params);
  params.dwTotalSize = 24;
  params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
  session.result = platform.lineInitializeExA(&session.app, platform.ModuleHandle(), &Recorder::Callback,
                                              "Ordalyn", &session.devices, &session.version, &params);
  return session;
}

// A zero-filled heap block for a variable-size structure.
struct Block {
  std::vector<unsigned char> bytes;
  explicit Block(std::size_t size) : bytes(size, 0) {
    const DWORD total = static_cast<DWORD>(size);
    if (size >= sizeof total) std::memcpy(bytes.data(), &total, sizeof total);
  }
  template <typename T>
  T* As() {
    return reinterpret_cast<T*>(bytes.data());
  }
  DWORD Dword(std::size_t offset) const {
    DWORD value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
  }
  // The NUL-terminated text at offset, as the program reads it.
  std::string Text(DWORD offset) const {
    return std::string(reinterpret_cast<const char*>(bytes.data() + offset));
  }
  std::string Raw(DWORD offset, DWORD size) const {
    return std::string(reinterpret_cast<const char*>(bytes.data() + offset), size);
  }
};

struct Fetched {
  LONG firstResult = 0;
  LONG result = 0;
  int attempts = 0;
  Block block{0};
};

// Fetches into a block of firstSize bytes and, when dwNeededSize asks for
// more, once again into a block of exactly dwNeededSize bytes.
template <typename Query>
Fetched FetchGrowing(std::size_t firstSize, Query query) {
  Fetched fetched;
  fetched.block = Block(firstSize);
  fetched.firstResult = fetched.result = query(fetched.block);
  fetched.attempts = 1;
  const DWORD needed = fetched.block.Dword(4);
  if (needed > fetched.block.Dword(0)) {
    fetched.block = Block(needed);
    fetched.result = query(fetched.block);
    fetched.attempts = 2;
  }
  return fetched;
}

inline Fetched DevCaps(TapiPlatform& platform, HLINEAPP app, DWORD device, DWORD version) {
  return FetchGrowing(sizeof(LINEDEVCAPS), [&](Block& block) {
    return platform.lineGetDevCapsA(app, device, version, 0, block.As<LINEDEVCAPS>());
  });
}

inline Fetched CallInfo(TapiPlatform& platform, HCALL call) {
  return FetchGrowing(sizeof(LINECALLINFO), [&](Block& block) {
    return platform.lineGetCallInfoA(call, block.As<LINECALLINFO>());
  });
}

// A text field of a fetched block: none when its size is 0.
inline std::optional<std::string> Field(const Block& block, std::size_t sizeOffset,
                                        std::size_t offsetOffset) {
  if (block.Dword(sizeOffset) == 0) return std::nullopt;
  return block.Text(block.Dword(offsetOffset));
}

#define SIMTEST_FIELD(block, structure, name) \
  ::ordalyn::simtest::Field(block, offsetof(structure, dw##name##Size), offsetof(structure, dw##name##Offset))

inline LONG Open(TapiPlatform& platform, HLINEAPP app, DWORD device, DWORD version, HLINE* line,
                 DWORD_PTR instance = 0) {
  return platform.lineOpenA(app, device, line, version, 0, instance, LINECALLPRIVILEGE_MONITOR,
                            LINEMEDIAMODE_INTERACTIVEVOICE, nullptr);
}

}  // namespace ordalyn::simtest
