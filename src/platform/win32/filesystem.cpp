#include "platform/filesystem.h"

#include <windows.h>

#include <shellapi.h>

#include <io.h>

#include <new>
#include <string>

namespace tsk::platform {

namespace {

HANDLE toHandle(FileHandle handle) { return reinterpret_cast<HANDLE>(handle); }

} // namespace

LockFileResult openLockFile(const tsk_wchar_t* path, bool exclusive, FileHandle* handle) {
  // Shared holders read and let others read; an exclusive holder writes and
  // lets nobody in. Nobody grants delete sharing, so the file cannot be
  // deleted while anyone holds it.
  const HANDLE file =
      CreateFileW(path, exclusive ? GENERIC_WRITE : GENERIC_READ, exclusive ? 0 : FILE_SHARE_READ,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return GetLastError() == ERROR_SHARING_VIOLATION ? LockFileResult::kHeldElsewhere
                                                     : LockFileResult::kFailed;
  }
  *handle = reinterpret_cast<FileHandle>(file);
  return LockFileResult::kLocked;
}

FileHandle duplicateLockFile(FileHandle handle) {
  HANDLE copy = nullptr;
  const HANDLE process = GetCurrentProcess();
  if (!DuplicateHandle(process, toHandle(handle), process, &copy, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return kInvalidFileHandle;
  }
  return reinterpret_cast<FileHandle>(copy);
}

void closeLockFile(FileHandle handle, const tsk_wchar_t* path) {
  CloseHandle(toHandle(handle));
  // Fails with a sharing violation while another holder has the file open.
  DeleteFileW(path);
}

bool fileExists(const tsk_wchar_t* path) { return _waccess(path, 0) == 0; }

bool isDirectory(const tsk_wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int32_t deleteFileObject(const tsk_wchar_t* path) {
  if (path == nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  try {
    // The shell takes a list of names, each terminated, ending in an empty one.
    std::wstring from(path);
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
    return SHFileOperationW(&operation);
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

} // namespace tsk::platform
