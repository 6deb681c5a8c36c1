// tskbase_demo: shows what the library does, family by family.
#include "demo.h"

#include <cstdio>

#include "tskbase/version.h"

namespace demo {

void heading(const char* title) { std::printf("\n== %s\n\n", title); }

void hexDump(const unsigned char* data, size_t size) {
  for (size_t row = 0; row < size; row += 16) {
    std::printf("  %04zx ", row);
    for (size_t i = row; i < row + 16 && i < size; ++i) {
      std::printf(" %02x", data[i]);
    }
    std::printf("\n");
  }
}

std::string ascii(const tsk_wchar_t* text) {
  std::string out;
  for (; *text != 0; ++text) {
    out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
  }
  return out;
}

} // namespace demo

int main(int argc, char** argv) {
  if (argc > 1) {
    return demo::crossProcessLockChild(argc, argv);
  }
  std::printf("tskbase demo, version %s\n", TSKBASE_VERSION);
  demo::packedBuffers();
  demo::paddedAndAllocated();
  demo::guids();
  demo::modulePathAndLockFiles();
  demo::recycleBin();
  demo::registrySettings();
  demo::referenceCounting();
  demo::stringConversion();
  demo::strings();
  demo::stackStrings();
  demo::parseTables();
  demo::commandLine();
  demo::locks();
  demo::crossProcessLocks();
  demo::threadPools();
  return 0;
}
