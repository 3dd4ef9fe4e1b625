// The module-load baseline: a DLL with nothing in it but what the toolchain
// and the static runtime bring.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
