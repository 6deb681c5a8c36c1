// Settings under HKEY_CURRENT_USER\Software\tskbase\demo: a run counter, a
// string and a list, read back; a read-only key refuses to write.
#include "tskbase/reg_settings.h"

#include <cstdio>

#include "demo.h"

void demo::registrySettings() {
  heading("Registry settings");

  const tsk_wchar_t* const path = TSK_W("Software\\tskbase\\demo");
  CRegSettings settings;
  const long opened = settings.OpenSubkey(0, TSK_HKEY_CURRENT_USER, path);
  if (opened != 0) {
    std::printf("HKEY_CURRENT_USER\\Software\\tskbase\\demo cannot be opened: status %ld\n",
                opened);
    return;
  }
  tsk_dword runs = 0;
  settings.GetDWORD(TSK_W("Runs"), &runs); // 2 (not found) on the first run
  settings.SetDWORD(TSK_W("Runs"), runs + 1);
  settings.SetString(TSK_W("Greeting"), TSK_W("hello from tskbase"));
  settings.SetMultiString(TSK_W("Colours"), TSK_W("red\0green\0"));

  runs = 0;
  tsk_wchar_t greeting[64] = {0};
  tsk_dword listSize = 0;
  settings.GetDWORD(TSK_W("Runs"), &runs);
  settings.GetString(TSK_W("Greeting"), greeting, sizeof greeting);
  settings.GetSize(TSK_W("Colours"), &listSize);
  std::printf(
      "Runs      %lu\nGreeting  \"%s\"\nColours   %lu bytes (red, green, closing empty string)\n",
      static_cast<unsigned long>(runs), ascii(greeting).c_str(),
      static_cast<unsigned long>(listSize));

  const CRegSettings readOnly(1, TSK_HKEY_CURRENT_USER, path);
  std::printf("writing through a read-only key: status %ld (access denied)\n",
              readOnly.SetDWORD(TSK_W("Runs"), 0));
}
