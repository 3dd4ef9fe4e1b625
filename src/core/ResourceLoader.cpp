#include "core/ResourceLoader.h"


namespace MPrint {

ResourceLoader::ResourceLoader() : language_(GetUserDefaultLangID())
{
}

ResourceLoader::ResourceLoader(HMODULE module) : module_(module), language_(GetUserDefaultLangID())
{
}

ResourceLoader::ResourceLoader(const std::wstring& fileName) : moduleName_(fileName), language_(GetUserDefaultLangID())
{
    loadByName();
}

ResourceLoader::ResourceLoader(const wchar_t* fileName)
    : moduleName_(fileName ? fileName : L""), language_(GetUserDefaultLangID())
{
    loadByName();
}

ResourceLoader::ResourceLoader(const ResourceLoader& other)
    : moduleName_(other.moduleName_), language_(other.language_)
{
    if (other.isOwned())
        loadByName();
    else
        module_ = other.module_;
}

ResourceLoader& ResourceLoader::operator=(const ResourceLoader& other)
{
    if (this == &other)
        return *this;
    release();
    language_ = other.language_;
    if (other.isOwned()) {
        moduleName_ = other.moduleName_;
        loadByName();
    } else {
        module_ = other.module_;
        moduleName_.clear();
    }
    return *this;
}

ResourceLoader::~ResourceLoader()
{
    release();
}

void ResourceLoader::release()
{
    loaded_.reset();
    module_ = nullptr;
}

void ResourceLoader::loadByName()
{
    loaded_.reset(moduleName_.empty() ? nullptr : LoadLibraryW(moduleName_.c_str()));
    module_ = loaded_.get();
}

void ResourceLoader::setModule(HMODULE module)
{
    release();
    module_ = module;
    moduleName_.clear();
}

void ResourceLoader::load(const std::wstring& fileName)
{
    release();
    moduleName_ = fileName;
    loadByName();
}

void ResourceLoader::load(const wchar_t* fileName)
{
    load(std::wstring(fileName ? fileName : L""));
}

bool ResourceLoader::isRightToLeft() const
{
    const WORD primary = PRIMARYLANGID(language_);
    return primary == LANG_ARABIC || primary == LANG_HEBREW;
}

size_t ResourceLoader::loadString(UINT id, std::wstring& out) const
{
    if (!module_)
        return 0;
    // A string table block holds 16 counted strings: ids 0-15 are block 1.
    const wchar_t* block = MAKEINTRESOURCEW(id / 16 + 1);
    const UINT index = id % 16;
    HRSRC resource = FindResourceExW(module_, RT_STRING, block, language_);
    if (!resource && GetLastError() == ERROR_RESOURCE_LANG_NOT_FOUND)
        resource = FindResourceExW(module_, RT_STRING, block, LANG_USER_DEFAULT);
    if (!resource)
        return 0;
    HGLOBAL loaded = LoadResource(module_, resource);
    const DWORD bytes = SizeofResource(module_, resource);
    const WCHAR* data = loaded ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
    if (!data)
        return 0;
    // Every count is checked against the block's real size, so a damaged
    // module cannot make the walk read past it.
    const size_t units = bytes / sizeof(WCHAR);
    size_t pos = 0;
    for (UINT i = 0; i < index; ++i) {
        if (pos >= units)
            return 0;
        pos += 1 + data[pos];
    }
    if (pos >= units)
        return 0;
    size_t length = data[pos];
    if (length == 0 || pos + 1 + length > units)
        return 0;
    if (length > kMaxStringLength)
        length = kMaxStringLength;
    // The text ends at its first NUL, as a C string would.
    const WCHAR* text = data + pos + 1;
    size_t copied = 0;
    while (copied < length && text[copied] != L'\0')
        ++copied;
    if (copied == 0)
        return 0;
    out.assign(text, copied);
    return copied;
}

std::wstring ResourceLoader::loadString(UINT id) const
{
    std::wstring text;
    loadString(id, text);
    return text;
}

HICON ResourceLoader::loadIconSized(const wchar_t* name, int size) const
{
    // Without a module LoadImageW would look among the system's own icons.
    if (!module_ || !name)
        return nullptr;
    return static_cast<HICON>(LoadImageW(module_, name, IMAGE_ICON, size, size, LR_SHARED));
}

HICON ResourceLoader::loadIcon(UINT id) const
{
    return loadIconSized(MAKEINTRESOURCEW(id), 32);
}

HICON ResourceLoader::loadIcon(const wchar_t* name) const
{
    return loadIconSized(name, 32);
}

HICON ResourceLoader::loadLargeIcon(UINT id) const
{
    return loadIconSized(MAKEINTRESOURCEW(id), 48);
}

HICON ResourceLoader::loadLargeIcon(const wchar_t* name) const
{
    return loadIconSized(name, 48);
}

} // namespace MPrint
