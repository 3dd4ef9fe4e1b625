#include "destination/TargetHistoryList.h"

#include "core/SaxReaderScope.h"
#include "core/StringConversion.h"
#include "core/TextFormat.h"
#include "destination/PrintPathAttr.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

namespace {

using historylayout::ageName;
using historylayout::kLengthValue;
using historylayout::kLimitValue;
using historylayout::targetName;

// A load holds the lock shared while it asks the resolver, so taking the
// resolver away (exclusive) waits for every question in flight.
std::shared_mutex processResolverLock;
OlderEntryResolver* processResolver = nullptr; // guarded by processResolverLock

// One stored entry while loading.
struct TargetHistoryEntry {
    DWORD age = 0;
    std::unique_ptr<MPrint::PrintPath> path;
};

} // namespace

TargetHistoryList::TargetHistoryList(const RegistryKey& key) : key_(key)
{
}

void TargetHistoryList::setProcessResolver(OlderEntryResolver* resolver)
{
    std::unique_lock<std::shared_mutex> exclusive(processResolverLock);
    processResolver = resolver;
}

bool TargetHistoryList::removeProcessResolver(const OlderEntryResolver* resolver)
{
    std::unique_lock<std::shared_mutex> exclusive(processResolverLock);
    if (processResolver != resolver)
        return false;
    processResolver = nullptr;
    return true;
}

// The stored counts come from values the user can write: no loop over them
// goes past the number of values the key really holds, which every stored
// entry needs one of.
DWORD historylayout::storedValueCount(const RegistryKey& key)
{
    DWORD values = 0;
    if (!key.isOpen() ||
        RegQueryInfoKeyW(key.getHandle(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    return values;
}

bool TargetHistoryList::load()
{
    if (transient_)
        return true;
    entries_.clear();
    DWORD limit = 0;
    if (!key_.queryDword(kLimitValue, &limit))
        limit_ = kDefaultLimit;
    else if (limit != 0 && limit <= INT_MAX)
        limit_ = static_cast<int>(limit);
    DWORD length = 0;
    if (!key_.queryDword(kLengthValue, &length))
        return true;
    length = std::min(length, historylayout::storedValueCount(key_));

    std::vector<TargetHistoryEntry> stored(length);
    // Every entry's document through one reader (and one COM set-up).
    MPrint::SaxReaderScope readers;
    for (DWORD n = 0; n < length; ++n) {
        DWORD age = 0;
        if (key_.queryDword(ageName(n), &age))
            stored[n].age = age;
        stored[n].path.reset(readEntry(n));
    }
    std::stable_sort(stored.begin(), stored.end(),
                     [](const TargetHistoryEntry& a, const TargetHistoryEntry& b) { return a.age < b.age; });
    for (TargetHistoryEntry& entry : stored) {
        if (entry.path) {
            entries_.push_back(QZAutoPtr<MPrint::PrintPath>(entry.path.get()));
            entry.path.release();
        }
    }
    return true;
}

MPrint::PrintPath* TargetHistoryList::readEntry(DWORD index)
{
    std::wstring text;
    if (!key_.queryString(targetName(index), text))
        return nullptr;
    if (MPrint::PrintPath* path = MPrint::PrintPath::fromXml(text))
        return path;
    if (text.compare(0, 5, L"<?xml") == 0)
        return nullptr;
    return resolveOlderEntry(text);
}

// "name=address" or a bare address, as older versions stored them.
MPrint::PrintPath* TargetHistoryList::resolveOlderEntry(const std::wstring& text)
{
    std::wstring name;
    std::wstring address;
    const size_t equals = text.find(L'=');
    if (equals == std::wstring::npos) {
        address = text;
    } else {
        name = text.substr(0, equals);
        address = text.substr(equals + 1);
        trimWhitespace(name, true, true);
    }
    trimWhitespace(address, true, false);
    const std::wstring& display = name.empty() ? address : name;
    if (resolver_)
        return resolver_->resolveOlderEntry(address, name, display);
    std::shared_lock<std::shared_mutex> shared(processResolverLock);
    return processResolver ? processResolver->resolveOlderEntry(address, name, display) : nullptr;
}

bool TargetHistoryList::save()
{
    if (transient_)
        return true;
    DWORD oldLength = 0;
    if (!key_.queryDword(kLengthValue, &oldLength))
        oldLength = 0;
    oldLength = std::min(oldLength, historylayout::storedValueCount(key_));
    key_.setDword(kLimitValue, static_cast<DWORD>(limit_));
    key_.setDword(kLengthValue, static_cast<DWORD>(entries_.size()));
    DWORD n = 0;
    for (const QZAutoPtr<MPrint::PrintPath>& entry : entries_) {
        std::string xml;
        MPrint::PrintPath::toXml(*entry.get(), xml, true);
        std::wstring wide;
        convertString(xml, wide, CP_UTF8); // as fromXml reads it back
        key_.setString(targetName(n), wide);
        key_.setDword(ageName(n), n);
        ++n;
    }
    for (; n < oldLength; ++n) {
        key_.deleteValue(targetName(n));
        key_.deleteValue(ageName(n));
    }
    return true;
}

void TargetHistoryList::trimTo(int limit)
{
    while (!entries_.empty() && static_cast<long long>(entries_.size()) > limit)
        entries_.pop_back();
}

void TargetHistoryList::setLimit(int limit)
{
    trimTo(limit);
    limit_ = limit;
}

TargetHistoryList::iterator TargetHistoryList::add(MPrint::PrintPath* path)
{
    entries_.push_front(QZAutoPtr<MPrint::PrintPath>(path));
    trimTo(limit_);
    if (entries_.empty() || entries_.front().get() != path)
        return entries_.end();
    return entries_.begin();
}

TargetHistoryList::iterator TargetHistoryList::find(const MPrint::PrintPath* path)
{
    return std::find_if(entries_.begin(), entries_.end(),
                        [path](const QZAutoPtr<MPrint::PrintPath>& entry) { return entry.get() == path; });
}

bool TargetHistoryList::moveToFront(const MPrint::PrintPath* path)
{
    iterator it = find(path);
    if (it == entries_.end())
        return false;
    entries_.splice(entries_.begin(), entries_, it);
    return true;
}

bool TargetHistoryList::remove(const MPrint::PrintPath* path)
{
    iterator it = find(path);
    if (it == entries_.end())
        return false;
    entries_.erase(it);
    return true;
}

bool TargetHistoryList::detach(const MPrint::PrintPath* path)
{
    iterator it = find(path);
    if (it == entries_.end())
        return false;
    it->release();
    entries_.erase(it);
    return true;
}

std::wstring TargetHistoryList::getDisplayString(iterator position)
{
    if (position == entries_.end() || !position->get())
        return {};
    return position->get()->getStringAttribute(PrintPathAttr::DisplayString);
}
