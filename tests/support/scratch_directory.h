// A fresh directory under the system's temporary directory for the length of
// a test, deleted with its contents afterwards; and paths in the library's
// wide text.
#ifndef TSKBASE_TESTS_SUPPORT_SCRATCH_DIRECTORY_H
#define TSKBASE_TESTS_SUPPORT_SCRATCH_DIRECTORY_H

#include <atomic>
#include <filesystem>
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

class ScratchDirectory {
public:
  ScratchDirectory() {
    static std::atomic<int> serial{0};
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    do {
      path_ = base / ("tskbase-test-" + std::to_string(processId()) + "-" +
                      std::to_string(serial.fetch_add(1)));
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
  static long processId();

  std::filesystem::path path_;
};

} // namespace tsk::test

#if defined(_WIN32)
#include <windows.h>
inline long tsk::test::ScratchDirectory::processId() {
  return static_cast<long>(GetCurrentProcessId());
}
#else
#include <unistd.h>
inline long tsk::test::ScratchDirectory::processId() { return static_cast<long>(getpid()); }
#endif

#endif // TSKBASE_TESTS_SUPPORT_SCRATCH_DIRECTORY_H
