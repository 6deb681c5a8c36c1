// Threads of the operating system and the identity of the calling thread and
// process.
//
// On Windows these are _beginthreadex, SuspendThread, ResumeThread,
// TerminateThread, GetExitCodeThread and friends. Elsewhere the library runs
// its threads on pthreads and adds what POSIX lacks:
//
// Suspension is cooperative. suspendThread() counts a request; the thread
// stops at its next safe point (safePoint(), waitAtSafePoint(), and the start
// of its routine for a thread created suspended) and stays there until its
// count is back to 0. A suspended thread therefore finishes what it is doing
// up to its next safe point, but never goes past it until resumed.
//
// Termination is deferred. terminateThread() records the exit code and wakes
// the thread if it is suspended or waiting on an event or a thread handle in
// waitAtSafePoint(); the thread ends at its next safe point, or when its
// routine returns, whichever comes first. It ends by unwinding its stack (an
// exception that only the thread's start catches), so every scoped lock on
// the way is released: a terminated thread never leaves a library lock
// held. Library code reaches safe points only where it holds no lock. A
// thread that never reaches a safe point runs on until its routine returns.
// Either way its exit code is the one given to terminateThread, and a wait
// on its handle ends only when it has really ended.
//
// Thread handles are the Handle of platform/sync.h: they are waited on with
// waitForObject and waitForAll, signalled when the thread has ended, and
// closed with closeHandle (which does not stop the thread).
#ifndef TSKBASE_SRC_PLATFORM_THREAD_H
#define TSKBASE_SRC_PLATFORM_THREAD_H

#include <cstdint>

#include "platform/sync.h"

namespace tsk::platform {

// A thread's routine: one pointer-sized argument, a 32-bit exit code.
using ThreadRoutine = uint32_t (*)(void* argument);

// Creates a thread with the default stack size that will run
// routine(argument) once resumed; stores its id in *id (if id is not null).
// Null, with *id untouched, on failure.
Handle createSuspendedThread(ThreadRoutine routine, void* argument, uint32_t* id);

// Both return the thread's suspend count before the call, or -1 on failure.
// A thread runs while its count is 0; it is 1 after createSuspendedThread.
// Resuming a thread whose count is 0 changes nothing. Suspending the calling
// thread stops it at once.
int32_t suspendThread(Handle thread);
int32_t resumeThread(Handle thread);

// Ends the thread with `exitCode` (at once on Windows, where the call
// returns once the thread has ended; see the top of this file for POSIX). A
// thread that has already ended keeps its exit code. Terminating the calling
// thread does not return.
bool terminateThread(Handle thread, uint32_t exitCode);

// The exit code of a thread that has ended. False while it is still running
// or for a bad handle.
bool threadExitCode(Handle thread, uint32_t* exitCode);

// A point where the calling thread may be held or ended (POSIX; nothing on
// Windows, whose suspension and termination are preemptive). The calling
// thread must hold no lock here. Threads not created by
// createSuspendedThread pass straight through.
void safePoint();

// waitForObject at a safe point: on POSIX a termination request interrupts
// the wait on an event or a thread handle, and a suspension request holds
// the thread after the wait until it is resumed. The calling thread must
// hold no lock.
WaitResult waitAtSafePoint(Handle object, uint32_t milliseconds);

// The calling thread's id: unique on the machine while the thread lives
// (the kernel's thread id on Linux), never 0.
uint32_t currentThreadId();

uint32_t currentProcessId();

// The number of processors the system offers the process, at least 1.
uint32_t processorCount();

// Sleeps for at least `milliseconds` (0 gives up the rest of the time slice).
void sleepMilliseconds(uint32_t milliseconds);

} // namespace tsk::platform

#endif // TSKBASE_SRC_PLATFORM_THREAD_H
