// Owner of one VARIANT: cleared (releasing what it holds) when it goes.
#pragma once

#include "core/Win32.h"

#include <oleauto.h>

class ComVariant {
public:
    ComVariant() { VariantInit(&value_); }
    ~ComVariant() { VariantClear(&value_); }
    ComVariant(const ComVariant&) = delete;
    ComVariant& operator=(const ComVariant&) = delete;

    const VARIANT& get() const { return value_; }
    // Clears the current value; the address is for a COM out-parameter or
    // for filling in a value that the variant then owns.
    VARIANT* receive()
    {
        VariantClear(&value_);
        return &value_;
    }

private:
    VARIANT value_;
};
