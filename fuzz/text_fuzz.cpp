// Random bytes and random UTF-16 units through every conversion and through
// the formatter's text arguments; random formats against glibc. Checks that nothing
// writes out of bounds (the sanitizers watch every buffer, each allocated at its exact size), that
// well-formed text round-trips exactly, and that every result is terminated within its capacity.
//
// The first input byte chooses the narrow encoding and a buffer capacity;
// the rest is read both as UTF-8 / narrow bytes and as UTF-16 units.
#include "tskbase/stringcnv.h"

#include "text/format.h"
#include "unicode/dispatch.h"
#include "unicode/transcode.h"

#include "random_format.h"
#include "utf8_buffer_forms.h"

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using WString = std::basic_string<tsk_wchar_t>;

#define CHECK(cond)                                                                                \
  do {                                                                                             \
    if (!(cond)) {                                                                                 \
      __builtin_printf("check failed: %s (line %d)\n", #cond, __LINE__);                           \
      std::abort();                                                                                \
    }                                                                                              \
  } while (0)

// ASCII text widened unit for unit.
WString widen(const std::string& s) { return WString(s.begin(), s.end()); }

// Well-formed UTF-8 by the Unicode standard's table of byte sequences,
// written independently of the library's decoder.
bool wellFormedUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const size_t left = s.size() - i;
    if (b(0) < 0x80) {
      ++i;
      continue;
    }
    size_t n;
    unsigned lo = 0x80, hi = 0xBF;
    if (b(0) >= 0xC2 && b(0) <= 0xDF) {
      n = 2;
    } else if (b(0) >= 0xE0 && b(0) <= 0xEF) {
      n = 3;
      lo = b(0) == 0xE0 ? 0xA0 : 0x80;
      hi = b(0) == 0xED ? 0x9F : 0xBF;
    } else if (b(0) >= 0xF0 && b(0) <= 0xF4) {
      n = 4;
      lo = b(0) == 0xF0 ? 0x90 : 0x80;
      hi = b(0) == 0xF4 ? 0x8F : 0xBF;
    } else {
      return false;
    }
    if (left < n || b(1) < lo || b(1) > hi) {
      return false;
    }
    for (size_t k = 2; k < n; ++k) {
      if ((b(k) & 0xC0) != 0x80) {
        return false;
      }
    }
    i += n;
  }
  return true;
}

bool wellFormedUtf16(const WString& w) {
  for (size_t i = 0; i < w.size(); ++i) {
    if ((w[i] & 0xFC00) == 0xD800) {
      if (i + 1 == w.size() || (w[i + 1] & 0xFC00) != 0xDC00) {
        return false;
      }
      ++i;
    } else if ((w[i] & 0xFC00) == 0xDC00) {
      return false;
    }
  }
  return true;
}

template <typename T>
bool terminatedWithin(const T* buf, size_t capacity) {
  for (size_t i = 0; i < capacity; ++i) {
    if (buf[i] == 0) {
      return true;
    }
  }
  return false;
}

void utf8RoundTrip(const std::string& text) {
  tsk_wchar_t* wide = nullptr;
  CHECK(stringCnv_utf8ToWcsAlloc(text.c_str(), &wide) == TSK_OK);
  char* back = nullptr;
  CHECK(stringCnv_wcsToUTF8Alloc(wide, &back) == TSK_OK);
  if (wellFormedUtf8(text)) {
    CHECK(text == back);
  }
  // Whatever went in, the second round is exact.
  tsk_wchar_t* again = nullptr;
  CHECK(stringCnv_utf8ToWcsAlloc(back, &again) == TSK_OK);
  CHECK(WString(wide) == again);
  std::free(again);
  std::free(back);
  std::free(wide);
}

void utf16RoundTrip(const WString& text) {
  char* utf8 = nullptr;
  CHECK(stringCnv_wcsToUTF8Alloc(text.c_str(), &utf8) == TSK_OK);
  CHECK(wellFormedUtf8(utf8));
  tsk_wchar_t* back = nullptr;
  CHECK(stringCnv_utf8ToWcsAlloc(utf8, &back) == TSK_OK);
  if (wellFormedUtf16(text)) {
    CHECK(text == back);
  }
  std::free(back);
  std::free(utf8);
}

void ansiForms(const std::string& narrow, const WString& wide) {
  tsk_wchar_t* w = nullptr;
  if (stringCnv_mbsToTcsAlloc(narrow.c_str(), &w) == TSK_OK) {
    char* n = nullptr;
    CHECK(stringCnv_tcsToMbsAlloc(w, &n) == TSK_OK);
    std::free(n);
    std::free(w);
  }
  char* n = nullptr;
  if (stringCnv_wcsToMbsAlloc(wide.c_str(), &n) == TSK_OK) {
    std::free(n);
  }
}

// The UTF-8 buffer forms keep what the model says; the others fail rather
// than cut.
void bufferForms(const std::string& narrow, const WString& wide, size_t capacity) {
  std::vector<tsk_wchar_t> w(capacity);
  std::vector<char> n(capacity);
  const auto wideKept = capacity == 0 ? std::nullopt : tsk::test::utf8ToWcsModel(narrow, capacity);
  const auto narrowKept = capacity == 0 ? std::nullopt : tsk::test::wcsToUtf8Model(wide, capacity);
  CHECK((stringCnv_utf8ToWcs(narrow.c_str(), w.data(), capacity) == TSK_OK) ==
        wideKept.has_value());
  CHECK(!wideKept || (terminatedWithin(w.data(), capacity) && WString(w.data()) == *wideKept));
  CHECK((stringCnv_wcsToUTF8(wide.c_str(), n.data(), capacity) == TSK_OK) ==
        narrowKept.has_value());
  CHECK(!narrowKept || (terminatedWithin(n.data(), capacity) && n.data() == *narrowKept));
  if (stringCnv_mbsToTcs(narrow.c_str(), w.data(), capacity) == TSK_OK) {
    CHECK(terminatedWithin(w.data(), capacity));
  }
  if (stringCnv_tcsToMbs(wide.c_str(), n.data(), capacity) == TSK_OK) {
    CHECK(terminatedWithin(n.data(), capacity));
  }
  if (stringCnv_tcsToWcs(wide.c_str(), w.data(), static_cast<int32_t>(capacity)) == TSK_OK) {
    CHECK(WString(w.data()) == wide);
  }
}

void arrayForms(const std::string& narrow, const WString& wide) {
  const char* narrowMembers[] = {narrow.c_str(), nullptr, ""};
  const tsk_wchar_t* wideMembers[] = {wide.c_str(), nullptr};
  tsk_wchar_t** w = nullptr;
  CHECK(stringCnv_utf8pToWcsp(narrowMembers, 3, &w) == TSK_OK);
  CHECK(w[1] == nullptr);
  for (int i = 0; i < 3; ++i) {
    std::free(w[i]);
  }
  std::free(w);
  CHECK(stringCnv_mbspToWcsp(narrowMembers, 3, &w) == TSK_OK);
  for (int i = 0; i < 3; ++i) {
    std::free(w[i]);
  }
  std::free(w);
  char** n = nullptr;
  CHECK(stringCnv_wcspToUTF8p(wideMembers, 2, &n) == TSK_OK);
  std::free(n[0]);
  std::free(n);
  CHECK(stringCnv_wcspToMbsp(wideMembers, 2, &n) == TSK_OK);
  std::free(n[0]);
  std::free(n);
}

// An exact-size heap copy of the first `count` elements, terminated only if
// `terminate` (the sanitizers catch a read past it).
template <typename T>
std::unique_ptr<T[]> exactCopy(const std::basic_string<T>& text, size_t count, bool terminate) {
  std::unique_ptr<T[]> copy(new T[count + (terminate ? 1 : 0)]);
  std::copy(text.begin(), text.begin() + static_cast<ptrdiff_t>(count), copy.get());
  if (terminate) {
    copy[count] = 0;
  }
  return copy;
}

// With a precision the formatter reads no element past it, so an array that
// holds the precision's worth of text needs no terminator and gives what the
// terminated string gives.
void unterminatedArguments(const std::string& narrow, const WString& wide, int precision) {
  const auto p = static_cast<size_t>(precision);
  char expected[128];
  char got[128];
  tsk_wchar_t expectedWide[128];
  tsk_wchar_t gotWide[128];

  const size_t narrowCount = std::min(narrow.size(), p);
  const auto narrowCopy = exactCopy(narrow, narrowCount, narrow.size() < p);
  const int n1 = tsk::text::formatBounded(expected, 128, "%.*s", precision, narrow.c_str());
  CHECK(tsk::text::formatBounded(got, 128, "%.*s", precision, narrowCopy.get()) == n1);
  CHECK(n1 < 0 || std::memcmp(expected, got, static_cast<size_t>(n1)) == 0);

  const size_t wideCount = std::min(wide.size(), p);
  const auto wideCopy = exactCopy(wide, wideCount, wide.size() < p);
  const int n2 = tsk::text::formatBounded(expected, 128, "%.*S", precision, wide.c_str());
  CHECK(tsk::text::formatBounded(got, 128, "%.*S", precision, wideCopy.get()) == n2);
  CHECK(n2 < 0 || std::memcmp(expected, got, static_cast<size_t>(n2)) == 0);

  // Narrow text for a wide format: each character gives at least one unit,
  // so text whose whole conversion passes the precision is never read to
  // its end.
  const bool passes = tsk::text::formatLength(TSK_W("%hs"), narrow.c_str()) > precision;
  const auto bytes = exactCopy(narrow, narrow.size(), !passes);
  const int n3 =
      tsk::text::formatBounded(expectedWide, 128, TSK_W("%.*hs"), precision, narrow.c_str());
  CHECK(tsk::text::formatBounded(gotWide, 128, TSK_W("%.*hs"), precision, bytes.get()) == n3);
  CHECK(n3 < 0 ||
        std::memcmp(expectedWide, gotWide, static_cast<size_t>(n3) * sizeof(tsk_wchar_t)) == 0);
}

void formatter(const std::string& narrow, const WString& wide, size_t capacity, int precision) {
  std::vector<char> n(capacity);
  std::vector<tsk_wchar_t> w(capacity);
  const int length = tsk::text::formatLength("%.*S|%s", precision, wide.c_str(), narrow.c_str());
  const int bounded = tsk::text::formatBounded(n.data(), capacity, "%.*S|%s", precision,
                                               wide.c_str(), narrow.c_str());
  CHECK(length >= 0);
  if (n.data() == nullptr) {
    CHECK(bounded == length); // no buffer and no room: measured
  } else {
    CHECK(bounded == (static_cast<size_t>(length) <= capacity ? length : -1));
  }
  const int secure = tsk::text::formatSecure(w.data(), capacity, TSK_W("%S|%.*s"), narrow.c_str(),
                                             precision, wide.c_str());
  if (secure >= 0) {
    CHECK(w[static_cast<size_t>(secure)] == 0);
  } else if (capacity > 0) {
    CHECK(w[0] == 0);
  }
  if (precision >= 0) {
    unterminatedArguments(narrow, wide, precision);
  }
}

} // namespace

// A random format (literal runs and three conversions with flags, widths,
// precisions and size prefixes) built from the input bytes, formatted narrow
// and wide by the library and by glibc, which serves as the model: the same
// text and length, and with a short room the room's worth of it.
void formats(const uint8_t* data, size_t size) {
  size_t i = 0;
  const auto next = [&] { return i < size ? data[i++] : uint8_t{0}; };
  const tsk::test::RandomFormat f = tsk::test::randomFormat(next, tsk::test::FormatModel::kGlibc);
  const WString wideFormat = widen(f.wide);
  std::vector<char> model(4096), ours(4096);
  std::vector<tsk_wchar_t> wide(4096);
  const auto call = [&](auto format) { return tsk::test::applyFormatArguments(format, f.args); };
  const int m =
      call([&](auto... a) { return std::snprintf(model.data(), 4096, f.narrow.c_str(), a...); });
  const int n = call([&](auto... a) {
    return tsk::text::formatBounded(ours.data(), 4096, f.narrow.c_str(), a...);
  });
  const int w = call([&](auto... a) {
    return tsk::text::formatBounded(wide.data(), 4096, wideFormat.c_str(), a...);
  });
  CHECK(m >= 0 && n == m && w == m);
  CHECK(std::memcmp(ours.data(), model.data(), static_cast<size_t>(m) + 1) == 0);
  CHECK(WString(wide.data(), static_cast<size_t>(w)) == widen(model.data()));
  // A room of exactly the asked size, so that the sanitizer sees a write past it.
  const size_t room = next() % static_cast<size_t>(m + 2);
  std::unique_ptr<char[]> cut(new char[room == 0 ? 1 : room]);
  const int c = call(
      [&](auto... a) { return tsk::text::formatBounded(cut.get(), room, f.narrow.c_str(), a...); });
  CHECK(c == (m <= static_cast<int>(room) ? m : -1));
  CHECK(std::memcmp(cut.get(), model.data(), std::min(room, static_cast<size_t>(m))) == 0);
}

// Every transcoding level this machine has against the character loop
// alone: the same output, count and stopping point, in buffers of exactly
// the room given, so that the sanitizer sees a write past it.
template <typename In, typename Out, typename Convert>
void everyLevel(const std::basic_string<In>& in, size_t room, Convert convert) {
  using tsk::unicode::Conversion;
  using tsk::unicode::Level;
  using tsk::unicode::OnIllFormed;
  const auto once = [&](Level level, OnIllFormed mode, std::basic_string<Out>& out) {
    CHECK(tsk::unicode::selectLevel(level));
    std::unique_ptr<Out[]> buffer(new Out[room == 0 ? 1 : room]);
    const Conversion c = convert(in.data(), in.size(), tsk::unicode::End::kLength,
                                 room == 0 ? nullptr : buffer.get(), room, mode);
    if (c.status == tsk::unicode::Status::kDone && room != 0) {
      out.assign(buffer.get(), c.written);
    }
    return c;
  };
  for (const OnIllFormed mode : {OnIllFormed::kReplace, OnIllFormed::kStop}) {
    std::basic_string<Out> expected;
    const Conversion reference = once(Level::kPortable, mode, expected);
    for (unsigned k = 1; k < tsk::unicode::kLevelCount; ++k) {
      const auto level = static_cast<Level>(k);
      if (tsk::unicode::kernelsFor(level) == nullptr) {
        continue;
      }
      std::basic_string<Out> out;
      const Conversion c = once(level, mode, out);
      CHECK(c.status == reference.status && out == expected);
      CHECK(c.status == tsk::unicode::Status::kNoRoom ||
            (c.read == reference.read && c.written == reference.written));
    }
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const uint8_t control = data[0];
  ++data;
  --size;
  // Narrow text ends at the first zero; so does wide text.
  std::string narrow(reinterpret_cast<const char*>(data), size);
  narrow = narrow.c_str();
  WString wide;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const auto unit = static_cast<tsk_wchar_t>(data[i] | (data[i + 1] << 8));
    if (unit == 0) {
      break;
    }
    wide += unit;
  }

  // Bit 7: the narrow encoding is Latin-1 (when that locale exists) instead
  // of UTF-8 (the C locale).
  const bool latin1 = (control & 0x80) != 0 && std::setlocale(LC_ALL, "de_DE.ISO-8859-1");
  const size_t capacity = control & 0x3F;

  utf8RoundTrip(narrow);
  utf16RoundTrip(wide);
  // The raw input, zeros included, at every transcoding level; room 0 measures.
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  WString units(size / 2, 0);
  std::memcpy(units.data(), data, units.size() * sizeof(tsk_wchar_t));
  const size_t room = (control & 0x40) != 0 ? capacity * 4 : bytes.size() * 3;
  everyLevel<char, tsk_wchar_t>(bytes, room, tsk::unicode::convertUtf8);
  everyLevel<tsk_wchar_t, char>(units, room, tsk::unicode::convertUtf16);
  ansiForms(narrow, wide);
  bufferForms(narrow, wide, capacity);
  arrayForms(narrow, wide);
  formatter(narrow, wide, capacity, (control & 0x40) != 0 ? static_cast<int>(capacity) : -1);
  formats(data, size);

  if (latin1) {
    std::setlocale(LC_ALL, "C");
  }
  return 0;
}
