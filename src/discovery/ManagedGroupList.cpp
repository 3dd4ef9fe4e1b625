#include "discovery/ManagedGroupList.h"

#include "core/AutoLock.h"

namespace MPrint {

ManagedGroupList::ManagedGroupList() = default;

ManagedGroupList::~ManagedGroupList()
{
    clear();
}

uint32_t ManagedGroupList::getCount() const
{
    AutoLock hold(&lock_);
    return static_cast<uint32_t>(groups_.size());
}

PrintPathList* ManagedGroupList::getAt(uint32_t index, std::wstring* name) const
{
    AutoLock hold(&lock_);
    if (index >= groups_.size())
        return nullptr;
    Group* group = groups_[groups_.size() - 1 - index].get();
    if (name)
        *name = group->name;
    return &group->printers;
}

PrintPathList* ManagedGroupList::find(const std::wstring& name) const
{
    AutoLock hold(&lock_);
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : &it->second->printers;
}

PrintPathList* ManagedGroupList::findDefault(std::wstring* name) const
{
    AutoLock hold(&lock_);
    for (auto it = groups_.rbegin(); it != groups_.rend(); ++it) {
        if ((*it)->isDefault) {
            if (name)
                *name = (*it)->name;
            return &(*it)->printers;
        }
    }
    return nullptr;
}

PrintPathList* ManagedGroupList::addGroup(const std::wstring& name, bool isDefault)
{
    AutoLock hold(&lock_);
    groups_.push_back(std::unique_ptr<Group>(new Group{name, {}, isDefault}));
    Group* group = groups_.back().get();
    byName_[name] = group;
    return &group->printers;
}

void ManagedGroupList::file(const std::wstring& name, bool newDefault, PrintPath* path)
{
    QZAutoPtr<PrintPath> holder(path);
    AutoLock hold(&lock_);
    PrintPathList* printers = newDefault ? nullptr : find(name);
    if (!printers)
        printers = addGroup(name, newDefault);
    printers->push_back(holder);
}

void ManagedGroupList::clear()
{
    AutoLock hold(&lock_);
    byName_.clear();
    groups_.clear();
}

} // namespace MPrint
