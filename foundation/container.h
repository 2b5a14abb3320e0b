// BaseObject, SContainer and PSContainer<T>: the root class of every object
// kept in a collection, and the one collection type.
#ifndef FOUNDATION_CONTAINER_H
#define FOUNDATION_CONTAINER_H

#include <stdint.h>
#include "platform/win32.h"

// Root of every collected object. Equality and order are asked of the objects
// themselves; a predicate only ever compares objects of a class it knows.
class BaseObject {
public:
    BaseObject() {}
    // Nonzero when this object equals `other`. Default: identity.
    virtual int IsEqual(const BaseObject* other) const;
    // Nonzero when this object sorts after `other`. Default: never.
    virtual int IsGreater(const BaseObject* other) const;
    virtual ~BaseObject();
};

// Flags of SContainer.
enum : uint32_t {
    SC_SORTED = 0x01,           // lookups sort lazily, then binary-search
    SC_NODELETE = 0x02,         // Clear and destruction leave the elements alive
    SC_UNIQUE = 0x04,           // Add refuses an element equal to a held one
    SC_DELETE_DUPLICATE = 0x08  // with SC_UNIQUE, Add deletes what it refuses
};

// Three-way comparison of two slots (pointers to element pointers), in the
// form qsort and bsearch take: 0 equal, 1 first after second, -1 otherwise.
typedef int (*SlotCompare)(const void* a, const void* b);
int CompareObjects(const void* a, const void* b);

// A growable array of BaseObject pointers.
// Owns its elements unless SC_NODELETE is set. Invariants: count <= limit;
// limit is a multiple of delta; the array lives in locked global memory
// (hGlobal nonzero) exactly when limit * sizeof(pointer) >= 32768 bytes,
// otherwise on the C heap (items null while limit is 0). Slots may be null.
// Growth and shrink go by delta slots, one reallocation per step. Lookups on
// an SC_SORTED container may reorder the slots. Never copied.
// When the heap or global memory refuses a block, growth fails (Add and
// InsertAt give 0, nothing changes) and a shrink keeps the larger array,
// retrying at the next removal; null slots compare below every element.
class SContainer {
public:
    uint32_t count;         // slots in use
    BaseObject** items;     // the slots; null while no array is held
    uint32_t limit;         // slots allocated
    uint32_t delta;         // growth and shrink step, never 0
    uint32_t flags;         // SC_* bits
    unsigned char isSorted; // slots known to be in compare order
    HGLOBAL hGlobal;        // global block holding the array, or 0
    SlotCompare compare;    // CompareObjects

    SContainer(uint32_t flags, uint32_t delta);
    virtual ~SContainer();

    uint32_t Count() const { return count; }
    BaseObject* At(uint32_t i) const { return items[i]; }
    BaseObject* Last() const;
    // Appends. The common case (room left, no uniqueness check) is inline;
    // growth and the SC_UNIQUE check go through AddSlow.
    // Result 1: stored, or refused as a duplicate under SC_UNIQUE. Result 0:
    // the slot limit (0x3FFFFC00) or no memory for a larger array; the
    // container is then unchanged and the element stays the caller's.
    int Add(BaseObject* element) {
        if (count == limit || (flags & SC_UNIQUE) != 0) {
            return AddSlow(element);
        }
        items[count++] = element;
        isSorted = 0;
        return 1;
    }
    int InsertAt(uint32_t index, BaseObject* element);
    BaseObject* RemoveAt(uint32_t index);
    BaseObject* RemoveLast();
    BaseObject* Remove(const BaseObject* key);
    int DeleteAt(uint32_t index);
    int32_t IndexOf(const BaseObject* key);
    BaseObject* Find(const BaseObject* key);
    BaseObject* FindLinear(const BaseObject* key);
    int32_t IndexOfPointer(const BaseObject* p) const;
    void Sort();
    void Clear();
    void Reset();
    void SetOwner(bool owner);

private:
    int AddSlow(BaseObject* element);
    int Grow();
    void Shrink();
    void ReleaseArray();

    SContainer(const SContainer&) = delete;
    SContainer& operator=(const SContainer&) = delete;
};

// Typed holder of exactly one SContainer: no further fields, no virtual
// table of its own. Same operations with T* in place of BaseObject*.
template <class T>
class PSContainer {
public:
    SContainer container;

    PSContainer(uint32_t flags, uint32_t delta) : container(flags, delta) {}

    uint32_t Count() const { return container.count; }
    T* At(uint32_t i) const { return static_cast<T*>(container.items[i]); }
    T* Last() const { return static_cast<T*>(container.Last()); }
    int Add(T* element) { return container.Add(element); }
    int InsertAt(uint32_t index, T* element) { return container.InsertAt(index, element); }
    T* RemoveAt(uint32_t index) { return static_cast<T*>(container.RemoveAt(index)); }
    T* RemoveLast() { return static_cast<T*>(container.RemoveLast()); }
    T* Remove(const T* key) { return static_cast<T*>(container.Remove(key)); }
    int DeleteAt(uint32_t index) { return container.DeleteAt(index); }
    int32_t IndexOf(const T* key) { return container.IndexOf(key); }
    T* Find(const T* key) { return static_cast<T*>(container.Find(key)); }
    T* FindLinear(const T* key) { return static_cast<T*>(container.FindLinear(key)); }
    int32_t IndexOfPointer(const T* p) const { return container.IndexOfPointer(p); }
    void Sort() { container.Sort(); }
    void Clear() { container.Clear(); }
    void Reset() { container.Reset(); }
    void SetOwner(bool owner) { container.SetOwner(owner); }
};

#endif
