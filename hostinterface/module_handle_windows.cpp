// The library's load notification on Windows: remembers the module instance handle.
#include "audioeffect.h"

#include <windows.h>

void* moduleHandle = nullptr;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/) {
    moduleHandle = instance;
    return TRUE;
}
