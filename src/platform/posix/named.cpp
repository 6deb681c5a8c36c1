// Named events, mutexes and shared memory outside Windows, each over a file
// of posix/shared_file.h; duplicated handles; and security attributes, which
// change nothing here (every named object is open to every user).
//
// A name is open once per process: a second create of it returns another
// reference to the same object, as Windows returns another handle to one
// kernel object. So the file is locked and mapped once per process, and a
// robust mutex never lies at two addresses of one process (the system finds
// a held one in its holder's list by its address).
//
// The named event keeps its state in the file, under a robust
// process-shared mutex, and its waiters sleep on a futex word in the file.
// A waiter blocked in the kernel takes a signal as a ticket: set() wakes one
// sleeper and counts a ticket only if the system reports that it woke one,
// so a waiter that was killed while it slept never swallows a signal (a
// condition variable would count it as waiting for ever).
#include "platform/posix/object.h"
#include "platform/posix/shared_file.h"
#include "platform/sync.h"

#include <climits>
#include <cstring>
#include <linux/futex.h>
#include <new>
#include <string_view>
#include <sys/syscall.h>
#include <unistd.h>

// The record of the security attributes: the shape of Windows'
// SECURITY_ATTRIBUTES.
struct _SECURITY_ATTRIBUTES {
  uint32_t length;
  void* descriptor;
  int32_t inheritHandle;
};

namespace tsk::platform {

namespace posix {

namespace {

// ---- The process's open names ------------------------------------------------

pthread_mutex_t g_namesLock = PTHREAD_MUTEX_INITIALIZER;
// Counts the forks that made this process: objects opened before the last
// one belong to the parent as much as to this process.
uint32_t g_forkGeneration = 0;

class NamesGuard {
public:
  NamesGuard() { pthread_mutex_lock(&g_namesLock); }
  ~NamesGuard() { pthread_mutex_unlock(&g_namesLock); }
  NamesGuard(const NamesGuard&) = delete;
  NamesGuard& operator=(const NamesGuard&) = delete;
};

// What a named object adds to its object: its name and file, and its place
// in the process's list of open names.
class NameEntry {
public:
  explicit NameEntry(Object& object) : object_(object) {}
  ~NameEntry() {
    if (!listed_) {
      return;
    }
    NamesGuard guard;
    unlist();
    if (generation_ == g_forkGeneration) {
      file_.close();
    } else {
      file_.leave();
    }
  }
  NameEntry(const NameEntry&) = delete;
  NameEntry& operator=(const NameEntry&) = delete;

  // Opens the file and lists the object. The names lock is held.
  OpenResult open(std::u16string_view name, SharedKind kind, uint32_t payloadSize,
                  SharedFile::Initialiser initialise, const void* context) {
    const OpenResult result = file_.open(name, kind, payloadSize, initialise, context);
    if (result == OpenResult::kOpened) {
      name.copy(name_, name.size());
      nameLength_ = name.size();
      kind_ = kind;
      generation_ = g_forkGeneration;
      next_ = first_;
      first_ = this;
      listed_ = true;
    }
    return result;
  }

  void* payload() const { return file_.payload(); }
  const SharedFile& file() const { return file_; }

  // The listed object of `name` and `kind` with one more reference, or
  // null. The names lock is held.
  static Object* retainListed(std::u16string_view name, SharedKind kind) {
    for (NameEntry* entry = first_; entry != nullptr; entry = entry->next_) {
      if (entry->kind_ == kind && entry->name() == name && entry->object_.retainIfAlive()) {
        return &entry->object_;
      }
    }
    return nullptr;
  }

  // In the child of a fork: the inherited objects stay usable, but are no
  // longer found by name, and leave their files to the parent.
  static void forgetAfterFork() {
    first_ = nullptr;
    ++g_forkGeneration;
    pthread_mutex_init(&g_namesLock, nullptr);
  }

private:
  std::u16string_view name() const { return {name_, nameLength_}; }

  void unlist() {
    for (NameEntry** link = &first_; *link != nullptr; link = &(*link)->next_) {
      if (*link == this) {
        *link = next_;
        return;
      }
    }
  }

  static inline NameEntry* first_ = nullptr;

  Object& object_;
  SharedFile file_;
  char16_t name_[kMaxObjectName];
  size_t nameLength_ = 0;
  SharedKind kind_ = SharedKind::kMemory;
  uint32_t generation_ = 0;
  NameEntry* next_ = nullptr;
  bool listed_ = false;
};

// Opens the object `name` of type Named, or makes it: Named has a default
// constructor, its NameEntry as entry(), its kind as kKind, and attach(),
// which it calls once its contents are mapped.
template <typename Named>
Handle openNamed(const tsk_wchar_t* name, uint32_t payloadSize, SharedFile::Initialiser initialise,
                 const void* context) {
  const std::u16string_view wanted(name);
  if (wanted.size() > kMaxObjectName) {
    return nullptr;
  }
  static const bool forkHandled =
      pthread_atfork(nullptr, nullptr, &NameEntry::forgetAfterFork) == 0;
  (void)forkHandled;
  NamesGuard guard;
  if (Object* open = NameEntry::retainListed(wanted, Named::kKind)) {
    return open;
  }
  auto* object = new (std::nothrow) Named;
  if (object == nullptr) {
    return nullptr;
  }
  if (object->entry().open(wanted, Named::kKind, payloadSize, initialise, context) !=
      OpenResult::kOpened) {
    object->release(); // not listed: its end takes no lock
    return nullptr;
  }
  object->attach();
  return object;
}

// ---- Futex words in shared memory ----------------------------------------------

// Sleeps while `word` holds `expected`, until woken or the deadline.
void futexWait(std::atomic<uint32_t>& word, uint32_t expected, const Deadline& deadline) {
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAIT_BITSET, expected,
          deadline.infinite() ? nullptr : &deadline.monotonic(), nullptr, FUTEX_BITSET_MATCH_ANY);
}

// Wakes up to `count` sleepers on `word`; the number it woke.
long futexWake(std::atomic<uint32_t>& word, int count) {
  return syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAKE, count, nullptr, nullptr,
                 0);
}

// ---- Robust guards ---------------------------------------------------------------

bool initialiseSharedGuard(pthread_mutex_t* mutex) {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
  pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
  const bool made = pthread_mutex_init(mutex, &attributes) == 0;
  pthread_mutexattr_destroy(&attributes);
  return made;
}

// Holds a robust guard for a scope. A process that died holding it left the
// state as it was between two steps, each of which leaves it whole.
class RobustGuard {
public:
  explicit RobustGuard(pthread_mutex_t* mutex) : mutex_(mutex) { lock(); }
  ~RobustGuard() { unlock(); }
  RobustGuard(const RobustGuard&) = delete;
  RobustGuard& operator=(const RobustGuard&) = delete;

  void lock() {
    if (pthread_mutex_lock(mutex_) == EOWNERDEAD) {
      pthread_mutex_consistent(mutex_);
    }
  }
  void unlock() { pthread_mutex_unlock(mutex_); }

private:
  pthread_mutex_t* mutex_;
};

// ---- Named event -----------------------------------------------------------------

struct SharedEvent {
  pthread_mutex_t guard;
  std::atomic<uint32_t> wakeups; // futex word: changes with every set()
  uint32_t manualReset;
  uint32_t signalled;
  uint32_t tickets; // auto reset: signals taken by sleepers, not yet claimed
};

struct EventSettings {
  bool manualReset;
  bool signalled;
};

bool initialiseEvent(void* payload, const void* context) {
  const auto& settings = *static_cast<const EventSettings*>(context);
  auto* event = new (payload) SharedEvent{};
  event->manualReset = settings.manualReset;
  event->signalled = settings.signalled;
  return initialiseSharedGuard(&event->guard);
}

class NamedEvent final : public EventObject {
public:
  static constexpr SharedKind kKind = SharedKind::kEvent;

  NameEntry& entry() { return entry_; }
  void attach() { event_ = static_cast<SharedEvent*>(entry_.payload()); }

  void set() override {
    RobustGuard guard(&event_->guard);
    event_->wakeups.fetch_add(1);
    if (event_->manualReset) {
      event_->signalled = 1;
      futexWake(event_->wakeups, INT_MAX);
    } else if (futexWake(event_->wakeups, 1) == 1) {
      ++event_->tickets;
    } else {
      event_->signalled = 1;
    }
  }

  void reset() override {
    RobustGuard guard(&event_->guard);
    event_->signalled = 0;
  }

  WaitResult wait(const Deadline& deadline, const std::atomic<bool>*) override {
    RobustGuard guard(&event_->guard);
    if (takeSignal()) {
      return WaitResult::kSignalled;
    }
    // A manual-reset event releases every waiter that was asleep when it was
    // set, even if it was reset before the waiter woke.
    const uint32_t start = event_->wakeups.load();
    while (!deadline.passed()) {
      const uint32_t seen = event_->wakeups.load();
      guard.unlock();
      futexWait(event_->wakeups, seen, deadline);
      guard.lock();
      if (event_->manualReset ? event_->wakeups.load() != start || event_->signalled != 0
                              : takeTicket() || takeSignal()) {
        return WaitResult::kSignalled;
      }
    }
    return WaitResult::kTimedOut;
  }

private:
  // A pending signal; an auto-reset event resets as it is taken. Guard
  // held.
  bool takeSignal() {
    if (event_->signalled == 0) {
      return false;
    }
    if (!event_->manualReset) {
      event_->signalled = 0;
    }
    return true;
  }

  bool takeTicket() {
    if (event_->tickets == 0) {
      return false;
    }
    --event_->tickets;
    return true;
  }

  NameEntry entry_{*this};
  SharedEvent* event_ = nullptr;
};

// ---- Named mutex -----------------------------------------------------------------

bool initialiseMutex(void* payload, const void*) {
  return (new (payload) MutexState)->initialise(true);
}

class NamedMutex final : public MutexObject {
public:
  static constexpr SharedKind kKind = SharedKind::kMutex;

  NamedMutex() : MutexObject(nullptr) {}

  NameEntry& entry() { return entry_; }
  void attach() { setState(static_cast<MutexState*>(entry_.payload())); }

private:
  NameEntry entry_{*this};
};

// ---- Shared memory -----------------------------------------------------------------

class SharedMemory final : public Object {
public:
  static constexpr SharedKind kKind = SharedKind::kMemory;

  SharedMemory() : Object(Kind::kSharedMemory) {}

  NameEntry& entry() { return entry_; }
  void attach() {}

  WaitResult wait(const Deadline&, const std::atomic<bool>*) override {
    return WaitResult::kFailed;
  }

private:
  NameEntry entry_{*this};
};

// A view of shared memory: a mapping of its file of its own, which outlives
// the handles (and the file's name). The names lock guards the list.
struct View {
  MappedFile mapping;
  View* next;
};

View* g_firstView = nullptr;

} // namespace

} // namespace posix

using posix::Kind;
using posix::Object;

Handle duplicateHandle(Handle object) {
  if (object == nullptr) {
    return nullptr;
  }
  Object::from(object)->retain();
  return object;
}

Handle createNamedEvent(const tsk_wchar_t* name, bool manualReset, bool initiallySignalled,
                        SecurityAttributes*) {
  if (name == nullptr || name[0] == 0) {
    return createEvent(manualReset, initiallySignalled);
  }
  const posix::EventSettings settings{manualReset, initiallySignalled};
  return posix::openNamed<posix::NamedEvent>(name, sizeof(posix::SharedEvent),
                                             &posix::initialiseEvent, &settings);
}

Handle createNamedMutex(const tsk_wchar_t* name, SecurityAttributes*) {
  if (name == nullptr || name[0] == 0) {
    return createMutex();
  }
  return posix::openNamed<posix::NamedMutex>(name, sizeof(posix::MutexState),
                                             &posix::initialiseMutex, nullptr);
}

Handle createSharedMemory(const tsk_wchar_t* name, uint32_t size, SecurityAttributes*) {
  if (name == nullptr || name[0] == 0) {
    return nullptr;
  }
  return posix::openNamed<posix::SharedMemory>(name, size, nullptr, nullptr);
}

void* mapSharedMemory(Handle memory) {
  auto* object = static_cast<posix::SharedMemory*>(Object::from(memory, Kind::kSharedMemory));
  if (object == nullptr) {
    return nullptr;
  }
  auto* view = new (std::nothrow) posix::View{object->entry().file().mapAgain(), nullptr};
  if (view == nullptr || view->mapping.payload == nullptr) {
    delete view;
    return nullptr;
  }
  posix::NamesGuard guard;
  view->next = posix::g_firstView;
  posix::g_firstView = view;
  return view->mapping.payload;
}

bool unmapSharedMemory(void* address) {
  posix::View* found = nullptr;
  {
    posix::NamesGuard guard;
    for (posix::View** link = &posix::g_firstView; *link != nullptr; link = &(*link)->next) {
      if ((*link)->mapping.payload == address) {
        found = *link;
        *link = found->next;
        break;
      }
    }
  }
  if (found == nullptr) {
    return false;
  }
  posix::unmap(found->mapping);
  delete found;
  return true;
}

// ---- Security attributes ---------------------------------------------------------

namespace {

// Stands for a descriptor that opens an object to every user, which every
// named object is here.
struct OpenDescriptor {
  uint32_t revision;
  uint32_t everyUser;
};

} // namespace

size_t securityDescriptorSize() { return sizeof(OpenDescriptor); }

size_t securityAttributesSize() { return sizeof(SecurityAttributes); }

SecurityAttributes* makeOpenSecurity(void* descriptor, void* attributes) {
  auto* open = static_cast<OpenDescriptor*>(descriptor);
  open->revision = 1;
  open->everyUser = 1;
  auto* record = static_cast<SecurityAttributes*>(attributes);
  record->length = sizeof(SecurityAttributes);
  record->descriptor = descriptor;
  record->inheritHandle = 0;
  return record;
}

void* securityDescriptorOf(const SecurityAttributes* attributes) { return attributes->descriptor; }

} // namespace tsk::platform
