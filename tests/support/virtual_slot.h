// Where a virtual member function sits in its class's table of virtual
// functions, so that tests can hold exported classes to their slot order.
#ifndef TSKBASE_TESTS_SUPPORT_VIRTUAL_SLOT_H
#define TSKBASE_TESTS_SUPPORT_VIRTUAL_SLOT_H

#include <cstdint>
#include <cstring>

namespace tsk::test {

// The slot index of a pointer to a virtual member, or -1 for a non-virtual
// one. Such a pointer holds 1 + the slot's byte offset in the table (Itanium
// C++ ABI, used by g++, clang and MinGW); a virtual destructor takes two
// slots.
template <typename Member>
int virtualSlot(Member member) {
  uintptr_t raw[2];
  static_assert(sizeof raw == sizeof member, "a pointer to member function");
  std::memcpy(raw, &member, sizeof raw);
  return raw[0] & 1 ? static_cast<int>((raw[0] - 1) / sizeof(void*)) : -1;
}

} // namespace tsk::test

#endif // TSKBASE_TESTS_SUPPORT_VIRTUAL_SLOT_H
