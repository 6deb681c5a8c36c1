// Puts the process's narrow ("ANSI") encoding into a known state for the
// length of a test, and restores it afterwards.
//
// On POSIX the narrow encoding follows the LC_CTYPE locale: UTF-8 is the C
// locale (which counts as UTF-8) and Latin-1 a generated ISO-8859-1 locale
// (build.sh creates de_DE.ISO-8859-1 with localedef). On Windows the ANSI
// code page cannot be changed by a process: Latin-1 is available when it is
// code page 1252 (as under Wine by default), UTF-8 when it is 65001.
#ifndef TSKBASE_TESTS_SUPPORT_NARROW_ENCODING_H
#define TSKBASE_TESTS_SUPPORT_NARROW_ENCODING_H

#include <clocale>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace tsk::test {

enum class NarrowEncoding { kUtf8, kLatin1 };

class ScopedNarrowEncoding {
public:
  explicit ScopedNarrowEncoding(NarrowEncoding encoding) {
#if defined(_WIN32)
    const UINT wanted = encoding == NarrowEncoding::kUtf8 ? 65001 : 1252;
    active_ = GetACP() == wanted;
#else
    const char* current = std::setlocale(LC_ALL, nullptr);
    saved_ = current != nullptr ? current : "C";
    if (encoding == NarrowEncoding::kUtf8) {
      active_ = std::setlocale(LC_ALL, "C") != nullptr;
    } else {
      for (const char* name : {"de_DE.ISO-8859-1", "de_DE.iso88591", "en_US.ISO-8859-1",
                               "en_US.iso88591", "de_DE@euro"}) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
          active_ = true;
          break;
        }
      }
    }
#endif
  }
  ~ScopedNarrowEncoding() {
#if !defined(_WIN32)
    std::setlocale(LC_ALL, saved_.c_str());
#endif
  }
  ScopedNarrowEncoding(const ScopedNarrowEncoding&) = delete;
  ScopedNarrowEncoding& operator=(const ScopedNarrowEncoding&) = delete;

  // False when the encoding cannot be had here; the test should skip.
  bool active() const { return active_; }

private:
  bool active_ = false;
  std::string saved_;
};

// Skips the current test when the narrow encoding is not available.
#define TSK_REQUIRE_NARROW_ENCODING(scope, what)                                                   \
  do {                                                                                             \
    if (!(scope).active()) {                                                                       \
      GTEST_SKIP() << "the narrow encoding " what " is not available here (on Linux, create "      \
                      "it with: localedef -i de_DE -f ISO-8859-1 de_DE.ISO-8859-1)";               \
    }                                                                                              \
  } while (0)

} // namespace tsk::test

#endif // TSKBASE_TESTS_SUPPORT_NARROW_ENCODING_H
