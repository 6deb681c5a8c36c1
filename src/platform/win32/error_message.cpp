#include "platform/error_message.h"

#include <windows.h>

#include "tskbase/scoped_resource.h"

namespace tsk::platform {

namespace {

struct LocalFreeDeleter {
  void operator()(wchar_t* block) const { LocalFree(block); }
};

} // namespace

bool systemErrorMessage(uint32_t code, std::basic_string<tsk_wchar_t>* text) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
      nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&buffer),
      0, nullptr);
  const Tarsk::ScopedResource<wchar_t*, LocalFreeDeleter> message(buffer);
  if (buffer == nullptr) {
    return false;
  }
  text->assign(buffer, length);
  return true;
}

} // namespace tsk::platform
