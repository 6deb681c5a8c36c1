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
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace tsk::test {

enum class NarrowEncoding { kUtf8, kLatin1, kGb18030 };

class ScopedNarrowEncoding {
public:
  explicit ScopedNarrowEncoding(NarrowEncoding encoding) {
#if defined(_WIN32)
    const UINT codePages[] = {65001, 1252, 54936};
    active_ = GetACP() == codePages[static_cast<int>(encoding)];
#else
    const char* current = std::setlocale(LC_ALL, nullptr);
    saved_ = current != nullptr ? current : "C";
    const std::vector<std::vector<const char*>> locales = {
        {"C"},
        {"de_DE.ISO-8859-1", "de_DE.iso88591", "en_US.ISO-8859-1", "en_US.iso88591", "de_DE@euro"},
        {"zh_CN.GB18030", "zh_CN.gb18030"}};
    for (const char* name : locales[static_cast<size_t>(encoding)]) {
      active_ = active_ || std::setlocale(LC_ALL, name) != nullptr;
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

// Switches to `encoding` (a NarrowEncoding enumerator) up to the end of the
// scope, or skips the current test when it is not available here.
#define TSK_USE_NARROW_ENCODING(encoding)                                                          \
  const ::tsk::test::ScopedNarrowEncoding narrowEncoding_(::tsk::test::NarrowEncoding::encoding);  \
  if (!narrowEncoding_.active())                                                                   \
  GTEST_SKIP() << "the narrow encoding " #encoding " is not available here (on Linux, create "     \
                  "it with localedef as build.sh does)"

} // namespace tsk::test

#endif // TSKBASE_TESTS_SUPPORT_NARROW_ENCODING_H
