// The shell's recycle bin: SHFileOperationW with undo to send, and the
// recycle-bin folder's COM enumeration, with each item's display name,
// parsing name and deletion-date column, to walk it.
#include "platform/trash.h"

#include <windows.h>

#include <oleauto.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstring>
#include <new>

#include "platform/filesystem.h"
#include "tskbase/scoped_resource.h"
#include "tskbase/strings.h"

namespace {

using Tarsk::ScopedResource;

static_assert(sizeof(tsk_systemtime) == sizeof(SYSTEMTIME) &&
              offsetof(tsk_systemtime, wMilliseconds) == offsetof(SYSTEMTIME, wMilliseconds));

// FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO | FOF_NOERRORUI.
constexpr FILEOP_FLAGS kSendFlags = 0x454;
// SHCONTF_FOLDERS | SHCONTF_NONFOLDERS.
constexpr SHCONTF kAllItems = 0x60;
constexpr ULONGLONG kTicksPerSecond = 10000000;

constexpr KNOWNFOLDERID kRecycleBinFolder = {
    0xB7534046, 0x3ECB, 0x4C18, {0xBE, 0x4E, 0x64, 0xCD, 0x4C, 0xB7, 0xD6, 0xAC}};
constexpr IID kShellFolder2 = {
    0x93F2F68C, 0x1D1B, 0x11D3, {0xA3, 0x0E, 0x00, 0xC0, 0x4F, 0x79, 0xAB, 0xD1}};
constexpr SHCOLUMNID kDateDeletedColumn = {
    {0x9B174B33, 0x40FF, 0x11D2, {0xA2, 0x7E, 0x00, 0xC0, 0x4F, 0xC3, 0x08, 0x71}}, 3};

struct ItemIdListDeleter {
  void operator()(LPCITEMIDLIST list) const { ILFree(const_cast<LPITEMIDLIST>(list)); }
};
struct IUnknownInstanceDeleter {
  void operator()(IUnknown* instance) const { instance->Release(); }
};
struct CoTaskMemFreeInstance {
  void operator()(wchar_t* text) const { CoTaskMemFree(text); }
};

using ItemIdList = ScopedResource<LPCITEMIDLIST, ItemIdListDeleter>;
using Interface = ScopedResource<IUnknown*, IUnknownInstanceDeleter>;
using ShellText = ScopedResource<wchar_t*, CoTaskMemFreeInstance>;

// COM in the multithreaded apartment for the length of a scope.
class ComApartment {
public:
  ComApartment() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
  ~ComApartment() {
    if (initialised_) {
      CoUninitialize();
    }
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  bool initialised() const { return initialised_; }

private:
  bool initialised_;
};

// SystemTimeToFileTime in whole seconds.
std::optional<int64_t> wholeSeconds(const SYSTEMTIME& time) {
  FILETIME ticks{};
  if (!SystemTimeToFileTime(&time, &ticks)) {
    return std::nullopt;
  }
  const ULONGLONG count =
      (static_cast<ULONGLONG>(ticks.dwHighDateTime) << 32) | ticks.dwLowDateTime;
  return static_cast<int64_t>(count / kTicksPerSecond);
}

// The recycle-bin folder as an extended shell folder, or null.
IShellFolder2* openRecycleBin() {
  PIDLIST_ABSOLUTE list = nullptr;
  if (FAILED(SHGetKnownFolderIDList(kRecycleBinFolder, 0, nullptr, &list))) {
    return nullptr;
  }
  const ItemIdList listHolder(list);
  IShellFolder* desktop = nullptr;
  if (FAILED(SHGetDesktopFolder(&desktop))) {
    return nullptr;
  }
  const Interface desktopHolder(desktop);
  void* folder = nullptr;
  // An empty list denotes the desktop itself.
  const HRESULT result = list->mkid.cb == 0
                             ? desktop->QueryInterface(kShellFolder2, &folder)
                             : desktop->BindToObject(list, nullptr, kShellFolder2, &folder);
  return SUCCEEDED(result) ? static_cast<IShellFolder2*>(folder) : nullptr;
}

// One of the item's names (SHGDN_NORMAL, SHGDN_FORPARSING); empty when it
// cannot be read.
std::wstring nameOf(IShellFolder2* folder, PCUITEMID_CHILD item, SHGDNF kind) {
  STRRET name{};
  wchar_t* text = nullptr;
  if (FAILED(folder->GetDisplayNameOf(item, kind, &name)) ||
      FAILED(StrRetToStrW(&name, item, &text))) {
    return {};
  }
  const ShellText holder(text);
  return text;
}

// The deletion-date column of the item as whole seconds.
std::optional<int64_t> deletionTime(IShellFolder2* folder, PCUITEMID_CHILD item) {
  VARIANT date;
  VariantInit(&date);
  SYSTEMTIME time{};
  std::optional<int64_t> seconds;
  if (SUCCEEDED(folder->GetDetailsEx(item, &kDateDeletedColumn, &date)) && date.vt == VT_DATE &&
      VariantTimeToSystemTime(date.date, &time)) {
    seconds = wholeSeconds(time);
  }
  VariantClear(&date);
  return seconds;
}

} // namespace

namespace tsk::platform {

std::optional<int64_t> calendarSeconds(const tsk_systemtime& time) {
  SYSTEMTIME system;
  std::memcpy(&system, &time, sizeof system);
  return wholeSeconds(system);
}

bool moveToTrash(const tsk_wchar_t* path) {
  try {
    // The shell takes '\' only, and a list of names ending in an empty one.
    std::wstring from(path);
    string_replaceCharW(from.data(), L'/', L'\\');
    from.append(2, L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = kSendFlags;
    return SHFileOperationW(&operation) == 0;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

TrashWalk walkTrash(const std::function<bool(const TrashItem&)>& visit) {
  const ComApartment com;
  if (!com.initialised()) {
    return TrashWalk::kUnavailable;
  }
  IShellFolder2* folder = openRecycleBin();
  if (folder == nullptr) {
    return TrashWalk::kUnavailable;
  }
  const Interface folderHolder(folder);
  IEnumIDList* items = nullptr;
  if (folder->EnumObjects(nullptr, kAllItems, &items) != S_OK || items == nullptr) {
    return TrashWalk::kUnavailable;
  }
  const Interface itemsHolder(items);
  PITEMID_CHILD item = nullptr;
  while (items->Next(1, &item, nullptr) == S_OK) {
    const ItemIdList itemHolder(item);
    const TrashItem entry{nameOf(folder, item, SHGDN_NORMAL), deletionTime(folder, item),
                          nameOf(folder, item, SHGDN_FORPARSING)};
    if (!visit(entry)) {
      return TrashWalk::kStopped;
    }
  }
  return TrashWalk::kCompleted;
}

int32_t purgeTrashItem(const TrashItem& item) { return deleteFileObject(item.location.c_str()); }

} // namespace tsk::platform
