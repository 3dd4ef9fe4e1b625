// The protected-mode query of Internet Explorer's frame library. Its answer
// is chosen by the environment variable VRELM_IEFRAME_ANSWER = "<HRESULT>"
// or "<HRESULT>,<BOOL>" (numbers in C notation, e.g. "0,1" or
// "0x80070005"). Unset, it answers what a process outside protected mode
// hears: S_OK and FALSE.
#include <windows.h>

#include <cstdlib>

extern "C" HRESULT WINAPI IEIsProtectedModeProcess(BOOL* protectedMode)
{
    if (!protectedMode)
        return E_POINTER;
    char answer[64] = {};
    const DWORD length = GetEnvironmentVariableA("VRELM_IEFRAME_ANSWER", answer, sizeof(answer));
    if (length == 0 || length >= sizeof(answer)) {
        *protectedMode = FALSE;
        return S_OK;
    }
    char* rest = nullptr;
    const HRESULT result = static_cast<HRESULT>(std::strtoul(answer, &rest, 0));
    *protectedMode = (rest && *rest == ',') ? static_cast<BOOL>(std::strtol(rest + 1, nullptr, 0)) : FALSE;
    return result;
}
