// string_ path strings: the separator is the backslash.
#include "tskbase/strings.h"

#include "text/chars.h"
#include "text/string_ops.h"

namespace {

namespace text = tsk::text;

constexpr unsigned kSeparator = '\\';
constexpr unsigned kFullStop = '.';

// The last separator and full stop: whole characters in narrow text, so
// that a byte inside a multibyte character never counts.
char* lastOf(char* path, unsigned code) {
  return reinterpret_cast<char*>(const_cast<unsigned char*>(
      text::mbsRChr(reinterpret_cast<const unsigned char*>(path), code)));
}
tsk_wchar_t* lastOf(tsk_wchar_t* path, unsigned code) {
  return string_strrchrW(path, static_cast<tsk_wchar_t>(code));
}

template <typename C>
C* addSeparator(C* path) {
  if (path == nullptr) {
    return nullptr;
  }
  const size_t n = text::length(path);
  if (n == 0 || path[n - 1] != static_cast<C>(kSeparator)) {
    path[n] = static_cast<C>(kSeparator);
    path[n + 1] = 0;
  }
  return path;
}

template <typename C>
C* stripExtension(C* path) {
  if (path == nullptr) {
    return nullptr;
  }
  C* stop = lastOf(path, kFullStop);
  const C* separator = lastOf(path, kSeparator);
  if (stop != nullptr && (separator == nullptr || stop > separator)) {
    *stop = 0;
  }
  return path;
}

template <typename C>
C* stripName(C* path) {
  if (path == nullptr) {
    return nullptr;
  }
  C* separator = lastOf(path, kSeparator);
  if (separator != nullptr) {
    separator[1] = 0;
  }
  return path;
}

template <typename C>
C* stripFolders(C* path) {
  if (path == nullptr) {
    return nullptr;
  }
  const C* separator = lastOf(path, kSeparator);
  if (separator != nullptr) {
    text::shiftDown(path, separator + 1);
  }
  return path;
}

} // namespace

char* string_addFileSeperatorA(char* path) { return addSeparator(path); }
tsk_wchar_t* string_addFileSeperatorW(tsk_wchar_t* path) { return addSeparator(path); }
char* string_stripFileExtA(char* path) { return stripExtension(path); }
tsk_wchar_t* string_stripFileExtW(tsk_wchar_t* path) { return stripExtension(path); }
char* string_stripFileNameA(char* path) { return stripName(path); }
tsk_wchar_t* string_stripFileNameW(tsk_wchar_t* path) { return stripName(path); }
char* string_stripFilePathA(char* path) { return stripFolders(path); }
tsk_wchar_t* string_stripFilePathW(tsk_wchar_t* path) { return stripFolders(path); }

void string_removeTerminatingSlashW(tsk_wchar_t* path) {
  if (path == nullptr || *path == 0) {
    return;
  }
  tsk_wchar_t& last = path[text::length(path) - 1];
  if (last == '\\' || last == '/') {
    last = 0;
  }
}
