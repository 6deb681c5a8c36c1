#include "platform/thread_name.h"

#include <pthread.h>

namespace tsk::platform {

void nameCurrentThread(const char* name) { pthread_setname_np(pthread_self(), name); }

} // namespace tsk::platform
