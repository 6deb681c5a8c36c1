// The other process of the cross-process lock tests. It holds one lock
// object at a time and answers each command line of its standard input
// with one line: "mutex NAME" and "iplock NAME SPIN" make the object ("ok");
// "obtain", "try", "release" and "destroy" call its member or destroy it
// ("obtained", "true"/"false", "released", "destroyed"); "count ROUNDS
// FILE" adds 1 to the 64-bit counter in FILE (the rest of the line) under
// the lock, ROUNDS times ("counted"). It ends at the end of its input, or
// when killed, holding what it holds.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "scratch_directory.h"
#include "tskbase/interprocess_lock.h"
#include "tskbase/mutex_lock.h"

namespace {

// Either lock class behind one set of calls.
struct AnyLock {
  std::shared_ptr<void> object;
  std::function<void()> obtain;
  std::function<bool()> tryLock;
  std::function<void()> release;
};

template <typename Lock, typename... Arguments>
AnyLock makeLock(Arguments... arguments) {
  auto lock = std::make_shared<Lock>(arguments...);
  Lock* raw = lock.get();
  return {lock, [raw] { raw->ObtainLock(); }, [raw] { return raw->TryLock(); },
          [raw] { raw->ReleaseLock(); }};
}

// The counter is read and written through the file each round, so that an
// update made outside the lock would be lost.
bool count(AnyLock& lock, const std::string& path, long rounds) {
  std::FILE* file = std::fopen(path.c_str(), "r+b");
  bool ok = file != nullptr;
  for (long i = 0; i < rounds && ok; ++i) {
    lock.obtain();
    uint64_t counter = 0;
    ok = std::fseek(file, 0, SEEK_SET) == 0 && std::fread(&counter, sizeof counter, 1, file) == 1;
    ++counter;
    ok = ok && std::fseek(file, 0, SEEK_SET) == 0 &&
         std::fwrite(&counter, sizeof counter, 1, file) == 1 && std::fflush(file) == 0;
    lock.release();
  }
  return file != nullptr && std::fclose(file) == 0 && ok;
}

std::string obey(AnyLock& lock, const std::string& line) {
  std::istringstream words(line);
  std::string command, name;
  uint32_t number = 0;
  words >> command;
  if (command == "mutex" && words >> name) {
    lock = makeLock<MutexLock>(tsk::test::wide(name).c_str(), nullptr);
  } else if (command == "iplock" && words >> name >> number) {
    lock = makeLock<InterProcessLock>(tsk::test::wide(name).c_str(), nullptr, number);
  } else if (lock.object == nullptr) {
    return "no lock";
  } else if (command == "obtain") {
    lock.obtain();
    return "obtained";
  } else if (command == "try") {
    return lock.tryLock() ? "true" : "false";
  } else if (command == "release") {
    lock.release();
    return "released";
  } else if (command == "destroy") {
    lock = AnyLock{};
    return "destroyed";
  } else if (long rounds = 0;
             command == "count" && words >> rounds && std::getline(words >> std::ws, name)) {
    return count(lock, name, rounds) ? "counted" : "the counter file failed";
  } else {
    return "unknown command: " + line;
  }
  return "ok";
}

} // namespace

int main() {
  AnyLock lock;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::cout << obey(lock, line) << std::endl;
  }
  return 0;
}
