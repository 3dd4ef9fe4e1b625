// Ownership through rings of holders, watched by an instrumented type that
// counts its deletions: every object must be deleted exactly once, and only
// when its last holder goes.
#include "core/QZAutoPtr.h"

#include <gtest/gtest.h>

#include <list>
#include <map>
#include <vector>

namespace {

struct Counted {
    explicit Counted(std::map<int, int>& deletes, int id) : deletes(deletes), id(id) {}
    ~Counted() { ++deletes[id]; }
    std::map<int, int>& deletes;
    int id;
};

using Ptr = QZAutoPtr<Counted>;

class QZAutoPtrTest : public ::testing::Test {
protected:
    Counted* make(int id) { return new Counted(deletes_, id); }
    int deletes(int id) { return deletes_[id]; }
    std::map<int, int> deletes_;
};

TEST_F(QZAutoPtrTest, OwnerDestroyedFirstHandsTheObjectOnAlongTheRing)
{
    auto* owner = new Ptr(make(1));
    auto* first = new Ptr(*owner);
    auto* second = new Ptr(*owner);
    Counted* object = owner->get();

    delete owner;
    EXPECT_EQ(deletes(1), 0);
    EXPECT_EQ(first->get(), object);
    EXPECT_EQ(second->get(), object);

    delete first; // the new owner goes: the second sharer takes over
    EXPECT_EQ(deletes(1), 0);
    EXPECT_EQ(second->get(), object);

    delete second;
    EXPECT_EQ(deletes(1), 1);
}

TEST_F(QZAutoPtrTest, SharerDestroyedFirstLeavesTheRing)
{
    auto* owner = new Ptr(make(1));
    auto* sharer = new Ptr(*owner);
    delete sharer;
    EXPECT_EQ(deletes(1), 0);
    delete owner; // a dangling list entry would be handed the object here
    EXPECT_EQ(deletes(1), 1);
}

TEST_F(QZAutoPtrTest, ReleaseOnASharerEmptiesTheWholeRing)
{
    Counted* object = nullptr;
    {
        Ptr owner(make(1));
        Ptr first(owner);
        Ptr second(first);
        object = second.release();
        EXPECT_EQ(object->id, 1);
        EXPECT_EQ(owner.get(), nullptr);
        EXPECT_EQ(first.get(), nullptr);
        EXPECT_EQ(second.get(), nullptr);
    }
    EXPECT_EQ(deletes(1), 0);
    delete object;
    EXPECT_EQ(deletes(1), 1);
}

TEST_F(QZAutoPtrTest, NullHolderDeletesNothing)
{
    Ptr empty;
    Ptr copy(empty);
    EXPECT_EQ(copy.get(), nullptr);
    EXPECT_EQ(empty.release(), nullptr);
}

TEST_F(QZAutoPtrTest, AssignmentOverAnOwnerDeletesItsObjectOnceAndKeepsItsSharersWhole)
{
    {
        Ptr target(make(1));
        Ptr target_sharer(target);
        Ptr source(make(2));

        target = source;
        EXPECT_EQ(deletes(1), 0); // the old object still has a holder
        EXPECT_EQ(target.get()->id, 2);
        EXPECT_EQ(target_sharer.get()->id, 1);

        Ptr lone(make(3));
        lone = source;
        EXPECT_EQ(deletes(3), 1); // its only holder moved on
    }
    EXPECT_EQ(deletes(1), 1);
    EXPECT_EQ(deletes(2), 1);
    EXPECT_EQ(deletes(3), 1);
}

TEST_F(QZAutoPtrTest, AssignmentOverASharerLeavesItsOldRing)
{
    auto* oldOwner = new Ptr(make(1));
    {
        Ptr sharer(*oldOwner);
        Ptr other(make(2));
        sharer = other;
        EXPECT_EQ(sharer.get()->id, 2);
    }
    EXPECT_EQ(deletes(2), 1);
    EXPECT_EQ(deletes(1), 0);
    delete oldOwner; // would hand the object to the dead sharer if it stayed listed
    EXPECT_EQ(deletes(1), 1);
}

TEST_F(QZAutoPtrTest, AssignmentWithinOneRingKeepsTheObject)
{
    {
        Ptr owner(make(1));
        Ptr sharer(owner);
        owner = sharer;
        sharer = owner;
        owner = owner;
        EXPECT_EQ(deletes(1), 0);
        EXPECT_EQ(owner.get()->id, 1);
        EXPECT_EQ(sharer.get()->id, 1);
    }
    EXPECT_EQ(deletes(1), 1);
}

TEST_F(QZAutoPtrTest, ListCopiedThenFirstListDestroyedKeepsEveryObject)
{
    auto* first = new std::list<Ptr>;
    for (int id = 1; id <= 3; ++id)
        first->push_back(Ptr(make(id)));
    std::list<Ptr> copy(*first);
    delete first;
    for (int id = 1; id <= 3; ++id)
        EXPECT_EQ(deletes(id), 0) << id;
    int expected = 1;
    for (const Ptr& p : copy)
        EXPECT_EQ(p.get()->id, expected++);
    copy.clear();
    for (int id = 1; id <= 3; ++id)
        EXPECT_EQ(deletes(id), 1) << id;
}

TEST_F(QZAutoPtrTest, VectorThatReallocatesAndErasesKeepsEveryObjectOnce)
{
    {
        std::vector<Ptr> holders;
        for (int id = 0; id < 40; ++id) {
            holders.push_back(Ptr(make(id)));
            if (id % 3 == 0)
                holders.push_back(holders.front()); // a sharer in the same vector
        }
        // erase shifts the tail down by assignment
        holders.erase(holders.begin());
        holders.erase(holders.begin() + 5, holders.begin() + 9);
        for (int id = 0; id < 40; ++id)
            EXPECT_LE(deletes(id), 1) << id;
        for (const Ptr& p : holders)
            EXPECT_EQ(deletes(p.get()->id), 0);
    }
    for (int id = 0; id < 40; ++id)
        EXPECT_EQ(deletes(id), 1) << id;
}

} // namespace
