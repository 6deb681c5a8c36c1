// A file sent to the recycle bin, then purged from it by its original path
// and a window around the time it was sent.
#include "tskbase/os_util.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "demo.h"

namespace {

// The local time now, moved by `offset` seconds: the time base of the bin
// outside Windows.
tsk_systemtime localTime(int offset) {
  const std::time_t when = std::time(nullptr) + offset;
  const std::tm local = *std::localtime(&when);
  return {static_cast<uint16_t>(local.tm_year + 1900), static_cast<uint16_t>(local.tm_mon + 1),
          static_cast<uint16_t>(local.tm_wday),        static_cast<uint16_t>(local.tm_mday),
          static_cast<uint16_t>(local.tm_hour),        static_cast<uint16_t>(local.tm_min),
          static_cast<uint16_t>(local.tm_sec),         0};
}

} // namespace

void demo::recycleBin() {
  heading("Recycle bin");

  const std::filesystem::path file = std::filesystem::temp_directory_path() / "tskbase-demo.txt";
  std::ofstream(file) << "sent to the bin by the tskbase demo\n";
#if defined(_WIN32)
  const std::wstring path = file.wstring();
#else
  const std::u16string path = file.u16string();
#endif
  const tsk_systemtime before = localTime(-60);
  const tsk_status sent = osUtil_sendFileToRecycleBin(path.c_str());
  std::printf("send %s: %s; still there: %s\n", file.string().c_str(),
              sent == TSK_OK ? "TSK_OK" : "TSK_FAIL", std::filesystem::exists(file) ? "yes" : "no");

  const tsk_systemtime after = localTime(60);
  const tsk_status purged =
      osUtil_removeItemFromRecycleBinByOriginalPath(path.c_str(), &before, &after);
  std::printf("purge its copies deleted in the last minute: %s%s\n",
              purged == TSK_OK ? "TSK_OK" : "TSK_FAIL",
              purged == TSK_OK ? "" : " (this bin shows no original paths or deletion dates)");
}
