// The DLL's entry point. It switches off the thread attach and detach
// notifications, which the library does not use, and does nothing else: the
// state made at load (g_debugLogLock) comes from the runtime's static
// initialisation, which runs before this function, and is destroyed through
// the runtime's exit list at unload.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(module);
  }
  return TRUE;
}
