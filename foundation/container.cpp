// BaseObject and SContainer. The array lives on the C heap below 32768 bytes
// and in locked Windows global memory from 32768 bytes up; Grow and Shrink
// move it between the two stores as its size crosses the threshold.
#include "foundation/container.h"

#include <stdlib.h>
#include <string.h>

int BaseObject::IsEqual(const BaseObject* other) const {
    return other == this;
}

int BaseObject::IsGreater(const BaseObject*) const {
    return 0;
}

BaseObject::~BaseObject() {}

// The key (first slot) is asked. A null slot is never handed to a predicate:
// two nulls are equal, and a null sorts before every object. This keeps
// lookups over containers with null slots (which Add allows) from calling
// through a null pointer.
int CompareObjects(const void* a, const void* b) {
    const BaseObject* x = *static_cast<const BaseObject* const*>(a);
    const BaseObject* y = *static_cast<const BaseObject* const*>(b);
    if (x == nullptr || y == nullptr) {
        return x == y ? 0 : (x == nullptr ? -1 : 1);
    }
    if (x->IsEqual(y)) {
        return 0;
    }
    return x->IsGreater(y) ? 1 : -1;
}

namespace {

const size_t kGlobalThreshold = 32768;  // bytes; arrays this large go to global memory
const uint64_t kSlotLimit = 0x3FFFFC00;  // limit never reaches this many slots

// A locked global block of `bytes`, its handle in `handle`; null (and no
// block left behind) when either call fails.
BaseObject** NewGlobalArray(size_t bytes, HGLOBAL* handle) {
    HGLOBAL h = GlobalAlloc(GMEM_DDESHARE, bytes);
    if (h == 0) {
        return nullptr;
    }
    void* p = GlobalLock(h);
    if (p == nullptr) {
        GlobalFree(h);
        return nullptr;
    }
    *handle = h;
    return static_cast<BaseObject**>(p);
}

}  // namespace

SContainer::SContainer(uint32_t flags_, uint32_t delta_)
    : count(0), items(nullptr), limit(0), delta(delta_), flags(flags_), isSorted(0), hGlobal(0),
      compare(CompareObjects) {
    if (delta == 0) {
        MessageBoxA(nullptr, "SContainer: delta == 0!", "Error", MB_ICONERROR);
        delta = 1;
    }
}

SContainer::~SContainer() {
    Clear();
}

BaseObject* SContainer::Last() const {
    return count != 0 ? items[count - 1] : nullptr;
}

void SContainer::ReleaseArray() {
    if (hGlobal != 0) {
        GlobalUnlock(hGlobal);
        GlobalFree(hGlobal);
        hGlobal = 0;
    } else {
        free(items);
    }
    items = nullptr;
}

// Makes room for `delta` more slots. Returns 0 at the slot limit or when no
// block can be had; the container is then unchanged (the old array and limit
// stay as they were).
int SContainer::Grow() {
    uint64_t newLimit = uint64_t(limit) + delta;  // 64-bit: a huge delta must not wrap
    if (newLimit >= kSlotLimit) {
        return 0;
    }
    size_t bytes = size_t(newLimit) * sizeof(BaseObject*);
    if (bytes < kGlobalThreshold) {
        // Below the threshold the old array is necessarily a heap block.
        void* p = realloc(items, bytes);
        if (p == nullptr) {
            return 0;
        }
        items = static_cast<BaseObject**>(p);
    } else {
        HGLOBAL handle = 0;
        BaseObject** p = NewGlobalArray(bytes, &handle);
        if (p == nullptr) {
            return 0;
        }
        if (count != 0) {
            memcpy(p, items, count * sizeof(BaseObject*));
        }
        ReleaseArray();
        items = p;
        hGlobal = handle;
    }
    limit = uint32_t(newLimit);
    return 1;
}

// Gives back the top `delta` slots (called when exactly that many are free).
// When no new block can be had the old, larger array is kept with its limit:
// the container stays sound and simply holds one step more.
void SContainer::Shrink() {
    uint32_t newLimit = limit - delta;
    size_t bytes = size_t(newLimit) * sizeof(BaseObject*);
    if (newLimit == 0) {
        ReleaseArray();
    } else if (hGlobal == 0) {
        void* p = realloc(items, bytes);
        if (p == nullptr) {
            return;
        }
        items = static_cast<BaseObject**>(p);
    } else {
        HGLOBAL handle = 0;
        BaseObject** p = bytes < kGlobalThreshold ? static_cast<BaseObject**>(malloc(bytes))
                                                  : NewGlobalArray(bytes, &handle);
        if (p == nullptr) {
            return;
        }
        memcpy(p, items, bytes);
        ReleaseArray();
        items = p;
        hGlobal = handle;
    }
    limit = newLimit;
}

int SContainer::AddSlow(BaseObject* element) {
    if ((flags & SC_UNIQUE) != 0 && FindLinear(element) != nullptr) {
        if ((flags & SC_DELETE_DUPLICATE) != 0) {
            delete element;  // element is not null here: a null key finds nothing
        }
        return 1;
    }
    if (count == limit && !Grow()) {
        return 0;
    }
    items[count++] = element;
    isSorted = 0;
    return 1;
}

int SContainer::InsertAt(uint32_t index, BaseObject* element) {
    if (index > count) {
        return 0;
    }
    uint32_t before = count;
    if (!Add(element)) {
        return 0;
    }
    if (count != before) {  // stored, not refused as a duplicate
        memmove(items + index + 1, items + index, (count - 1 - index) * sizeof(BaseObject*));
        items[index] = element;
        isSorted = 0;
    }
    return 1;
}

BaseObject* SContainer::RemoveAt(uint32_t index) {
    if (index >= count) {
        return nullptr;
    }
    BaseObject* element = items[index];
    --count;
    memmove(items + index, items + index + 1, (count - index) * sizeof(BaseObject*));
    // Normally exactly `delta` slots are free at this point; more are free
    // only after a shrink that could not get its new block, which is then
    // retried here.
    if (limit - count >= delta) {
        Shrink();
    }
    return element;
}

BaseObject* SContainer::RemoveLast() {
    return count != 0 ? RemoveAt(count - 1) : nullptr;
}

BaseObject* SContainer::Remove(const BaseObject* key) {
    int32_t index = IndexOf(key);
    return index >= 0 ? RemoveAt(uint32_t(index)) : nullptr;
}

int SContainer::DeleteAt(uint32_t index) {
    BaseObject* element = RemoveAt(index);
    if (element == nullptr) {
        return 0;
    }
    delete element;
    return 1;
}

int32_t SContainer::IndexOf(const BaseObject* key) {
    if (key == nullptr) {
        return -1;
    }
    if ((flags & SC_SORTED) != 0) {
        if (!isSorted) {
            Sort();
        }
        if (count == 0) {
            return -1;  // bsearch is not given a null array
        }
        void* found = bsearch(&key, items, count, sizeof(BaseObject*), compare);
        if (found == nullptr) {
            return -1;
        }
        BaseObject** slot = static_cast<BaseObject**>(found);
        while (slot != items && compare(slot, slot - 1) == 0) {
            --slot;
        }
        return int32_t(slot - items);
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (compare(&key, &items[i]) == 0) {
            return int32_t(i);
        }
    }
    return -1;
}

BaseObject* SContainer::Find(const BaseObject* key) {
    int32_t index = IndexOf(key);
    return index >= 0 ? items[index] : nullptr;
}

BaseObject* SContainer::FindLinear(const BaseObject* key) {
    uint32_t saved = flags;
    flags &= ~uint32_t(SC_SORTED);
    BaseObject* found = Find(key);
    flags = saved;
    return found;
}

int32_t SContainer::IndexOfPointer(const BaseObject* p) const {
    for (uint32_t i = 0; i < count; ++i) {
        if (items[i] == p) {
            return int32_t(i);
        }
    }
    return -1;
}

void SContainer::Sort() {
    if (count >= 2) {
        qsort(items, count, sizeof(BaseObject*), compare);
    }
    isSorted = 1;
}

void SContainer::Clear() {
    if ((flags & SC_NODELETE) == 0) {
        for (uint32_t i = 0; i < count; ++i) {
            delete items[i];  // deleting null is a no-op
        }
    }
    if (items != nullptr) {
        ReleaseArray();
    }
    limit = 0;
    count = 0;
}

void SContainer::Reset() {
    if (items != nullptr) {
        ReleaseArray();
    }
    limit = 0;
    count = 0;
}

void SContainer::SetOwner(bool owner) {
    if (owner) {
        flags &= ~uint32_t(SC_NODELETE);
    } else {
        flags |= SC_NODELETE;
    }
}
