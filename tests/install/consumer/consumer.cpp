// Uses an installed or packaged copy of the library: exits 0 when a packed
// value reads back and an exported class counts, and prints the version of
// the headers it was built with.
#include <cstdio>

#include <tskbase/buffer.h>
#include <tskbase/reference_count.h>
#include <tskbase/version.h>

int main() {
  unsigned char buf[8];
  unsigned char* p = buf;
  int32_t value = 0;
  if (buffer_packInt(&p, p, 1234) != TSK_OK) {
    return 1;
  }
  p = buf;
  if (buffer_unpackInt(&p, p, &value) != TSK_OK || value != 1234) {
    return 1;
  }
  ReferenceCount count;
  if (count.AddRef() != 2 || count.Release() != 1) {
    return 1;
  }
  std::printf("tskbase %s\n", TSKBASE_VERSION);
  return 0;
}
