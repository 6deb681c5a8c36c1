// The demo program shows each family at work, one section per family.
#ifndef TSKBASE_EXAMPLES_DEMO_H
#define TSKBASE_EXAMPLES_DEMO_H

#include <cstddef>

namespace demo {

// Prints a section heading.
void heading(const char* title);

// Prints `size` bytes as rows of 16 hex bytes with their offsets.
void hexDump(const unsigned char* data, size_t size);

void packedBuffers();
void paddedAndAllocated();
void guids();
void referenceCounting();
void stringConversion();
void strings();

} // namespace demo

#endif // TSKBASE_EXAMPLES_DEMO_H
