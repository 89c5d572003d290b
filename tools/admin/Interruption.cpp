#include "Interruption.h"

namespace vandro::admin {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
volatile std::sig_atomic_t g_signal = 0;

void note(int signal) { g_signal = signal; }

} // namespace

Interruption::Interruption() {
  g_signal = 0;
  struct sigaction action {};
  action.sa_handler = note;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < 3; ++i)
    sigaction(kSignals[i], &action, &m_before[i]);
}

Interruption::~Interruption() {
  for (int i = 0; i < 3; ++i)
    sigaction(kSignals[i], &m_before[i], nullptr);
  if (g_signal)
    std::raise(g_signal);
}

bool Interruption::requested() { return g_signal != 0; }

} // namespace vandro::admin
