// The other process of the operating-system tests; see main for the
// command lines. It reports on its standard output, one line at a time, and
// exits with 0 when all went well.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "registry_pattern.h"
#include "scratch_directory.h"
#include "tskbase/file_lock.h"
#include "tskbase/module_path.h"
#include "tskbase/reg_settings.h"

namespace {

void say(const char* line) {
  std::fputs(line, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// Takes the lock file of `data` and prints "locked" or "failed"; a holder
// keeps it until a line or the end of its input arrives.
int holdLock(const std::string& type, int32_t timeout, const std::filesystem::path& data) {
  FileLock lock;
  const auto lockType =
      type == "exclusive" ? FileLock::FILE_LOCK_EXCLUSIVE : FileLock::FILE_LOCK_SHARED;
  if (!lock.Create(lockType, tsk::test::toWide(data).c_str(), timeout)) {
    say("failed");
    return 1;
  }
  say("locked");
  std::string line;
  std::getline(std::cin, line);
  lock.Close();
  return 0;
}

// The process's first module_ calls, from several threads at once: "ok" when
// every thread got the same complete path, the executable's own.
int raceFirstModuleCalls() {
  constexpr int kThreads = 8;
  std::atomic<int> ready{0};
  std::vector<std::pair<const tsk_wchar_t*, const tsk_wchar_t*>> seen(kThreads);
  {
    std::vector<std::jthread> threads;
    for (auto& entry : seen) {
      threads.emplace_back([&ready, &entry] {
        for (ready++; ready < kThreads;) {
        }
        entry = {module_getFileName(), module_getBasePath()};
      });
    }
  }
  for (const auto& [name, base] : seen) {
    if (base == nullptr || std::pair(name, base) != seen[0] ||
        std::filesystem::path(base) / name != tsk::test::executablePath()) {
      say("threads saw different or incomplete paths");
      return 1;
    }
  }
  say("ok");
  return 0;
}

// Writes `count` values (0: without end, printing each index), each also as
// "shared", and checks that neither reads back torn.
int writeRegistry(const std::string& key, uint32_t writer, uint32_t count) {
  const CRegSettings settings(0, TSK_HKEY_CURRENT_USER, tsk::test::toWide(key).c_str());
  for (uint32_t i = 0; count == 0 || i < count; ++i) {
    const std::vector<unsigned char> value = tsk::test::registryPattern(writer, i);
    const int length = static_cast<int>(value.size());
    const tsk::test::WideString name = tsk::test::registryValueName(writer, i);
    if (settings.SetBinary(name.c_str(), value.data(), length) != 0 ||
        settings.SetBinary(TSK_W("shared"), value.data(), length) != 0) {
      say("a write failed");
      return 1;
    }
    if (tsk::test::readValue(settings, name) != value ||
        !tsk::test::isRegistryPattern(tsk::test::readValue(settings, TSK_W("shared")))) {
      say("a value read back differs");
      return 1;
    }
    if (count == 0) {
      say(std::to_string(i).c_str());
    }
  }
  say("ok");
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "lock") == 0) {
    return holdLock(argv[2], std::atoi(argv[3]), argv[4]);
  }
  if (argc == 2 && std::strcmp(argv[1], "module-path") == 0) {
    return raceFirstModuleCalls();
  }
  if (argc == 5 && std::strcmp(argv[1], "registry-writer") == 0) {
    return writeRegistry(argv[2], static_cast<uint32_t>(std::atoi(argv[3])),
                         static_cast<uint32_t>(std::atoi(argv[4])));
  }
  std::fputs("usage: os_test_helper lock shared|exclusive TIMEOUT DATA_PATH\n"
             "       os_test_helper module-path\n"
             "       os_test_helper registry-writer KEY WRITER COUNT\n",
             stderr);
  return 2;
}
