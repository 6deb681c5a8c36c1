// Puts the process's narrow ("ANSI") encoding into a known state for the
// length of a test, and restores it afterwards.
//
// On POSIX the narrow encoding follows the LC_CTYPE locale: UTF-8 is the C
// locale (which counts as UTF-8), Latin-1 and GB18030 generated locales
// (build.sh creates de_DE.ISO-8859-1 and zh_CN.GB18030 with localedef). On
// Windows the ANSI code page cannot be changed by a process: Latin-1 is
// available when it is code page 1252 (as under Wine by default), UTF-8 when
// it is 65001; GB18030 is never an ANSI code page.
#ifndef TSKBASE_TESTS_SUPPORT_NARROW_ENCODING_H
#define TSKBASE_TESTS_SUPPORT_NARROW_ENCODING_H

#include <clocale>
#include <initializer_list>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace tsk::test {

enum class NarrowEncoding { kUtf8, kLatin1, kGb18030 };

class ScopedNarrowEncoding {
public:
  explicit ScopedNarrowEncoding(NarrowEncoding encoding) {
#if defined(_WIN32)
    const UINT wanted = encoding == NarrowEncoding::kUtf8     ? 65001
                        : encoding == NarrowEncoding::kLatin1 ? 1252
                                                              : 54936;
    active_ = GetACP() == wanted;
#else
    const char* current = std::setlocale(LC_ALL, nullptr);
    saved_ = current != nullptr ? current : "C";
    if (encoding == NarrowEncoding::kUtf8) {
      active_ = std::setlocale(LC_ALL, "C") != nullptr;
    } else if (encoding == NarrowEncoding::kLatin1) {
      active_ = setAnyOf({"de_DE.ISO-8859-1", "de_DE.iso88591", "en_US.ISO-8859-1",
                          "en_US.iso88591", "de_DE@euro"});
    } else {
      active_ = setAnyOf({"zh_CN.GB18030", "zh_CN.gb18030"});
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
#if !defined(_WIN32)
  static bool setAnyOf(std::initializer_list<const char*> names) {
    for (const char* name : names) {
      if (std::setlocale(LC_ALL, name) != nullptr) {
        return true;
      }
    }
    return false;
  }
#endif

  bool active_ = false;
  std::string saved_;
};

// Skips the current test when the narrow encoding is not available.
#define TSK_REQUIRE_NARROW_ENCODING(scope, what)                                                   \
  do {                                                                                             \
    if (!(scope).active()) {                                                                       \
      GTEST_SKIP() << "the narrow encoding " what " is not available here (on Linux, create "      \
                      "it with localedef as build.sh does)";                                       \
    }                                                                                              \
  } while (0)

} // namespace tsk::test

#endif // TSKBASE_TESTS_SUPPORT_NARROW_ENCODING_H
