// Helpers for the string_ tests: in-place edits on exactly sized copies.
#ifndef TSKBASE_TESTS_TEXT_STRING_TEST_UTIL_H
#define TSKBASE_TESTS_TEXT_STRING_TEST_UTIL_H

#include "tskbase/common.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tsk::test {

using WString = std::basic_string<tsk_wchar_t>;

// Runs an in-place edit on a copy of `text` in a buffer of exactly its size
// (plus `extra` elements) and returns what the buffer holds afterwards. The
// edit must return the buffer itself.
template <typename C, typename Edit>
std::basic_string<C> edited(const C* text, Edit edit, size_t extra = 0) {
  std::vector<C> buf(text, text + std::char_traits<C>::length(text));
  buf.resize(buf.size() + 1 + extra, C());
  EXPECT_EQ(edit(buf.data()), buf.data());
  return buf.data();
}

} // namespace tsk::test

#endif // TSKBASE_TESTS_TEXT_STRING_TEST_UTIL_H
