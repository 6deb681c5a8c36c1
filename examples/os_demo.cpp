// Where the demo's executable lies, a path composed beside it, and a lock
// file guarding a data file there.
#include "tskbase/file_lock.h"
#include "tskbase/module_path.h"
#include "tskbase/os_util.h"

#include <cstdio>

#include "demo.h"

void demo::modulePathAndLockFiles() {
  heading("Module path and lock files");

  const tsk_wchar_t* base = module_getBasePath();
  const tsk_wchar_t* name = module_getFileName();
  if (base == nullptr || name == nullptr) {
    std::printf("the executable's path cannot be read\n");
    return;
  }
  std::printf("executable directory  %s\nexecutable file name  %s\n", ascii(base).c_str(),
              ascii(name).c_str());

  tsk_wchar_t data[MODULE_PATH_CAPACITY];
  const uint32_t length =
      module_setFilePath(data, MODULE_PATH_CAPACITY, TSK_W("demo.dat"), nullptr);
  if (length == 0) {
    std::printf("no room for a path beside it\n");
    return;
  }
  std::printf("data file beside it   %s (%u characters)\n", ascii(data).c_str(), length);

  FileLock reader;
  FileLock secondReader;
  tsk_wchar_t lockName[MODULE_PATH_CAPACITY];
  reader.GetLockName(data, lockName, MODULE_PATH_CAPACITY);
  std::printf("its lock file         %s\n", ascii(lockName).c_str());
  const bool first = reader.Create(FileLock::FILE_LOCK_SHARED, data, 1);
  const bool second = secondReader.Create(FileLock::FILE_LOCK_SHARED, data, 1);
  std::printf("two shared holders: %s, %s; lock file exists: %s\n", first ? "held" : "refused",
              second ? "held" : "refused", reader.Exists(data) ? "yes" : "no");
  reader.Close();
  std::printf("after the first closes, it exists: %s\n", reader.Exists(data) ? "yes" : "no");
  secondReader.Close();
  std::printf("after the last closes, it exists: %s\n", reader.Exists(data) ? "yes" : "no");

  tsk_wchar_t* message = nullptr;
  osUtil_formatLastError(2, &message);
  if (message != nullptr) {
    std::printf("system error 2 reads  \"%s\"\n", ascii(message).c_str());
    osUtil_freeMemory(message);
  }
}
