// What the UTF-8 buffer forms of the stringCnv_ family keep of their source
// in a buffer of `capacity` elements (at least one): the conversion of the
// source's first capacity - 1 elements, found with the allocating forms, cut
// to capacity - 1 elements; nothing (the call fails) when that conversion
// needs more than `capacity` of them.
#ifndef TSKBASE_FUZZ_MODELS_UTF8_BUFFER_FORMS_H
#define TSKBASE_FUZZ_MODELS_UTF8_BUFFER_FORMS_H

#include "tskbase/stringcnv.h"

#include <cstdlib>
#include <optional>
#include <string>

namespace tsk::test {

// The allocating forms' results as strings ("?" when a call fails).
inline std::basic_string<tsk_wchar_t> utf8ToWide(const std::string& text) {
  tsk_wchar_t* w = nullptr;
  const bool ok = stringCnv_utf8ToWcsAlloc(text.c_str(), &w) == TSK_OK;
  const std::basic_string<tsk_wchar_t> out = ok ? w : std::basic_string<tsk_wchar_t>(1, '?');
  std::free(w);
  return out;
}

inline std::string wideToUtf8(const std::basic_string<tsk_wchar_t>& text) {
  char* n = nullptr;
  const bool ok = stringCnv_wcsToUTF8Alloc(text.c_str(), &n) == TSK_OK;
  const std::string out = ok ? n : "?";
  std::free(n);
  return out;
}

template <typename Out>
std::optional<Out> keptInBuffer(const Out& all, size_t capacity) {
  return all.size() > capacity ? std::nullopt : std::optional<Out>(all.substr(0, capacity - 1));
}

inline std::optional<std::basic_string<tsk_wchar_t>> utf8ToWcsModel(const std::string& source,
                                                                    size_t capacity) {
  return keptInBuffer(utf8ToWide(source.substr(0, capacity - 1)), capacity);
}

inline std::optional<std::string> wcsToUtf8Model(const std::basic_string<tsk_wchar_t>& source,
                                                 size_t capacity) {
  return keptInBuffer(wideToUtf8(source.substr(0, capacity - 1)), capacity);
}

} // namespace tsk::test

#endif // TSKBASE_FUZZ_MODELS_UTF8_BUFFER_FORMS_H
