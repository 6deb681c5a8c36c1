// Creates a GUID, writes its text forms and parses one of them back.
#include "tskbase/guid.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "demo.h"

void demo::guids() {
  heading("GUIDs: a new GUID, its text forms and back");

  tsk_guid guid;
  if (guid_create(&guid) != 1) {
    std::printf("guid_create failed\n");
    return;
  }
  std::printf("bytes in memory:\n");
  hexDump(reinterpret_cast<const unsigned char*>(&guid), sizeof guid);

  tsk_wchar_t text[39];
  const uint32_t forms[] = {0, GUID_FLAG_BRACES | GUID_FLAG_UPPERCASE, GUID_FLAG_APOSTROPHES};
  for (uint32_t flags : forms) {
    guid_guidToString(&guid, flags, text, 39);
    std::printf("  flags %u  %s\n", flags, ascii(text).c_str());
  }

  guid_guidToString(&guid, GUID_FLAG_BRACES, text, 39);
  tsk_guid parsed;
  const tsk_status status = guid_stringToGuid(text, &parsed);
  std::printf("parsed back: status %u, %s\n", status,
              std::memcmp(&guid, &parsed, sizeof guid) == 0 ? "same 16 bytes" : "DIFFERENT");
}
