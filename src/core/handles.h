// Handles of the plain-function families are object addresses. A destroy or
// free function takes the address of the caller's handle variable.
#ifndef TSKBASE_SRC_CORE_HANDLES_H
#define TSKBASE_SRC_CORE_HANDLES_H

#include "tskbase/common.h"

namespace tsk {

// Destroys the object that *handle points to through its virtual destructor
// and sets *handle to null. TSK_FAIL, doing nothing, if handle or *handle is
// null.
template <typename T>
tsk_status destroyHandle(T** handle) {
  if (handle == nullptr || *handle == nullptr) {
    return TSK_FAIL;
  }
  delete *handle;
  *handle = nullptr;
  return TSK_OK;
}

} // namespace tsk

#endif // TSKBASE_SRC_CORE_HANDLES_H
