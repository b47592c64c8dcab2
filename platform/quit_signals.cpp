// The signals that ask the program to end: termination, interrupt and
// hang-up (the terminal or the session closing). They end it the way its user
// would, so that it keeps what it writes at exit: the handler only notes the
// request; the window thread's event pump then posts WM_CLOSE to its
// top-level windows, and a box that is up is closed as if without a button
// (SDL's X11 box runs in a process it forks, the Wayland one in zenity: that
// process is ended). A write to a pipe or socket whose reader is gone (a
// display dropping the connection) fails with EPIPE rather than ending the
// program.
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <new>

#include "platform/detail.h"

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];
constexpr int kBoxSlots = 8;  // boxes up at once (one a thread) that a request reaches

// In memory shared with the processes that boxes fork, which must see a
// request made after they were forked. Written by the signal handler.
struct Shared {
  std::atomic<int> asked;              // a request the windows have not taken yet
  std::atomic<int> taken[kBoxSlots];   // a box is up
  std::atomic<int> hit[kBoxSlots];     // a request came while it was up
  std::atomic<pid_t> pid[kBoxSlots];   // the process it forked (0: none yet)
};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free);

std::atomic<Shared*> g_shared{nullptr};

std::mutex g_mutex;  // what follows
bool g_forGood = false;  // catchQuitSignals ran: the handlers stay
int g_boxesUp = 0;       // boxes up; the handlers are in place while there are any
struct sigaction g_before[kSignalCount];
bool g_ours[kSignalCount] = {};

thread_local int t_slot = -1;  // the slot of the box this thread shows
thread_local pid_t t_process = 0;

void onRequest(int) {
  const int saved = errno;
  Shared* s = g_shared.load();
  s->asked.store(1);
  for (int i = 0; i < kBoxSlots; ++i) {
    if (!s->taken[i].load()) continue;
    s->hit[i].store(1);
    const pid_t pid = s->pid[i].load();
    if (pid > 0) kill(pid, SIGKILL);
  }
  errno = saved;
}

// In a process forked by a thread showing a box (async-signal-safe calls
// only): it ends with the program, and with a request.
void forkedByBox() {
  if (t_slot < 0) return;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != t_process) _exit(1);  // the program ended before that was set
  Shared* s = g_shared.load();
  s->pid[t_slot].store(getpid());
  if (s->asked.load()) _exit(1);  // asked before the handler could see this process
}

// Locked.
void makeShared() {
  if (g_shared.load()) return;
  void* page = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  // Without a shared page a box's process still ends with the program.
  g_shared.store(page == MAP_FAILED ? new Shared{} : new (page) Shared{});
}

// Locked. A signal the process ignores stays ignored.
void catchLocked() {
  if (g_forGood || g_boxesUp > 0) return;
  makeShared();
  struct sigaction ours{};
  ours.sa_handler = onRequest;
  sigemptyset(&ours.sa_mask);
  for (int signal : kSignals) sigaddset(&ours.sa_mask, signal);
  ours.sa_flags = SA_RESTART;
  for (int i = 0; i < kSignalCount; ++i) {
    sigaction(kSignals[i], nullptr, &g_before[i]);
    g_ours[i] = (g_before[i].sa_flags & SA_SIGINFO) || g_before[i].sa_handler != SIG_IGN;
    if (g_ours[i]) sigaction(kSignals[i], &ours, nullptr);
  }
}

// Locked.
void releaseLocked() {
  if (g_forGood || g_boxesUp > 0) return;
  for (int i = 0; i < kSignalCount; ++i) {
    if (g_ours[i]) sigaction(kSignals[i], &g_before[i], nullptr);
    g_ours[i] = false;
  }
}

}  // namespace

namespace plat::detail {

void catchQuitSignals() {
  std::lock_guard<std::mutex> lock(g_mutex);
  catchLocked();
  g_forGood = true;
  struct sigaction pipe{};
  sigaction(SIGPIPE, nullptr, &pipe);
  if (!(pipe.sa_flags & SA_SIGINFO) && pipe.sa_handler == SIG_DFL) {
    pipe.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &pipe, nullptr);
  }
}

bool quitRequested() {
  Shared* s = g_shared.load();
  return s && s->asked.load();
}

void clearQuitRequest() {
  if (Shared* s = g_shared.load()) s->asked.store(0);
}

int boxStarted() {
  static std::once_flag once;
  std::call_once(once, [] { pthread_atfork(nullptr, nullptr, forkedByBox); });
  std::lock_guard<std::mutex> lock(g_mutex);
  catchLocked();
  ++g_boxesUp;
  Shared* s = g_shared.load();
  int slot = -1;
  for (int i = 0; i < kBoxSlots && slot < 0; ++i)
    if (!s->taken[i].load()) slot = i;
  if (slot < 0) return -1;
  s->taken[slot].store(1);
  s->hit[slot].store(s->asked.load());
  t_slot = slot;
  t_process = getpid();
  return slot;
}

bool boxCut(int slot) {
  Shared* s = g_shared.load();
  return slot >= 0 && s->hit[slot].load();
}

bool boxEnded(int slot) {
  t_slot = -1;
  std::lock_guard<std::mutex> lock(g_mutex);
  Shared* s = g_shared.load();
  bool hit = false;
  if (slot >= 0) {
    s->taken[slot].store(0);
    hit = s->hit[slot].exchange(0);
    s->pid[slot].store(0);
  }
  --g_boxesUp;
  releaseLocked();
  return hit;
}

}  // namespace plat::detail
