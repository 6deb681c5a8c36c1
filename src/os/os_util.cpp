// Path comparison, silent deletion, system error text and the release of
// blocks the library hands out.
#include "tskbase/os_util.h"

#include <new>
#include <string>

#include "core/heap.h"
#include "platform/error_message.h"
#include "platform/filesystem.h"
#include "tskbase/strings.h"

namespace {

bool isSeparator(tsk_wchar_t c) { return c == u'/' || c == u'\\'; }

tsk_wchar_t foldAsciiCase(tsk_wchar_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<tsk_wchar_t>(c - u'a' + u'A') : c;
}

// Reads a path as the comparison normalises it, without copying it: '\' as
// '/', a run of separators as one, and no trailing separators.
class NormalisedPath {
public:
  explicit NormalisedPath(const tsk_wchar_t* path) : next_(path) {}

  // The next unit, or 0 at the end.
  tsk_wchar_t next() {
    if (!isSeparator(*next_)) {
      return *next_ == 0 ? 0 : *next_++;
    }
    while (isSeparator(*next_)) {
      ++next_;
    }
    return *next_ == 0 ? 0 : u'/';
  }

private:
  const tsk_wchar_t* next_;
};

} // namespace

int32_t osUtil_compareFileSystemObjectNames(const tsk_wchar_t* first, const tsk_wchar_t* second) {
  if (first == nullptr || second == nullptr) {
    return 0;
  }
  NormalisedPath a(first);
  NormalisedPath b(second);
  for (;;) {
    const tsk_wchar_t unit = a.next();
    if (foldAsciiCase(unit) != foldAsciiCase(b.next())) {
      return 0;
    }
    if (unit == 0) {
      return 1;
    }
  }
}

int32_t osUtil_deleteFileObject(const tsk_wchar_t* path) {
  return tsk::platform::deleteFileObject(path);
}

void osUtil_formatLastError(uint32_t code, tsk_wchar_t** message) {
  if (message == nullptr) {
    return;
  }
  try {
    std::basic_string<tsk_wchar_t> text;
    if (!tsk::platform::systemErrorMessage(code, &text)) {
      return;
    }
    string_stripCtlCharW(text.data());
    *message = tsk::heap::duplicate(text.c_str());
  } catch (const std::bad_alloc&) {
    // The platform's copy could not be made: as if there were no message.
  }
}

void osUtil_freeMemory(void* block) { tsk::heap::release(block); }
