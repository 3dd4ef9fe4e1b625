// Strings and icons of a resource module, in the loader's own language
// rather than the thread's. The loader either owns its module (loaded by
// name, freed once per load) or borrows a handle; a failed load leaves no
// module, and every string then comes back empty and every icon null.
#pragma once

#include "core/ScopedHandle.h"
#include "core/Win32.h"

#include <string>

namespace MPrint {

class ResourceLoader {
public:
    ResourceLoader();
    explicit ResourceLoader(HMODULE module);
    explicit ResourceLoader(const std::wstring& fileName);
    explicit ResourceLoader(const wchar_t* fileName);
    ResourceLoader(const ResourceLoader& other);
    ResourceLoader& operator=(const ResourceLoader& other);
    virtual ~ResourceLoader();

    void setModule(HMODULE module);
    void load(const std::wstring& fileName);
    void load(const wchar_t* fileName);
    HMODULE getModule() const { return module_; }
    const std::wstring& getModuleName() const { return moduleName_; }
    bool isOwned() const { return loaded_.valid(); }

    void setLanguage(LANGID language) { language_ = language; }
    LANGID getLanguage() const { return language_; }

    // The right-to-left value when the language is Arabic or Hebrew.
    template <typename T>
    T pickByDirection(T leftToRight, T rightToLeft) const
    {
        return isRightToLeft() ? rightToLeft : leftToRight;
    }
    bool isRightToLeft() const;

    // Characters copied (at most kMaxStringLength); 0 when the id has no
    // string, and out is then unchanged.
    size_t loadString(UINT id, std::wstring& out) const;
    std::wstring loadString(UINT id) const;

    // Shared icons (LR_SHARED): never destroyed by the caller.
    HICON loadIcon(UINT id) const;
    HICON loadIcon(const wchar_t* name) const;
    HICON loadLargeIcon(UINT id) const;
    HICON loadLargeIcon(const wchar_t* name) const;

    static constexpr size_t kMaxStringLength = 255;

private:
    void release();
    void loadByName();
    HICON loadIconSized(const wchar_t* name, int size) const;

    ScopedModule loaded_;     // a module this loader loaded by name
    HMODULE module_ = nullptr; // the one in use: loaded_'s or a borrowed one
    std::wstring moduleName_;
    LANGID language_;
};

} // namespace MPrint
