// SContainer and PSContainer: growth and shrink by delta, the move between
// the heap and global memory, ownership, lookups, and the limits.
#include <gtest/gtest.h>

#include <stdint.h>
#include <vector>

#include "foundation/container.h"
#ifndef _WIN32
#include "platform/testing.h"
#endif

namespace {

// An element that counts its constructions and destructions and compares by
// its key, so that equal elements can be told apart by address.
class Counted : public BaseObject {
public:
    static int constructed;
    static int destroyed;
    int key;

    explicit Counted(int key_) : key(key_) { ++constructed; }
    ~Counted() override { ++destroyed; }
    int IsEqual(const BaseObject* other) const override { return key == static_cast<const Counted*>(other)->key; }
    int IsGreater(const BaseObject* other) const override { return key > static_cast<const Counted*>(other)->key; }
    static int Live() { return constructed - destroyed; }
};
int Counted::constructed = 0;
int Counted::destroyed = 0;

// Array bytes from which the array lives in global memory, and the slot
// count that makes it (8192 slots of 4 bytes, 4096 of 8).
const uint32_t kGlobalBytes = 32768;
const uint32_t kGlobalSlots = kGlobalBytes / sizeof(void*);
const uint32_t kSlotLimit = 0x3FFFFC00;

uint32_t RoundUp(uint32_t n, uint32_t step) {
    return (n + step - 1) / step * step;
}

class ContainerTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        kit_test::Reset();
#endif
        Counted::constructed = 0;
        Counted::destroyed = 0;
    }
    void TearDown() override {
        // Every test ends with its containers gone: nothing may be left.
        EXPECT_EQ(0, Counted::Live());
#ifndef _WIN32
        EXPECT_EQ(0u, kit_test::LiveGlobalBlocks());
#endif
    }
};

// The storage invariants that hold after every operation: limit is count
// rounded up to the step, no array at limit 0, global memory exactly from
// 32768 bytes up (and then one live global block).
void ExpectStorage(const SContainer& c, int globalBlocksBesides = 0) {
    EXPECT_EQ(RoundUp(c.count, c.delta), c.limit) << "count " << c.count;
    EXPECT_EQ(c.limit == 0, c.items == nullptr) << "count " << c.count;
    bool inGlobal = uint64_t(c.limit) * sizeof(void*) >= kGlobalBytes;
    EXPECT_EQ(inGlobal, c.hGlobal != 0) << "limit " << c.limit;
#ifndef _WIN32
    EXPECT_EQ(size_t(globalBlocksBesides + (inGlobal ? 1 : 0)), kit_test::LiveGlobalBlocks()) << "limit " << c.limit;
#else
    (void)globalBlocksBesides;
#endif
}

// Slots 0..count-1 hold keys 0..count-1 in order.
void ExpectKeysInOrder(const SContainer& c) {
    for (uint32_t i = 0; i < c.count; ++i) {
        ASSERT_EQ(int(i), static_cast<Counted*>(c.items[i])->key) << "slot " << i;
    }
}

TEST_F(ContainerTest, EmptyContainerHasNothingToGive) {
    SContainer c(0, 16);
    Counted key(1);
    EXPECT_EQ(0u, c.Count());
    EXPECT_EQ(nullptr, c.items);
    EXPECT_EQ(0, c.isSorted);
    EXPECT_EQ(CompareObjects, c.compare);
    EXPECT_EQ(nullptr, c.Last());
    EXPECT_EQ(nullptr, c.RemoveLast());
    EXPECT_EQ(nullptr, c.RemoveAt(0));
    EXPECT_EQ(0, c.DeleteAt(0));
    EXPECT_EQ(-1, c.IndexOf(&key));
    EXPECT_EQ(nullptr, c.Find(&key));
    EXPECT_EQ(nullptr, c.Remove(&key));
    EXPECT_EQ(-1, c.IndexOfPointer(&key));
    c.Clear();
    c.Reset();
    EXPECT_EQ(1, Counted::Live());
    ExpectStorage(c);
}

// Fill to each size and empty again, for several steps: the limit follows
// count rounded up to delta in both directions (so it grows on the add past
// a multiple and shrinks on the removal that frees a whole step), and the
// elements keep their order through every reallocation.
TEST_F(ContainerTest, GrowsAndShrinksByDeltaOnBothSidesOfEachStep) {
    const uint32_t deltas[] = {1, 2, 3, 16, 32};
    for (uint32_t delta : deltas) {
        SCOPED_TRACE(delta);
        SContainer c(0, delta);
        const uint32_t n = 3 * delta + 1;
        for (uint32_t i = 0; i < n; ++i) {
            ASSERT_EQ(1, c.Add(new Counted(int(i))));
            ExpectStorage(c);
        }
        ExpectKeysInOrder(c);
        while (c.count > 0) {
            delete c.RemoveLast();
            ExpectStorage(c);
            ExpectKeysInOrder(c);
        }
        EXPECT_EQ(nullptr, c.items);
    }
}

TEST_F(ContainerTest, Delta16StepsNamedExactly) {
    SContainer c(0, 16);
    for (int i = 0; i < 16; ++i) c.Add(new Counted(i));
    EXPECT_EQ(16u, c.limit);
    c.Add(new Counted(16));
    EXPECT_EQ(32u, c.limit);  // the 17th Add
    delete c.RemoveAt(3);
    EXPECT_EQ(16u, c.count);
    EXPECT_EQ(16u, c.limit);  // 16 free slots: one step given back
    for (int left = 15; left >= 1; --left) {
        delete c.RemoveAt(0);
        EXPECT_EQ(16u, c.limit) << left;
    }
    delete c.RemoveAt(0);
    EXPECT_EQ(0u, c.limit);
    EXPECT_EQ(nullptr, c.items);
}

TEST_F(ContainerTest, AlternatingAddAndRemoveAtAStepBoundaryReallocatesEachTime) {
    SContainer c(0, 16);
    for (int i = 0; i < 16; ++i) c.Add(new Counted(i));
    for (int round = 0; round < 4; ++round) {
        c.Add(new Counted(16));
        EXPECT_EQ(32u, c.limit);
        delete c.RemoveAt(16);
        EXPECT_EQ(16u, c.limit);
        ExpectKeysInOrder(c);
    }
}

// Walk up through the global-memory threshold and back down, checking at
// every count where the array lives. Delta 16 moves it at the threshold
// itself; delta 1 moves it on the single step across; a delta of a whole
// threshold makes the first array a global one. Steps above the threshold
// move the array from one global block to another.
TEST_F(ContainerTest, ArrayMovesBetweenHeapAndGlobalMemoryAtThreshold) {
    const uint32_t deltas[] = {16, 1, kGlobalSlots};
    for (uint32_t delta : deltas) {
        SCOPED_TRACE(delta);
        SContainer c(0, delta);
        const uint32_t top = kGlobalSlots + 2 * delta + 1;
        for (uint32_t i = 0; i < top; ++i) {
            ASSERT_EQ(1, c.Add(new Counted(int(i))));
            if (i + 1 + 2 * delta >= kGlobalSlots) ExpectStorage(c);  // near and above the threshold
        }
        ExpectKeysInOrder(c);
        while (c.count > 0) {
            delete c.RemoveLast();
            if (c.count + 2 * delta >= kGlobalSlots || c.count < 2) ExpectStorage(c);
        }
        ExpectStorage(c);
    }
}

TEST_F(ContainerTest, Delta16CrossesTheThresholdOnTheStepToIt) {
    SContainer c(SC_NODELETE, 16);
    Counted e(0);
    for (uint32_t i = 0; i < kGlobalSlots - 16; ++i) c.Add(&e);
    EXPECT_EQ(kGlobalSlots - 16, c.limit);
    EXPECT_EQ(nullptr, c.hGlobal);
    c.Add(&e);
    EXPECT_EQ(kGlobalSlots, c.limit);
    EXPECT_NE(nullptr, c.hGlobal);
    ExpectStorage(c);
    c.RemoveLast();
    EXPECT_EQ(kGlobalSlots - 16, c.limit);
    EXPECT_EQ(nullptr, c.hGlobal);
    ExpectStorage(c);
}

TEST_F(ContainerTest, AlternatingAtTheThresholdMovesTheArrayEachTime) {
    SContainer c(0, 16);
    for (uint32_t i = 0; i < kGlobalSlots - 16; ++i) c.Add(new Counted(int(i)));
    for (int round = 0; round < 3; ++round) {
        c.Add(new Counted(int(kGlobalSlots - 16)));
        ExpectStorage(c);
        EXPECT_NE(nullptr, c.hGlobal);
        delete c.RemoveLast();
        ExpectStorage(c);
        EXPECT_EQ(nullptr, c.hGlobal);
    }
    ExpectKeysInOrder(c);
}

TEST_F(ContainerTest, ClearResetAndDestructionLeaveNoGlobalBlock) {
    {
        SContainer c(0, 16);
        for (uint32_t i = 0; i < kGlobalSlots; ++i) c.Add(new Counted(int(i)));
        ASSERT_NE(nullptr, c.hGlobal);
        c.Clear();
        EXPECT_EQ(0, Counted::Live());
        ExpectStorage(c);
        EXPECT_EQ(0u, c.limit);
    }
    {
        SContainer c(SC_NODELETE, 16);
        Counted e(0);
        for (uint32_t i = 0; i < kGlobalSlots; ++i) c.Add(&e);
        c.Reset();
        ExpectStorage(c);
        EXPECT_EQ(0u, c.count);
    }
    {
        SContainer c(0, 16);
        for (uint32_t i = 0; i < kGlobalSlots + 1; ++i) c.Add(new Counted(int(i)));
        ASSERT_NE(nullptr, c.hGlobal);
    }
    // The destroyed container's block is checked by TearDown on the host.
}

TEST_F(ContainerTest, ZeroDeltaIsReportedAndActsAsOne) {
    SContainer c(0, 0);
    EXPECT_EQ(1u, c.delta);
#ifndef _WIN32
    ASSERT_EQ(1u, kit_test::MessageBoxes().size());
    const kit_test::ShownBox& box = kit_test::MessageBoxes()[0];
    EXPECT_EQ("MessageBoxA", box.function);
    EXPECT_EQ("SContainer: delta == 0!", box.text);
    EXPECT_EQ("Error", box.caption);
    EXPECT_EQ(0x10u, box.style);
#endif
    for (int i = 0; i < 3; ++i) {
        c.Add(new Counted(i));
        EXPECT_EQ(uint32_t(i + 1), c.limit);
    }
    delete c.RemoveAt(1);
    EXPECT_EQ(2u, c.limit);
}

TEST_F(ContainerTest, NonzeroDeltaShowsNoBox) {
    SContainer c(0, 2);
#ifndef _WIN32
    EXPECT_TRUE(kit_test::MessageBoxes().empty());
#endif
    EXPECT_EQ(2u, c.delta);
}

TEST_F(ContainerTest, SortedIndexOfGivesLowestIndexAmongEquals) {
    // Many equal elements, so that the binary search lands inside the run.
    SContainer c(SC_SORTED, 16);
    const int keys[] = {5, 3, 9, 5, 1, 5, 3, 5, 5, 7, 5, 5, 5, 2, 5};
    for (int k : keys) c.Add(new Counted(k));
    EXPECT_EQ(0, c.isSorted);
    Counted five(5), three(3), nine(9), four(4), zero(0), ten(10);
    EXPECT_EQ(4, c.IndexOf(&five));  // 1 2 3 3 | 5 (nine of them) 7 9
    EXPECT_EQ(1, c.isSorted);
    EXPECT_EQ(2, c.IndexOf(&three));
    EXPECT_EQ(14, c.IndexOf(&nine));
    EXPECT_EQ(-1, c.IndexOf(&four));
    EXPECT_EQ(-1, c.IndexOf(&zero));
    EXPECT_EQ(-1, c.IndexOf(&ten));
    for (uint32_t i = 1; i < c.count; ++i) {
        EXPECT_LE(static_cast<Counted*>(c.At(i - 1))->key, static_cast<Counted*>(c.At(i))->key);
    }
    c.Add(new Counted(0));
    EXPECT_EQ(0, c.isSorted);  // Add marks the slots unsorted
    EXPECT_EQ(5, c.IndexOf(&five));
    EXPECT_EQ(0, c.IndexOf(&zero));
}

TEST_F(ContainerTest, SortedLookupsOverEveryRunLength) {
    // Runs of 1..40 equal elements at both ends and in the middle.
    for (int run = 1; run <= 40; ++run) {
        SContainer c(SC_SORTED, 16);
        for (int i = 0; i < run; ++i) {
            c.Add(new Counted(2));
            c.Add(new Counted(i % 3 == 0 ? 1 : 3));
        }
        Counted two(2);
        int32_t index = c.IndexOf(&two);
        ASSERT_GE(index, 0);
        EXPECT_EQ(2, static_cast<Counted*>(c.At(uint32_t(index)))->key);
        if (index > 0) {
            EXPECT_NE(2, static_cast<Counted*>(c.At(uint32_t(index - 1)))->key) << run;
        }
        EXPECT_EQ(c.At(uint32_t(index)), c.Find(&two));
    }
}

TEST_F(ContainerTest, FindLinearNeitherSortsNorNeedsSortedSlots) {
    SContainer c(SC_SORTED, 16);
    const int keys[] = {4, 2, 8, 2, 6};
    for (int k : keys) c.Add(new Counted(k));
    Counted two(2), six(6), seven(7);
    EXPECT_EQ(c.At(1), c.FindLinear(&two));  // the first in slot order
    EXPECT_EQ(c.At(4), c.FindLinear(&six));
    EXPECT_EQ(nullptr, c.FindLinear(&seven));
    EXPECT_EQ(nullptr, c.FindLinear(nullptr));
    EXPECT_EQ(0, c.isSorted);
    EXPECT_EQ(uint32_t(SC_SORTED), c.flags);
    for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(keys[i], static_cast<Counted*>(c.At(i))->key);
    c.Sort();
    EXPECT_EQ(c.At(3), c.FindLinear(&six));  // 2 2 4 6 8
    EXPECT_EQ(1, c.isSorted);                // still known sorted
}

TEST_F(ContainerTest, UnsortedIndexOfGivesFirstEqualAndRemoveTakesIt) {
    SContainer c(0, 2);
    Counted* a = new Counted(1);
    Counted* b = new Counted(2);
    Counted* b2 = new Counted(2);
    c.Add(a);
    c.Add(b);
    c.Add(b2);
    Counted two(2);
    EXPECT_EQ(1, c.IndexOf(&two));
    EXPECT_EQ(-1, c.IndexOf(nullptr));
    EXPECT_EQ(nullptr, c.Find(nullptr));
    EXPECT_EQ(nullptr, c.Remove(nullptr));
    EXPECT_EQ(b, c.Remove(&two));  // handed out, not deleted
    EXPECT_EQ(4, Counted::Live());
    EXPECT_EQ(b2, c.Find(&two));
    delete b;
}

TEST_F(ContainerTest, PlainBaseObjectsAreFoundByIdentity) {
    SContainer c(0, 16);
    BaseObject* a = new BaseObject;
    BaseObject* b = new BaseObject;
    c.Add(a);
    c.Add(b);
    BaseObject other;
    EXPECT_EQ(1, c.IndexOf(b));
    EXPECT_EQ(a, c.Find(a));
    EXPECT_EQ(-1, c.IndexOf(&other));
    EXPECT_EQ(0, a->IsGreater(b));
    EXPECT_EQ(0, b->IsGreater(a));
}

TEST_F(ContainerTest, CompareObjectsAsksTheFirstObject) {
    Counted one(1), two(2), twoAgain(2);
    const BaseObject* p1 = &one;
    const BaseObject* p2 = &two;
    const BaseObject* p2b = &twoAgain;
    EXPECT_EQ(0, CompareObjects(&p2, &p2b));
    EXPECT_EQ(1, CompareObjects(&p2, &p1));
    EXPECT_EQ(-1, CompareObjects(&p1, &p2));
}

TEST_F(ContainerTest, UniqueRefusesEqualElementsAndDeletesThemOnlyWhenAsked) {
    struct Case {
        uint32_t flags;
        bool deletesRefused;
    };
    const Case cases[] = {{SC_UNIQUE, false}, {SC_UNIQUE | SC_DELETE_DUPLICATE, true}, {SC_UNIQUE | SC_SORTED, false}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.flags);
        SContainer c(k.flags, 16);
        c.Add(new Counted(1));
        c.Add(new Counted(2));
        Counted* dup = new Counted(1);
        int destroyedBefore = Counted::destroyed;
        EXPECT_EQ(1, c.Add(dup));
        EXPECT_EQ(2u, c.count);
        EXPECT_EQ(-1, c.IndexOfPointer(dup));
        EXPECT_EQ(k.deletesRefused ? 1 : 0, Counted::destroyed - destroyedBefore);
        if (!k.deletesRefused) delete dup;
        // Null slots are stored even under SC_UNIQUE, more than once.
        EXPECT_EQ(1, c.Add(nullptr));
        EXPECT_EQ(1, c.Add(nullptr));
        EXPECT_EQ(4u, c.count);
    }
}

TEST_F(ContainerTest, NullSlotsAreSkippedByClearAndLookups) {
    SContainer c(0, 2);
    c.Add(nullptr);
    c.Add(new Counted(1));
    c.Add(nullptr);
    Counted one(1), two(2);
    EXPECT_EQ(1, c.IndexOf(&one));
    EXPECT_EQ(-1, c.IndexOf(&two));
    EXPECT_EQ(0, c.IndexOfPointer(nullptr));  // the first null slot
    EXPECT_EQ(0, c.DeleteAt(2));              // a null slot: removed, nothing deleted
    EXPECT_EQ(2u, c.count);
    c.Clear();  // skips slot 0, deletes slot 1
    EXPECT_EQ(0u, c.count);
}

TEST_F(ContainerTest, SortedContainerWithNullSlotsSortsThemFirst) {
    SContainer c(SC_SORTED, 4);
    c.Add(new Counted(3));
    c.Add(nullptr);
    c.Add(new Counted(1));
    c.Add(nullptr);
    Counted three(3), one(1);
    EXPECT_EQ(3, c.IndexOf(&three));
    EXPECT_EQ(2, c.IndexOf(&one));
    EXPECT_EQ(nullptr, c.At(0));
    EXPECT_EQ(nullptr, c.At(1));
}

TEST_F(ContainerTest, DeleteAtDeletesEvenWithoutOwnership) {
    SContainer c(SC_NODELETE, 16);
    Counted* a = new Counted(1);
    Counted* b = new Counted(2);
    c.Add(a);
    c.Add(b);
    EXPECT_EQ(1, c.DeleteAt(0));
    EXPECT_EQ(1, Counted::Live());
    EXPECT_EQ(0, c.DeleteAt(1));  // out of range now
    EXPECT_EQ(0, c.DeleteAt(0xFFFFFFFFu));
    EXPECT_EQ(1u, c.count);
    c.Clear();  // not owning: b survives
    EXPECT_EQ(1, Counted::Live());
    delete b;
}

TEST_F(ContainerTest, OwnershipFollowsSetOwner) {
    SContainer c(0, 16);
    Counted* a = new Counted(1);
    c.Add(a);
    c.SetOwner(false);
    EXPECT_EQ(uint32_t(SC_NODELETE), c.flags);
    c.Clear();
    EXPECT_EQ(1, Counted::Live());
    c.Add(a);
    c.SetOwner(true);
    EXPECT_EQ(0u, c.flags);
    c.Clear();
    EXPECT_EQ(0, Counted::Live());
}

TEST_F(ContainerTest, RemovalHandsElementsOutAndKeepsOrderState) {
    SContainer c(SC_SORTED, 16);
    for (int k : {3, 1, 2}) c.Add(new Counted(k));
    c.Sort();
    EXPECT_EQ(1, c.isSorted);
    Counted* first = static_cast<Counted*>(c.RemoveAt(0));
    EXPECT_EQ(1, first->key);
    EXPECT_EQ(1, c.isSorted);  // removal keeps the order
    EXPECT_EQ(nullptr, c.RemoveAt(2));
    EXPECT_EQ(nullptr, c.RemoveAt(0xFFFFFFFFu));  // a negative index reads as a huge one
    Counted* last = static_cast<Counted*>(c.RemoveLast());
    EXPECT_EQ(3, last->key);
    EXPECT_EQ(3, Counted::Live());
    EXPECT_EQ(c.At(0), c.Last());
    delete first;
    delete last;
}

TEST_F(ContainerTest, SortedLookupOnEmptyContainerSortsAndFindsNothing) {
    SContainer c(SC_SORTED | SC_NODELETE, 16);
    Counted key(1);
    EXPECT_EQ(-1, c.IndexOf(&key));
    EXPECT_EQ(1, c.isSorted);
    EXPECT_EQ(nullptr, c.items);
}

TEST_F(ContainerTest, SortOfFewerThanTwoStillMarksSorted) {
    SContainer c(0, 16);
    c.Sort();
    EXPECT_EQ(1, c.isSorted);
    SContainer d(0, 16);
    d.Add(new Counted(1));
    d.Sort();
    EXPECT_EQ(1, d.isSorted);
}

TEST_F(ContainerTest, AddAfterClearOrResetWorksAsNew) {
    SContainer c(0, 16);
    for (int i = 0; i < 20; ++i) c.Add(new Counted(i));
    c.Clear();
    EXPECT_EQ(0, Counted::Live());
    for (int i = 0; i < 17; ++i) c.Add(new Counted(i));
    ExpectStorage(c);
    ExpectKeysInOrder(c);

    std::vector<BaseObject*> held(c.items, c.items + c.count);
    c.Reset();  // deletes nothing, even though the container owns
    EXPECT_EQ(17, Counted::Live());
    ExpectStorage(c);
    for (BaseObject* e : held) delete e;
    c.Add(new Counted(0));
    ExpectStorage(c);
    EXPECT_EQ(16u, c.limit);
}

TEST_F(ContainerTest, InsertAtPlacesElementsAndRefusesBadIndices) {
    SContainer c(0, 2);
    EXPECT_EQ(1, c.InsertAt(0, new Counted(2)));
    EXPECT_EQ(1, c.InsertAt(0, new Counted(0)));
    EXPECT_EQ(1, c.InsertAt(1, new Counted(1)));  // grows: count 2 = limit 2
    EXPECT_EQ(1, c.InsertAt(3, new Counted(3)));  // at count: appends
    ExpectKeysInOrder(c);
    ExpectStorage(c);
    Counted* stray = new Counted(9);
    EXPECT_EQ(0, c.InsertAt(5, stray));
    EXPECT_EQ(0, c.InsertAt(0xFFFFFFFFu, stray));
    EXPECT_EQ(4u, c.count);
    delete stray;
    c.Sort();
    c.InsertAt(0, new Counted(4));
    EXPECT_EQ(0, c.isSorted);
}

TEST_F(ContainerTest, InsertAtOfRefusedDuplicateMovesNothing) {
    for (uint32_t flags : {uint32_t(SC_UNIQUE), uint32_t(SC_UNIQUE | SC_DELETE_DUPLICATE)}) {
        SContainer c(flags, 16);
        for (int i = 0; i < 3; ++i) c.Add(new Counted(i));
        Counted* dup = new Counted(1);
        EXPECT_EQ(1, c.InsertAt(0, dup));
        EXPECT_EQ(3u, c.count);
        ExpectKeysInOrder(c);
        if ((flags & SC_DELETE_DUPLICATE) == 0) delete dup;
    }
}

TEST_F(ContainerTest, IndexOfPointerIsIdentityNotEquality) {
    SContainer c(0, 16);
    Counted* a = new Counted(1);
    Counted* b = new Counted(1);
    c.Add(a);
    c.Add(b);
    EXPECT_EQ(1, c.IndexOfPointer(b));
    EXPECT_EQ(0, c.IndexOfPointer(a));
    Counted other(1);
    EXPECT_EQ(-1, c.IndexOfPointer(&other));
    EXPECT_EQ(-1, c.IndexOfPointer(nullptr));
}

// The slot limit is tested without gigabytes: a delta large enough makes the
// very first growth reach the limit, and the fields of a small container are
// set to stand at the limit (and put back before destruction).
TEST_F(ContainerTest, SlotLimitRefusesBeforeAllocating) {
    {
        SContainer c(0, kSlotLimit);
        Counted* e = new Counted(1);
        EXPECT_EQ(0, c.Add(e));
        EXPECT_EQ(0, c.InsertAt(0, e));
        EXPECT_EQ(0u, c.count);
        EXPECT_EQ(0u, c.limit);
        EXPECT_EQ(nullptr, c.items);
        delete e;  // stayed the caller's
    }
    {
        SContainer c(0, 16);
        for (int i = 0; i < 16; ++i) c.Add(new Counted(i));
        BaseObject** items = c.items;
        c.count = c.limit = kSlotLimit - 16;  // the next step would reach the limit
        Counted* e = new Counted(99);
        EXPECT_EQ(0, c.Add(e));
        EXPECT_EQ(0, c.InsertAt(3, e));
        EXPECT_EQ(kSlotLimit - 16, c.count);
        EXPECT_EQ(kSlotLimit - 16, c.limit);
        EXPECT_EQ(items, c.items);
        c.count = c.limit = 16;
        delete e;
        ExpectKeysInOrder(c);
    }
    {
        // A delta so large that count + delta passes 2^32: must be refused,
        // not wrap around to a small limit.
        SContainer c(0, 16);
        for (int i = 0; i < 16; ++i) c.Add(new Counted(i));
        c.delta = 0xFFFFFFF0u;
        Counted* e = new Counted(99);
        EXPECT_EQ(0, c.Add(e));
        EXPECT_EQ(16u, c.limit);
        c.delta = 16;
        delete e;
        ExpectKeysInOrder(c);
    }
}

#ifndef _WIN32
// Global memory refused: Add gives 0 and leaves the container as it was; the
// element stays with the caller, and the next Add succeeds.
TEST_F(ContainerTest, RefusedGlobalMemoryLeavesContainerUnchanged) {
    for (const char* call : {"GlobalAlloc", "GlobalLock"}) {
        SCOPED_TRACE(call);
        kit_test::Reset();
        SContainer c(0, 16);
        for (uint32_t i = 0; i < kGlobalSlots - 16; ++i) c.Add(new Counted(int(i)));
        BaseObject** items = c.items;
        Counted* e = new Counted(int(kGlobalSlots - 16));
        kit_test::FailCall(call, ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_EQ(0, c.Add(e));
        EXPECT_EQ(kGlobalSlots - 16, c.count);
        EXPECT_EQ(kGlobalSlots - 16, c.limit);
        EXPECT_EQ(items, c.items);
        EXPECT_EQ(nullptr, c.hGlobal);
        EXPECT_EQ(0u, kit_test::LiveGlobalBlocks());
        EXPECT_EQ(1, c.Add(e));
        ExpectStorage(c);
        ExpectKeysInOrder(c);
    }
}

// A shrink whose new global block is refused keeps the larger array, and the
// next removal tries again.
TEST_F(ContainerTest, RefusedGlobalMemoryOnShrinkKeepsTheArray) {
    SContainer c(0, 16);
    for (uint32_t i = 0; i < kGlobalSlots + 1; ++i) c.Add(new Counted(int(i)));
    ASSERT_EQ(kGlobalSlots + 16, c.limit);
    kit_test::FailCall("GlobalAlloc", ERROR_NOT_ENOUGH_MEMORY);
    delete c.RemoveLast();  // 16 slots free: the shrink is tried and refused
    EXPECT_EQ(kGlobalSlots, c.count);
    EXPECT_EQ(kGlobalSlots + 16, c.limit);
    EXPECT_NE(nullptr, c.hGlobal);
    EXPECT_EQ(1u, kit_test::LiveGlobalBlocks());
    delete c.RemoveLast();
    ExpectStorage(c);
    EXPECT_EQ(kGlobalSlots, c.limit);
    ExpectKeysInOrder(c);
}
#endif

TEST_F(ContainerTest, TypedHolderIsJustTheContainer) {
    static_assert(sizeof(PSContainer<Counted>) == sizeof(SContainer), "one SContainer, nothing more");
    PSContainer<Counted> p(SC_SORTED, 16);
    for (int k : {3, 1, 2}) p.Add(new Counted(k));
    Counted two(2);
    EXPECT_EQ(1, p.IndexOf(&two));
    Counted* found = p.Find(&two);
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(2, found->key);
    EXPECT_EQ(found, p.FindLinear(&two));
    EXPECT_EQ(1, p.IndexOfPointer(found));
    EXPECT_EQ(3, p.Last()->key);
    EXPECT_EQ(1, p.At(0)->key);
    EXPECT_EQ(1, p.InsertAt(0, new Counted(0)));
    Counted* removed = p.Remove(&two);
    EXPECT_EQ(found, removed);
    delete removed;
    delete p.RemoveAt(0);
    EXPECT_EQ(1, p.DeleteAt(0));
    p.SetOwner(false);
    Counted* last = p.RemoveLast();
    p.Sort();
    p.Clear();
    p.Reset();
    EXPECT_EQ(0u, p.Count());
    delete last;
}

}  // namespace
