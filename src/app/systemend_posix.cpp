// SIGINT, SIGTERM and SIGHUP (the terminal or remote session closed) end the
// program as the system asks: the handler only writes a byte into a pipe; the
// event loop reads it and closes the window.
#include <fcntl.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <csignal>

#include "app/program.h"

namespace ordalyn {

namespace {

int g_pipe[2] = {-1, -1};

extern "C" void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(g_pipe[1], &byte, 1);
}

}  // namespace

void OnSystemEnd(QObject* context, std::function<void()> handler) {
  if (g_pipe[0] < 0) {
    if (::pipe(g_pipe) != 0) {
      return;
    }
    ::fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
    ::fcntl(g_pipe[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(g_pipe[1], F_SETFD, FD_CLOEXEC);
  }
  auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, context);
  QObject::connect(notifier, &QSocketNotifier::activated, context, [handler] {
    char buffer[16];
    [[maybe_unused]] const auto got = ::read(g_pipe[0], buffer, sizeof buffer);
    handler();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGHUP, &action, nullptr);
  // A pipe whose reader has gone is an error of the write (EPIPE), reported
  // and handled like a full disk, not the end of the program.
  ::signal(SIGPIPE, SIG_IGN);
}

}  // namespace ordalyn
