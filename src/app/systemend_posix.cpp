// SIGINT, SIGTERM and SIGHUP (the terminal or remote session closed) end the
// program as the system asks. They are caught from the program's first
// instruction: the handler only marks the request (RequestEnd, which also
// stops a write that waits for a stalled reader) and writes a byte into a
// pipe; once the event loop runs, it reads the byte and closes the window.
#include <fcntl.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

#include "app/program.h"
#include "util/endrequest.h"

namespace ordalyn {

namespace {

int g_pipe[2] = {-1, -1};

extern "C" void OnSignal(int) {
  const int saved = errno;
  RequestEnd();
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(g_pipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

void CatchEndSignals() {
  if (g_pipe[0] >= 0) {
    return;
  }
  if (::pipe(g_pipe) != 0) {
    g_pipe[0] = g_pipe[1] = -1;
  } else {
    ::fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
    ::fcntl(g_pipe[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(g_pipe[1], F_SETFD, FD_CLOEXEC);
  }
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  // A hang-up or interrupt ignored by whoever started the program (nohup, a
  // background job of a script) stays ignored.
  for (const int number : {SIGINT, SIGHUP}) {
    struct sigaction before {};
    if (::sigaction(number, nullptr, &before) != 0 || before.sa_handler != SIG_IGN) {
      ::sigaction(number, &action, nullptr);
    }
  }
  // A pipe whose reader has gone (EPIPE) and a file at the size limit the
  // system sets (EFBIG) are errors of the write, which the trace log
  // handles, not reasons to end the process on the spot.
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);
}

void OnSystemEnd(QObject* context, std::function<void()> handler) {
  CatchEndSignals();
  if (g_pipe[0] < 0) {
    return;
  }
  // A signal that came before is waiting in the pipe: the notifier sees it
  // as soon as the event loop runs.
  auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, context);
  QObject::connect(notifier, &QSocketNotifier::activated, context, [handler] {
    char buffer[16];
    [[maybe_unused]] const auto got = ::read(g_pipe[0], buffer, sizeof buffer);
    handler();
  });
}

}  // namespace ordalyn
