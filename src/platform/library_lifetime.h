// How long the library stays in the process.
#ifndef TSKBASE_SRC_PLATFORM_LIBRARY_LIFETIME_H
#define TSKBASE_SRC_PLATFORM_LIBRARY_LIFETIME_H

namespace tsk::platform {

// Keeps the library loaded until the process ends, however often its users
// unload it afterwards (dlclose, FreeLibrary): for threads of the library's
// own, which must never run on after its code is gone. The library's
// static objects are then destroyed only at the process's exit.
void keepLibraryLoaded();

} // namespace tsk::platform

#endif // TSKBASE_SRC_PLATFORM_LIBRARY_LIFETIME_H
