// Uses the installed library: exits 0 when a packed value reads back.
#include <tskbase/buffer.h>

int main() {
  unsigned char buf[8];
  unsigned char* p = buf;
  int32_t value = 0;
  if (buffer_packInt(&p, p, 1234) != TSK_OK) {
    return 1;
  }
  p = buf;
  return buffer_unpackInt(&p, p, &value) == TSK_OK && value == 1234 ? 0 : 1;
}
