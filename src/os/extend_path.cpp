// osUtil_extendPath: puts a directory in front of PATH unless it is there.
//
// PATH is split with Boost.Tokenizer's escaped_list_separator: the system's
// list separator, the double quote as quote character, and NUL as escape
// character. PATH holds no NUL, so the backslash stays an ordinary character
// and the tokenizer's escape errors cannot arise.
#include "tskbase/os_util.h"

#include <boost/tokenizer.hpp>

#include <cstring>
#include <exception>
#include <string>

#include "core/heap.h"
#include "platform/environment.h"
#include "platform/filesystem.h"

namespace {

namespace platform = tsk::platform;

using WideString = std::basic_string<tsk_wchar_t>;
using Traits = std::char_traits<tsk_wchar_t>;
using Separator = boost::escaped_list_separator<tsk_wchar_t, Traits>;
using Tokenizer = boost::tokenizer<Separator, WideString::const_iterator, WideString>;

constexpr tsk_wchar_t kPathName[] = {u'P', u'A', u'T', u'H', 0};

// Whether `directory` is an entry of `list`: the first non-empty one, or
// with firstOnly false any of them.
bool isListed(const WideString& list, const tsk_wchar_t* directory, bool firstOnly) {
  const Separator separator(tsk_wchar_t{0}, platform::kPathListSeparator, u'"');
  for (const WideString& entry : Tokenizer(list, separator)) {
    if (entry.empty()) {
      continue;
    }
    if (osUtil_compareFileSystemObjectNames(entry.c_str(), directory) == 1) {
      return true;
    }
    if (firstOnly) {
      return false;
    }
  }
  return false;
}

// The value of PATH in a zero-filled block of the library heap, or null
// when it is unset or empty or memory runs out.
tsk_wchar_t* readPath() {
  const size_t size = platform::environmentValueSize(kPathName);
  if (size == 0) {
    return nullptr;
  }
  tsk_wchar_t* value = tsk::heap::allocateArray<tsk_wchar_t>(size + 1);
  if (value == nullptr) {
    return nullptr;
  }
  std::memset(value, 0, (size + 1) * sizeof *value);
  if (platform::readEnvironmentValue(kPathName, value, size + 1) == 0) {
    tsk::heap::release(value);
    return nullptr;
  }
  return value;
}

// Puts `directory` in front of PATH unless it is listed already.
bool extend(const tsk_wchar_t* directory, const tsk_wchar_t* oldValue, bool firstOnly) {
  const WideString list(oldValue);
  if (isListed(list, directory, firstOnly)) {
    return true;
  }
  const WideString newValue = directory + WideString(1, platform::kPathListSeparator) + list;
  return platform::setEnvironmentValue(kPathName, newValue.c_str());
}

} // namespace

tsk_status osUtil_extendPath(const tsk_wchar_t* directory, tsk_wchar_t** previous,
                             int32_t firstOnly) {
  if (directory == nullptr || directory[0] == 0) {
    return TSK_FAIL;
  }
  tsk_wchar_t* oldValue = readPath();
  if (oldValue == nullptr) {
    return TSK_FAIL;
  }
  bool extended = false;
  try {
    extended = extend(directory, oldValue, firstOnly != 0);
  } catch (const std::exception&) {
    extended = false; // memory ran out; the environment is as it was
  }
  if (extended && previous != nullptr) {
    *previous = oldValue;
  } else {
    tsk::heap::release(oldValue);
  }
  return extended ? TSK_OK : TSK_FAIL;
}
