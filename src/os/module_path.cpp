// The executable's path, read on first use into a buffer of the library and
// split there into the directory and the file name:
//
//   D:\app\bin\tool.exe  ->  "D:\app\bin" 0 "tool.exe" 0
//
// There are two such buffers. The first read fills one; a forced re-read
// fills the other and then switches to it, so the buffer in use is never
// written while callers may be reading it.
#include "tskbase/module_path.h"

#include <atomic>
#include <mutex>
#include <string>

#include "platform/filesystem.h"
#include "platform/module.h"

namespace {

using Traits = std::char_traits<tsk_wchar_t>;

constexpr size_t kCapacity = MODULE_PATH_CAPACITY;
constexpr tsk_wchar_t kSeparator = tsk::platform::kPathSeparator;

tsk_wchar_t g_buffers[2][kCapacity];
// The buffer in use, or null before the first successful read. Written only
// under g_fillLock, after the buffer it points to is complete.
std::atomic<const tsk_wchar_t*> g_current{nullptr};
std::mutex g_fillLock;

// Reads the executable's path into `buffer` and ends the directory part at
// its last separator.
uint32_t readAndSplit(tsk_wchar_t* buffer) {
  const uint32_t error = tsk::platform::readExecutablePath(buffer, kCapacity);
  if (error != 0) {
    return error;
  }
  tsk_wchar_t* last = nullptr;
  for (tsk_wchar_t* p = buffer; *p != 0; ++p) {
    if (*p == kSeparator) {
      last = p;
    }
  }
  if (last == nullptr) {
    return TSK_FAIL;
  }
  *last = 0;
  return TSK_OK;
}

// The buffer in use after reading the path if needed, or null.
const tsk_wchar_t* currentPath() {
  return module_initializeModulePath(0) == TSK_OK ? g_current.load(std::memory_order_acquire)
                                                  : nullptr;
}

// Appends `part` to the `length` units in `out`, after a separator unless
// they end in one. False when the part, its terminator and one unit more do
// not fit; `out` then holds what fitted before it.
bool appendPart(tsk_wchar_t* out, size_t capacity, size_t* length, const tsk_wchar_t* part) {
  size_t n = *length;
  if ((n == 0 || out[n - 1] != kSeparator) && n + 2 < capacity) {
    out[n++] = kSeparator;
    out[n] = 0;
  }
  *length = n;
  const size_t partLength = Traits::length(part);
  if (n + partLength + 1 >= capacity) {
    return false;
  }
  Traits::copy(out + n, part, partLength + 1);
  *length = n + partLength;
  return true;
}

} // namespace

uint32_t module_initializeModulePath(int32_t force) {
  if (force == 0 && g_current.load(std::memory_order_acquire) != nullptr) {
    return TSK_OK;
  }
  std::lock_guard<std::mutex> guard(g_fillLock);
  const tsk_wchar_t* current = g_current.load(std::memory_order_relaxed);
  if (force == 0 && current != nullptr) {
    return TSK_OK; // another thread filled it meanwhile
  }
  tsk_wchar_t* spare = current == g_buffers[0] ? g_buffers[1] : g_buffers[0];
  const uint32_t status = readAndSplit(spare);
  if (status == TSK_OK) {
    g_current.store(spare, std::memory_order_release);
  }
  return status;
}

const tsk_wchar_t* module_getBasePath(void) { return currentPath(); }

const tsk_wchar_t* module_getFileName(void) {
  const tsk_wchar_t* base = currentPath();
  return base == nullptr ? nullptr : base + Traits::length(base) + 1;
}

uint32_t module_setFilePath(tsk_wchar_t* out, uint32_t capacity, const tsk_wchar_t* fileName,
                            const tsk_wchar_t* subdirectory) {
  const tsk_wchar_t* base = currentPath();
  if (base == nullptr || out == nullptr || capacity == 0) {
    return 0;
  }
  size_t length = Traits::length(base);
  if (length + 1 >= capacity) {
    return 0;
  }
  Traits::copy(out, base, length + 1);
  if (subdirectory != nullptr && !appendPart(out, capacity, &length, subdirectory)) {
    return 0;
  }
  if (fileName != nullptr && !appendPart(out, capacity, &length, fileName)) {
    return 0;
  }
  return static_cast<uint32_t>(length);
}
