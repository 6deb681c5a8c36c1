// The other process of the cross-process lock tests. It holds one lock
// object at a time and obeys one command per line of its standard input,
// answering each with one line:
//
//   mutex NAME           makes a MutexLock named NAME ("-": unnamed)   "ok"
//   iplock NAME SPIN     makes an InterProcessLock                     "ok"
//   obtain               ObtainLock                                    "obtained"
//   try                  TryLock                                       "true" or "false"
//   release              ReleaseLock                                   "released"
//   destroy              destroys the lock object                      "destroyed"
//   count ROUNDS FILE    ROUNDS times: ObtainLock, add 1 to the 64-bit
//                        counter in FILE (the rest of the line),
//                        ReleaseLock                                   "counted"
//
// It ends at the end of its input, or when it is killed, holding whatever
// it holds.
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "scratch_directory.h"
#include "tskbase/interprocess_lock.h"
#include "tskbase/mutex_lock.h"

namespace {

using tsk::test::WideString;

// Either lock class behind one interface.
class AnyLock {
public:
  virtual ~AnyLock() = default;
  virtual void obtain() = 0;
  virtual bool tryLock() = 0;
  virtual void release() = 0;
};

template <typename Lock>
class LockOf final : public AnyLock {
public:
  template <typename... Arguments>
  explicit LockOf(Arguments... arguments) : lock_(arguments...) {}
  void obtain() override { lock_.ObtainLock(); }
  bool tryLock() override { return lock_.TryLock(); }
  void release() override { lock_.ReleaseLock(); }

private:
  Lock lock_;
};

WideString wide(const std::string& ascii) { return WideString(ascii.begin(), ascii.end()); }

// Adds 1 to the counter in `path` under the lock, `rounds` times. The
// counter is read and written through the file each time, so that an
// update made outside the lock would be lost.
bool count(AnyLock& lock, const std::string& path, long rounds) {
  std::FILE* file = std::fopen(path.c_str(), "r+b");
  if (file == nullptr) {
    return false;
  }
  bool ok = true;
  for (long i = 0; i < rounds && ok; ++i) {
    lock.obtain();
    uint64_t counter = 0;
    ok = std::fseek(file, 0, SEEK_SET) == 0 && std::fread(&counter, sizeof counter, 1, file) == 1;
    ++counter;
    ok = ok && std::fseek(file, 0, SEEK_SET) == 0 &&
         std::fwrite(&counter, sizeof counter, 1, file) == 1 && std::fflush(file) == 0;
    lock.release();
  }
  return std::fclose(file) == 0 && ok;
}

std::string obey(std::unique_ptr<AnyLock>& lock, const std::string& line) {
  std::istringstream words(line);
  std::string command;
  std::string name;
  words >> command;
  if (command == "mutex" && words >> name) {
    const WideString wideName = wide(name);
    lock = std::make_unique<LockOf<MutexLock>>(name == "-" ? nullptr : wideName.c_str());
    return "ok";
  }
  uint32_t number = 0;
  if (command == "iplock" && words >> name >> number) {
    lock = std::make_unique<LockOf<InterProcessLock>>(wide(name).c_str(), nullptr, number);
    return "ok";
  }
  if (lock == nullptr) {
    return "no lock";
  }
  if (command == "obtain") {
    lock->obtain();
    return "obtained";
  }
  if (command == "try") {
    return lock->tryLock() ? "true" : "false";
  }
  if (command == "release") {
    lock->release();
    return "released";
  }
  if (command == "destroy") {
    lock.reset();
    return "destroyed";
  }
  long rounds = 0;
  if (command == "count" && words >> rounds && std::getline(words >> std::ws, name)) {
    return count(*lock, name, rounds) ? "counted" : "the counter file failed";
  }
  return "unknown command: " + line;
}

} // namespace

int main() {
  std::unique_ptr<AnyLock> lock;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::cout << obey(lock, line) << std::endl;
  }
  return 0;
}
