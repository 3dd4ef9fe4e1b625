// Owning pointer for objects kept in standard containers. One holder owns
// the object; copies register with the owner as sharers. When the owner
// goes first, ownership passes to its first sharer, so the object lives as
// long as any holder of it. release() detaches the whole ring.
// A ring of holders belongs to one thread at a time.
#pragma once

#include "core/Win32.h"

#include <algorithm>
#include <vector>

template <typename T>
class QZAutoPtr {
public:
    explicit QZAutoPtr(T* object = nullptr) : pointer_(object), owner_(this) {}

    QZAutoPtr(const QZAutoPtr& other) { share(other); }

    // Leaves the old ring exactly as the destructor would (deleting the old
    // object when this holder was its last), then shares the other's.
    QZAutoPtr& operator=(const QZAutoPtr& other)
    {
        if (this != &other) {
            leave();
            share(other);
        }
        return *this;
    }

    virtual ~QZAutoPtr() { leave(); }

    virtual T* get() const { return pointer_; }

    // Detaches every holder of the ring; the caller owns the object.
    virtual T* release()
    {
        T* object = pointer_;
        QZAutoPtr* owner = owner_;
        if (owner) {
            if (owner->sharers_) {
                for (QZAutoPtr* sharer : *owner->sharers_) {
                    sharer->pointer_ = nullptr;
                    sharer->owner_ = nullptr;
                }
                // The entries name holders that no longer belong to it.
                owner->sharers_->clear();
            }
            owner->pointer_ = nullptr;
            owner->owner_ = nullptr;
        }
        pointer_ = nullptr;
        owner_ = nullptr;
        return object;
    }

    virtual void share(const QZAutoPtr& other)
    {
        if (&other == this)
            return;
        pointer_ = other.pointer_;
        owner_ = other.owner_;
        if (owner_)
            owner_->addSharer(this);
    }

    virtual void addSharer(QZAutoPtr* holder)
    {
        if (holder == this)
            return;
        if (!sharers_)
            sharers_ = new std::vector<QZAutoPtr*>;
        sharers_->push_back(holder);
    }

    virtual QZAutoPtr* removeSharer(QZAutoPtr* holder)
    {
        if (sharers_) {
            sharers_->erase(std::remove(sharers_->begin(), sharers_->end(), holder), sharers_->end());
            holder->pointer_ = nullptr;
            holder->owner_ = nullptr;
        }
        return holder;
    }

    T* operator->() const { return pointer_; }

protected:
    // Called by the owner as it goes: the first sharer becomes the owner and
    // takes over the remaining sharers and the object.
    virtual void handOver()
    {
        if (!sharers_ || sharers_->empty())
            return;
        QZAutoPtr* first = sharers_->front();
        sharers_->erase(sharers_->begin());
        QZAutoPtr* newOwner = first->owner_ == this ? first : nullptr;
        if (newOwner)
            newOwner->owner_ = newOwner;
        for (QZAutoPtr* sharer : *sharers_)
            sharer->owner_ = newOwner;
        if (!newOwner)
            return;
        if (newOwner->sharers_) {
            // A consistent ring never gives a sharer a list of its own.
            OutputDebugStringA("QZAutoPtr: inconsistent ring, the new owner already had sharers\n");
            delete newOwner->sharers_;
        }
        newOwner->sharers_ = sharers_;
        sharers_ = nullptr;
        pointer_ = nullptr;
    }

private:
    // The destructor's rules; afterwards this holder is detached and empty.
    void leave()
    {
        if (owner_ == this) {
            handOver();
            delete pointer_;
        } else if (owner_) {
            owner_->removeSharer(this);
        }
        delete sharers_;
        sharers_ = nullptr;
        pointer_ = nullptr;
        owner_ = nullptr;
    }

    T* pointer_ = nullptr;
    QZAutoPtr* owner_ = nullptr;                 // itself when owner, null when detached
    std::vector<QZAutoPtr*>* sharers_ = nullptr; // only an owner's list is used
};
