// A failed COM call carried as an exception inside the module, in place of
// the compiler COM support's _com_error. It never leaves the module: the
// exported functions catch everything.
#pragma once

#include "core/Win32.h"

#include <exception>

class ComError : public std::exception {
public:
    explicit ComError(HRESULT result) : result_(result) {}
    HRESULT error() const { return result_; }
    const char* what() const noexcept override { return "COM call failed"; }

private:
    HRESULT result_;
};

// Throws ComError for a failed HRESULT; returns a success unchanged.
inline HRESULT checkHr(HRESULT result)
{
    if (FAILED(result))
        throw ComError(result);
    return result;
}
