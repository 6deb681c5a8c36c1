// The DLL's entry point. The library keeps no per-thread state that needs
// the loader's help, so it asks for no thread notifications; everything else
// happens in the runtime's static initialisation (and its exit list at
// unload), which runs around this function.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(module);
  }
  return TRUE;
}
