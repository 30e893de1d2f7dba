/* The run-time of the stack protector, and the failure stop of the buffer checks
 * (_FORTIFY_SOURCE; their checking functions stay libssp's), in place of libssp's own, for every
 * program of the Windows build. libssp seeds its canary in a constructor
 * with CryptGenRandom, before WinMain can narrow the DLL search: the crypto DLLs that this loads
 * (bcrypt, crypt32, ...) are then looked for beside the program first, in Downloads. This seeds
 * it from what kernel32 gives at once, as the compilers' own run-times do, and stops a program
 * whose stack or buffer was overrun, as libssp does. Built without the stack protector. */
#include <stdint.h>
#include <windows.h>

uintptr_t __stack_chk_guard = (uintptr_t)0xBB40E64Eu;

__attribute__((noreturn)) static void Stop(const char* what) {
  OutputDebugStringA(what);
  /* STATUS_STACK_BUFFER_OVERRUN, what Windows reports for an overrun it stops itself. */
  TerminateProcess(GetCurrentProcess(), 0xC0000409u);
  for (;;) {
  }
}

__attribute__((noreturn)) void __stack_chk_fail(void) { Stop("*** stack smashing detected ***: terminated\n"); }

__attribute__((noreturn)) void __chk_fail(void) { Stop("*** buffer overflow detected ***: terminated\n"); }

/* Before every other constructor: nothing protected is on the stack yet. */
__attribute__((constructor(101))) static void SeedStackGuard(void) {
  FILETIME now;
  LARGE_INTEGER counter;
  GetSystemTimeAsFileTime(&now);
  QueryPerformanceCounter(&counter);
  uintptr_t guard = (uintptr_t)now.dwLowDateTime ^ (uintptr_t)now.dwHighDateTime ^ (uintptr_t)counter.LowPart ^
                    (uintptr_t)counter.HighPart ^ ((uintptr_t)GetCurrentProcessId() << 16) ^
                    (uintptr_t)GetCurrentThreadId() ^ (uintptr_t)GetTickCount() ^ (uintptr_t)&now;
  if (guard != 0) __stack_chk_guard = guard;
}
