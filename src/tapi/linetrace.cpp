#include "tapi/linetrace.h"

#include <cstdio>
#include <memory>
#include <type_traits>

#include "tapi/tapiblock.h"
#include "tapi/tapiutil.h"
#include "util/utools.h"

namespace ordalyn {

namespace {

LineEventTrace* g_callbackTarget = nullptr;
std::function<void(std::exception_ptr)>& ErrorHandler() {
  static std::function<void(std::exception_ptr)> handler;
  return handler;
}

// The number if it has any text after trimming, else the name (trimmed only
// for the caller).
std::string PartyId(const TapiBlock& block, DWORD idSize, DWORD idOffset, DWORD nameSize, DWORD nameOffset,
                    bool trimName) {
  std::string id;
  if (idSize != 0) {
    id = Trim(block.TextAt(idOffset));
  }
  if (id.empty() && nameSize != 0) {
    id = trimName ? Trim(block.TextAt(nameOffset)) : block.TextAt(nameOffset);
  }
  return id;
}

}  // namespace

namespace {

// Call handles are 32-bit numbers here and may be declared as pointer-sized
// handles by a platform's headers.
template <typename Handle>
std::uint32_t HandleValue(Handle handle) {
  if constexpr (std::is_pointer_v<Handle>) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle));
  } else {
    return static_cast<std::uint32_t>(handle);
  }
}

template <typename Handle>
Handle HandleFrom(DWORD_PTR value) {
  if constexpr (std::is_pointer_v<Handle>) {
    return reinterpret_cast<Handle>(value);
  } else {
    return static_cast<Handle>(value);
  }
}

HCALL CallHandleFrom(DWORD_PTR value) { return HandleFrom<HCALL>(value); }

}  // namespace

std::uint32_t CallHandleValue(HCALL call) { return HandleValue(call); }

CallInfo QueryCallInfo(TapiPlatform& platform, HCALL call) {
  CallInfo info;
  auto block = std::make_unique<TapiBlock>(sizeof(LINECALLINFO));
  block->as<LINECALLINFO>()->dwTotalSize = static_cast<DWORD>(block->size());
  platform.lineGetCallInfoA(call, block->as<LINECALLINFO>());
  const DWORD needed = block->as<LINECALLINFO>()->dwNeededSize;
  if (needed > block->size()) {
    if (needed > kMaxTapiBlockSize) {
      return info;
    }
    block = std::make_unique<TapiBlock>(needed);
    block->as<LINECALLINFO>()->dwTotalSize = needed;
    platform.lineGetCallInfoA(call, block->as<LINECALLINFO>());
  }
  const auto& ci = *block->as<LINECALLINFO>();
  info.callerId = PartyId(*block, ci.dwCallerIDSize, ci.dwCallerIDOffset, ci.dwCallerIDNameSize,
                          ci.dwCallerIDNameOffset, true);
  info.calledId = PartyId(*block, ci.dwCalledIDSize, ci.dwCalledIDOffset, ci.dwCalledIDNameSize,
                          ci.dwCalledIDNameOffset, false);
  info.connectedId = PartyId(*block, ci.dwConnectedIDSize, ci.dwConnectedIDOffset, ci.dwConnectedIDNameSize,
                             ci.dwConnectedIDNameOffset, false);
  info.origin = ci.dwOrigin;
  info.reason = ci.dwReason;
  return info;
}

LineEventTrace::LineEventTrace(TapiPlatform& platform, TapiState& state, TraceSink& sink)
    : platform_(platform), state_(state), sink_(sink) {}

std::string LineEventTrace::ComposeLine(DWORD message, DWORD_PTR param1, DWORD_PTR param2, DWORD_PTR param3) {
  // One string, grown in place: this runs for every telephony message.
  std::string text;
  text.reserve(192);
  if (message == LINE_APPNEWCALL) {
    state_.currentCall = CallHandleFrom(param2);
  }
  const std::uint32_t handle = CallHandleValue(state_.currentCall);
  const auto p1 = static_cast<std::uint32_t>(param1);
  const auto p2 = static_cast<std::uint32_t>(param2);
  const auto p3 = static_cast<std::uint32_t>(param3);
  if (CarriesCallInfo(message)) {
    const CallInfo info = QueryCallInfo(platform_, state_.currentCall);
    AppendEventLine(text, message, handle, &info, p1, p2, p3);
  } else {
    AppendEventLine(text, message, handle, nullptr, p1, p2, p3);
  }
  return text;
}

void LineEventTrace::HandleMessage(DWORD /*hDevice*/, DWORD message, DWORD_PTR /*instance*/, DWORD_PTR param1,
                                   DWORD_PTR param2, DWORD_PTR param3) {
  sink_.LogLine(ComposeLine(message, param1, param2, param3));
}

void SetLineCallbackTarget(LineEventTrace* trace) { g_callbackTarget = trace; }

LineEventTrace* LineCallbackTarget() { return g_callbackTarget; }

void SetLineCallbackErrorHandler(std::function<void(std::exception_ptr)> handler) {
  ErrorHandler() = std::move(handler);
}

void CALLBACK LineCallback(DWORD hDevice, DWORD dwMessage, DWORD_PTR dwInstance, DWORD_PTR dwParam1,
                           DWORD_PTR dwParam2, DWORD_PTR dwParam3) {
  if (g_callbackTarget == nullptr) {
    return;
  }
  try {
    g_callbackTarget->HandleMessage(hDevice, dwMessage, dwInstance, dwParam1, dwParam2, dwParam3);
  } catch (...) {
    if (ErrorHandler()) {
      ErrorHandler()(std::current_exception());
    }
  }
}

}  // namespace ordalyn
