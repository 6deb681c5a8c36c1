// The runtime services: calendar time as text and the per-thread random
// generator. On Windows they are the runtime's own, so the expectations are
// what the Windows runtime does. (Appending to a file is tested through the
// thread pools' log.)
#include "platform/runtime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "environment.h"

namespace {

using namespace tsk::platform;

// Makes the runtime read its time zone from TZ again.
void reloadTimeZone() {
#if defined(_WIN32)
  _tzset();
#else
  tzset();
#endif
}

// The 25-character form with a two-digit day, in UTC and an hour east of it,
// over the whole range the runtime accepts.
TEST(PlatformRuntime, LocalTimeTextAcrossTheRange) {
  const std::tuple<const char*, int64_t, const char*> cases[] = {
      {"UTC0", 0, "Thu Jan 01 00:00:00 1970\n"},
      {"UTC0", 315627835, "Wed Jan 02 02:23:55 1980\n"},
      {"UTC0", 951782400, "Tue Feb 29 00:00:00 2000\n"},
      {"UTC0", kLatestLocalTime, "Wed Dec 31 23:59:59 3000\n"},
      {"UTC0", -1, "refused"},
      {"UTC0", kLatestLocalTime + 1, "refused"},
      {"CET-1", 1700006400, "Wed Nov 15 01:00:00 2023\n"},
  };
  for (const auto& [tz, seconds, expected] : cases) {
    char text[kLocalTimeTextLength + 1];
    std::memset(text, '#', sizeof text);
    {
      const tsk::test::ScopedEnvironmentVariable zone("TZ", tz);
      reloadTimeZone();
      EXPECT_EQ(localTimeText(seconds, text) ? std::string(text) : "refused", expected) << seconds;
    }
    reloadTimeZone();
  }
  const int64_t now = calendarTime();
  EXPECT_LE(std::abs(now - static_cast<int64_t>(std::time(nullptr))), 1);
  EXPECT_EQ(calendarTimeDifference(now, now + 90), -90.0);
}

std::vector<int> draw(int count) {
  std::vector<int> numbers(count);
  for (int& number : numbers) {
    number = threadRandom();
  }
  return numbers;
}

// The Windows runtime's sequence for seed 1, each thread with its own state:
// another thread's seeding and drawing leaves this thread's sequence alone.
TEST(PlatformRuntime, RandomNumbersPerThreadFromTheirSeed) {
  const std::vector<int> seedOne = {41, 18467, 6334, 26500, 19169};
  seedThreadRandom(1);
  std::vector<int> mine = draw(2), other;
  std::thread([&] {
    seedThreadRandom(1);
    other = draw(5);
  }).join();
  EXPECT_EQ(other, seedOne);
  const std::vector<int> rest = draw(3);
  mine.insert(mine.end(), rest.begin(), rest.end());
  EXPECT_EQ(mine, seedOne);
  seedThreadRandom(12345);
  for (int n : draw(100)) {
    EXPECT_TRUE(n >= 0 && n <= 32767) << n;
  }
}

} // namespace
