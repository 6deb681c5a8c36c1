// A fresh directory under the system's temporary directory for the length of
// a test, deleted with its contents afterwards; and paths in the library's
// wide text.
#ifndef TSKBASE_TESTS_SUPPORT_SCRATCH_DIRECTORY_H
#define TSKBASE_TESTS_SUPPORT_SCRATCH_DIRECTORY_H

#include <filesystem>
#include <random>
#include <string>

#include "tskbase/common.h"

namespace tsk::test {

using WideString = std::basic_string<tsk_wchar_t>;

// A path in UTF-16, as the library takes it.
inline WideString toWide(const std::filesystem::path& path) {
#if defined(_WIN32)
  return path.wstring();
#else
  return path.u16string();
#endif
}

// Text of plain ASCII or UTF-8 in UTF-16.
inline WideString wide(const std::string& utf8) { return toWide(std::filesystem::u8path(utf8)); }

class ScratchDirectory {
public:
  ScratchDirectory() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    do {
      path_ = base / ("tskbase-test-" + std::to_string(std::random_device{}()));
    } while (!std::filesystem::create_directory(path_));
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  // The path of `name` inside the directory in UTF-16.
  WideString wide(const std::string& name) const { return toWide(path_ / name); }

private:
  std::filesystem::path path_;
};

} // namespace tsk::test

#endif // TSKBASE_TESTS_SUPPORT_SCRATCH_DIRECTORY_H
