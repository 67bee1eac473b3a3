#include "platform/CrashHandler.h"

#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/SignalSafeIo.h"

namespace platform {
namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
// The handler writes the dump with buffers of its own (static), so the stack
// needs room only for its frames; a guard page below catches an overflow.
constexpr size_t kAlternateStackBytes = 256 * 1024;

std::atomic<CrashHandlerFunction> g_handler{nullptr};
// The kernel id of the thread handling a crash; 0 while none is.
std::atomic<int> g_crashingThread{0};

bool GiveThreadAlternateStack() {
  const long page = sysconf(_SC_PAGESIZE);
  const size_t bytes = kAlternateStackBytes + static_cast<size_t>(page);
  void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return false;
  mprotect(memory, static_cast<size_t>(page), PROT_NONE);
  stack_t stack{};
  stack.ss_sp = static_cast<char*>(memory) + page;
  stack.ss_size = kAlternateStackBytes;
  if (sigaltstack(&stack, nullptr) == 0) return true;
  munmap(memory, bytes);
  return false;
}

void EndProcessBySignal(int signalNumber) {
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  sigemptyset(&standard.sa_mask);
  sigaction(signalNumber, &standard, nullptr);
  // Blocked until the handler returns; then the default action ends the
  // process, whether the signal was a fault or sent.
  syscall(SYS_tgkill, signalsafe::CurrentProcessId(), signalsafe::CurrentThreadId(), signalNumber);
}

void OnCrashSignal(int signalNumber, siginfo_t* info, void* machineContext) {
  const int savedErrno = errno;
  const int thread = signalsafe::CurrentThreadId();
  int idle = 0;
  if (!g_crashingThread.compare_exchange_strong(idle, thread)) {
    // Another thread is reporting its crash and will end the process.
    for (;;) syscall(SYS_pause);
  }
  CrashContext context;
  context.signalNumber = signalNumber;
  context.signalCode = info != nullptr ? info->si_code : 0;
  // A signal sent by a process (si_code <= 0) carries the sender, not an address.
  if (info != nullptr && info->si_code > 0)
    context.faultAddress = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(info->si_addr));
  context.threadId = thread;
  context.threadHandle = static_cast<uint64_t>(pthread_self());
  context.machineContext = machineContext;
  const CrashHandlerFunction handler = g_handler.load();
  if (handler != nullptr) handler(&context);
  EndProcessBySignal(signalNumber);
  errno = savedErrno;
}

}  // namespace

bool InstallCrashHandler(CrashHandlerFunction handler) {
  g_handler.store(handler);
  GiveThreadAlternateStack();
  struct sigaction action {};
  action.sa_sigaction = OnCrashSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigfillset(&action.sa_mask);
  bool installed = true;
  for (const int signalNumber : kSignals) {
    if (sigaction(signalNumber, &action, nullptr) != 0) installed = false;
  }
  return installed;
}

void WriteToNullAddress() {
  // A plain store through a null pointer is undefined behaviour that the
  // compiler may drop or a sanitizer may report first; the instruction itself
  // is what the crash test needs.
#if defined(__x86_64__)
  __asm__ volatile("movl $0, 0" ::: "memory");
#elif defined(__aarch64__)
  __asm__ volatile("str wzr, [%0]" ::"r"(0L) : "memory");
#else
  raise(SIGSEGV);
#endif
  __builtin_unreachable();
}

}  // namespace platform
