// The demo program shows each family at work, one section per family.
#ifndef TSKBASE_EXAMPLES_DEMO_H
#define TSKBASE_EXAMPLES_DEMO_H

#include <cstddef>
#include <string>

#include "tskbase/common.h"

namespace demo {

// Prints a section heading.
void heading(const char* title);

// Prints `size` bytes as rows of 16 hex bytes with their offsets.
void hexDump(const unsigned char* data, size_t size);

// UTF-16 text as printable ASCII, for text known to hold Basic Latin only
// (anything else shows as '?').
std::string ascii(const tsk_wchar_t* text);

void packedBuffers();
void commandLine();
void parseTables();
void stackStrings();
void paddedAndAllocated();
void guids();
void locks();
void crossProcessLocks();
// The second process of crossProcessLocks(): the demo started with the
// arguments "--take-turns mutex|iplock NAME FILE". Returns the exit code.
int crossProcessLockChild(int argc, char** argv);
void modulePathAndLockFiles();
void recycleBin();
void registrySettings();
void referenceCounting();
void stringConversion();
void strings();
void threadPools();

} // namespace demo

#endif // TSKBASE_EXAMPLES_DEMO_H
