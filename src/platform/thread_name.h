// Naming the calling thread, so that debuggers and system tools show the
// name beside the thread.
//
// On Windows a debugger learns the name through the published
// thread-naming exception (0x406D1388 with a THREADNAME_INFO record), which
// is dismissed when no debugger takes it; where the system has
// SetThreadDescription the name also becomes the thread's description. On
// Linux it is the thread's kernel name (/proc/self/task/TID/comm), which
// debuggers and ps show.
#ifndef TSKBASE_SRC_PLATFORM_THREAD_NAME_H
#define TSKBASE_SRC_PLATFORM_THREAD_NAME_H

namespace tsk::platform {

// Names the calling thread. `name` is narrow text of at most 15 bytes.
void nameCurrentThread(const char* name);

} // namespace tsk::platform

#endif // TSKBASE_SRC_PLATFORM_THREAD_NAME_H
