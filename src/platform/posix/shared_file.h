// The file behind a named machine-wide object outside Windows: its name, how
// the first user makes it and the last one removes it, and its contents
// mapped into the process. Private to src/platform/posix/.
//
// Names. Every object is a file in /dev/shm (memory that is never written
// to disk) named "tskbase." and the object name escaped: letters, digits,
// '.', '-' and '_' stand for themselves, every other UTF-16 unit is '%' and
// its four hex digits, so that every name has a file name of its own. A file
// name that would grow too long keeps the start of the escaped name and ends
// in '~' and a 128-bit hash of the whole name. The file also holds the name
// itself, and an object whose file holds another name is refused: two names
// never share an object.
//
// Lifetime. Every user, in every process, holds a shared flock() on the
// file. A user that closes tries for an exclusive lock without waiting;
// getting it means that nobody else uses the object, and it removes the
// file. The system drops the locks of a process that ends, so a user that
// crashed counts as gone. A file that nobody holds any more (its last users
// crashed) is made afresh in place by the next opener of its name, under the
// exclusive lock, and removed by the next process that opens any named
// object: each process looks for such files once, at its first open.
//
// Races. A file is made complete under no name (O_TMPFILE) and then linked
// into place, so that an opener never sees half an object. An opener that
// has its shared lock checks that the name still leads to the file it
// locked (the last user may have removed it meanwhile) and starts again if
// not. A user that removes the file checks the same under its exclusive
// lock, which nobody else can hold then.
#ifndef TSKBASE_SRC_PLATFORM_POSIX_SHARED_FILE_H
#define TSKBASE_SRC_PLATFORM_POSIX_SHARED_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tsk::platform::posix {

// Where the files lie, and the start of their names.
inline constexpr char kSharedFileDirectory[] = "/dev/shm";
inline constexpr char kSharedFilePrefix[] = "tskbase.";

// The name of the file (without its directory) of the object `name`.
std::string sharedFileName(std::u16string_view name);

// The kinds of object, which share one namespace.
enum class SharedKind : uint32_t { kEvent = 1, kMutex = 2, kMemory = 3 };

enum class OpenResult {
  kOpened,
  kOtherKind, // the name belongs to an object of another kind
  kFailed,    // the system refused, or the file belongs to another name
};

// A mapping of a whole file, and where the object's contents start in it.
struct MappedFile {
  void* base;
  size_t size;
  void* payload; // null when the mapping failed
};

void unmap(const MappedFile& mapping);

class SharedFile {
public:
  // Sets up the contents of an object that is being made (its `payload`
  // bytes are zero).
  using Initialiser = bool (*)(void* payload, const void* context);

  SharedFile() = default;
  ~SharedFile() { close(); }
  SharedFile(const SharedFile&) = delete;
  SharedFile& operator=(const SharedFile&) = delete;

  // Opens the object `name` of `kind` and maps its contents; when there is
  // none, makes it with `payloadSize` bytes and initialise(payload, context).
  // An existing object keeps its own size. `name` has at most
  // kMaxObjectName units.
  OpenResult open(std::u16string_view name, SharedKind kind, uint32_t payloadSize,
                  Initialiser initialise, const void* context);

  // Unmaps the contents and gives up this use of the object; the last user
  // removes the file.
  void close();

  // Unmaps and closes, leaving the file to its other users: for an object
  // inherited through fork(), whose lock the parent holds through the same
  // open file.
  void leave();

  void* payload() const { return payload_; }

  // Maps the open file once more, at an address of its own; the mapping
  // stays valid after the file is closed, until unmap().
  MappedFile mapAgain() const;

private:
  enum class Step { kDone, kAgain, kOtherKind, kFailed };

  struct Request {
    std::u16string_view name;
    SharedKind kind;
    uint32_t payloadSize;
    Initialiser initialise;
    const void* context;
  };

  Step create(const Request& request);
  Step join(int fd, const Request& request);
  Step mapChecked(int fd, const Request& request);
  bool build(int fd, const Request& request);
  void unmap();
  void forget(int fd);

  std::string path_;
  int fd_ = -1;
  void* mapping_ = nullptr;
  size_t mappingSize_ = 0;
  void* payload_ = nullptr;
};

} // namespace tsk::platform::posix

#endif // TSKBASE_SRC_PLATFORM_POSIX_SHARED_FILE_H
