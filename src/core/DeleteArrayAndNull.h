// Frees a heap array and nulls the pointer that held it, so that a second
// release of the same owner is harmless.
#pragma once

template <typename T>
void deleteArrayAndNull(T** pointer)
{
    if (pointer && *pointer) {
        delete[] *pointer;
        *pointer = nullptr;
    }
}
