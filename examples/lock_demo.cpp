// Guards per-account balances with an indexed lock array, catches an index
// out of range, and shares a price table between readers and a writer.
#include "tskbase/rwlock.h"
#include "tskbase/thread_lock.h"

#include <cstdio>
#include <stdexcept>
#include <thread>
#include <vector>

#include "demo.h"

namespace {

// Four threads move money between eight accounts; each account's balance is
// guarded by the lock of its own index.
void transfers() {
  constexpr uint32_t kAccounts = 8;
  CThreadLock* locks = nullptr;
  threadLock_create(&locks, kAccounts);
  std::vector<long> balances(kAccounts, 1000);
  std::vector<std::thread> clerks;
  for (uint32_t clerk = 0; clerk < 4; ++clerk) {
    clerks.emplace_back([&, clerk] {
      for (uint32_t i = 0; i < 10000; ++i) {
        const uint32_t from = (clerk + i) % kAccounts;
        const uint32_t to = (from + 3) % kAccounts;
        threadLock_lock(locks, from);
        balances[from] -= 1;
        threadLock_unlock(locks, from);
        threadLock_lock(locks, to);
        balances[to] += 1;
        threadLock_unlock(locks, to);
      }
    });
  }
  for (std::thread& clerk : clerks) {
    clerk.join();
  }
  long total = 0;
  for (long balance : balances) {
    total += balance;
  }
  std::printf("  4 clerks, 40000 transfers over %u accounts: total still %ld\n", kAccounts, total);
  try {
    threadLock_lock(locks, kAccounts);
  } catch (const std::out_of_range& error) {
    std::printf("  threadLock_lock(locks, %u) threw out_of_range(\"%s\")\n", kAccounts,
                error.what());
  }
  threadLock_destroy(&locks);
}

// Readers look prices up together; a writer changes them alone.
void prices() {
  RWLock* lock = nullptr;
  rwlock_create(&lock);
  std::vector<int> table = {100, 250, 75};
  long seen = 0;
  std::thread writer([&] {
    rwlock_claim(lock, 0);
    for (int& price : table) {
      price += 1;
    }
    rwlock_release(lock, 0);
  });
  rwlock_claim(lock, 1);
  for (int price : table) {
    seen += price;
  }
  rwlock_release(lock, 1);
  writer.join();
  std::printf("  a reader saw a consistent table: sum %ld (425 before the writer, 428 after)\n",
              seen);
  std::printf("  releasing a read nobody holds: 0x%x\n", rwlock_release(lock, 1));
  rwlock_destroy(&lock);
}

} // namespace

void demo::locks() {
  heading("Locks: an indexed lock array and a reader/writer lock");
  transfers();
  prices();
}
