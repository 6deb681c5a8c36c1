// thread_setName: the 9-character cut here, the naming itself in the
// platform layer.
//
// The public header comes last (see threadpool_api.cpp).
#include "platform/thread_name.h"
#include "tskbase/thread_pool.h"

namespace {
constexpr int kNameCharacters = 9;
} // namespace

void thread_setName(const char* name) {
  if (name == nullptr) {
    return;
  }
  char cut[kNameCharacters + 1];
  int length = 0;
  for (; length < kNameCharacters && name[length] != '\0'; ++length) {
    cut[length] = name[length];
  }
  cut[length] = '\0';
  tsk::platform::nameCurrentThread(cut);
}
