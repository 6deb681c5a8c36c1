// The runtime services: calendar time and its text, the per-thread random
// generator and appending to a file. On Windows they are the runtime's own,
// so the expectations below are what the Windows runtime does.
#include "platform/runtime.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "environment.h"
#include "platform.h"

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

// Sets TZ for the length of a scope.
class TimeZone {
public:
  explicit TimeZone(const char* tz) : variable_(std::in_place, "TZ", tz) { reloadTimeZone(); }
  ~TimeZone() {
    variable_.reset();
    reloadTimeZone();
  }
  TimeZone(const TimeZone&) = delete;
  TimeZone& operator=(const TimeZone&) = delete;

private:
  std::optional<tsk::test::ScopedEnvironmentVariable> variable_;
};

std::string textOf(int64_t seconds) {
  char text[kLocalTimeTextLength + 1];
  std::memset(text, '#', sizeof text);
  return localTimeText(seconds, text) ? std::string(text) : "refused";
}

// The 25-character form with a two-digit day, in UTC and an hour east of it,
// over the whole range the runtime accepts.
TEST(PlatformRuntime, LocalTimeTextAcrossTheRange) {
  struct Case {
    const char* tz;
    int64_t seconds;
    const char* text;
  };
  const Case cases[] = {
      {"UTC0", 0, "Thu Jan 01 00:00:00 1970\n"},
      {"UTC0", 315627835, "Wed Jan 02 02:23:55 1980\n"},
      {"UTC0", 951782400, "Tue Feb 29 00:00:00 2000\n"},
      {"UTC0", 1700000000, "Tue Nov 14 22:13:20 2023\n"},
      {"UTC0", kLatestLocalTime, "Wed Dec 31 23:59:59 3000\n"},
      {"UTC0", -1, "refused"},
      {"UTC0", kLatestLocalTime + 1, "refused"},
      {"CET-1", 1700000000, "Tue Nov 14 23:13:20 2023\n"},
      {"CET-1", 1700006400, "Wed Nov 15 01:00:00 2023\n"},
  };
  for (const Case& c : cases) {
    TimeZone zone(c.tz);
    EXPECT_EQ(textOf(c.seconds), c.text) << c.tz << " " << c.seconds;
  }
}

TEST(PlatformRuntime, CalendarTimeAndDifference) {
  const int64_t before = static_cast<int64_t>(std::time(nullptr));
  const int64_t now = calendarTime();
  EXPECT_GE(now, before);
  EXPECT_LE(now, static_cast<int64_t>(std::time(nullptr)));
  EXPECT_EQ(calendarTimeDifference(now + 90, now), 90.0);
  EXPECT_EQ(calendarTimeDifference(now, now + 1), -1.0);
}

std::vector<int> draw(int count) {
  std::vector<int> numbers;
  for (int i = 0; i < count; ++i) {
    numbers.push_back(threadRandom());
  }
  return numbers;
}

// The Windows runtime's sequence for seed 1, each thread with its own state:
// another thread's seeding and drawing leaves this thread's sequence alone.
TEST(PlatformRuntime, RandomNumbersPerThreadFromTheirSeed) {
  const std::vector<int> seedOne = {41, 18467, 6334, 26500, 19169};
  seedThreadRandom(1);
  EXPECT_EQ(draw(2), std::vector<int>(seedOne.begin(), seedOne.begin() + 2));
  std::vector<int> other;
  std::thread([&] {
    seedThreadRandom(1);
    other = draw(5);
  }).join();
  EXPECT_EQ(other, seedOne);
  EXPECT_EQ(draw(3), std::vector<int>(seedOne.begin() + 2, seedOne.end()));
  seedThreadRandom(12345);
  const std::vector<int> first = draw(100);
  seedThreadRandom(12345);
  EXPECT_EQ(draw(100), first);
  for (int n : first) {
    EXPECT_TRUE(n >= 0 && n <= 32767) << n;
  }
}

std::string contentsOf(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

// Each call opens, appends (in text mode) and closes; a file that cannot be
// opened gets nothing and says so.
TEST(PlatformRuntime, AppendToFile) {
  const std::string path = ::testing::TempDir() + "tskbase_append_test.txt";
  std::remove(path.c_str());
  const AppendOutcome first = appendToFile(path.c_str(), "first line\n");
  const AppendOutcome second = appendToFile(path.c_str(), "%s %d\n");
  EXPECT_TRUE(first.opened && first.flushed && first.closed);
  EXPECT_TRUE(second.opened && second.flushed && second.closed);
  const std::string newline = tsk::test::kWindows ? "\r\n" : "\n";
  EXPECT_EQ(contentsOf(path), "first line" + newline + "%s %d" + newline);
  std::remove(path.c_str());

  const std::string missing = ::testing::TempDir() + "no such directory/x.txt";
  const AppendOutcome refused = appendToFile(missing.c_str(), "lost");
  EXPECT_FALSE(refused.opened || refused.flushed || refused.closed);
}

} // namespace
