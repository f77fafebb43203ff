// The line callback: every message TAPI delivers becomes one trace line;
// call-state and call-information lines carry the call's identifiers.
#pragma once

#include <exception>
#include <functional>
#include <string>

#include "log/tracesink.h"
#include "tapi/tapiplatform.h"
#include "tapi/tapistate.h"
#include "tapi/traceformat.h"

namespace ordalyn {

// Reads LINECALLINFO for the call: the number of each party, else its name
// (only the caller's name is trimmed), origin and reason. Failures are silent:
// they leave the texts empty and origin and reason 0. A block size the
// provider asks for beyond any plausible need counts as a failure.
CallInfo QueryCallInfo(TapiPlatform& platform, HCALL call);

// A call handle as the 32-bit value the trace prints.
std::uint32_t CallHandleValue(HCALL call);

class LineEventTrace {
 public:
  LineEventTrace(TapiPlatform& platform, TapiState& state, TraceSink& sink);

  // Composes the message's trace line (updating the current call on
  // LINE_APPNEWCALL) and hands it to the sink.
  void HandleMessage(DWORD hDevice, DWORD message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2,
                     DWORD_PTR param3);
  std::string ComposeLine(DWORD message, DWORD_PTR param1, DWORD_PTR param2, DWORD_PTR param3);

 private:
  TapiPlatform& platform_;
  TapiState& state_;
  TraceSink& sink_;
};

// The process-wide reference through which TAPI's free callback reaches the
// trace of the one main window; null while there is none.
void SetLineCallbackTarget(LineEventTrace* trace);
LineEventTrace* LineCallbackTarget();

// Where a failure inside the callback goes (a failing write of the background
// file): the application's general error handler. Without a handler the
// failure is dropped, since it must not unwind into TAPI.
void SetLineCallbackErrorHandler(std::function<void(std::exception_ptr)> handler);

// The LINECALLBACK handed to lineInitializeExA.
void CALLBACK LineCallback(DWORD hDevice, DWORD dwMessage, DWORD_PTR dwInstance, DWORD_PTR dwParam1,
                           DWORD_PTR dwParam2, DWORD_PTR dwParam3);

}  // namespace ordalyn
