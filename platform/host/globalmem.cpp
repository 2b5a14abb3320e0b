// Global memory on the host: blocks on the C heap behind a small header,
// with a lock count per block and a count of live blocks for the tests.
#include <stdlib.h>
#include <string.h>

#include <set>

#include "platform/host/internal.h"
#include "platform/testing.h"

namespace {

// Header in front of each block; the union keeps the data suitably aligned.
union BlockHeader {
    struct {
        SIZE_T size;
        DWORD locks;
    } info;
    max_align_t align;
};

std::set<BlockHeader*>& Blocks() {
    static std::set<BlockHeader*> blocks;
    return blocks;
}

BlockHeader* FindBlock(HGLOBAL hMem) {
    BlockHeader* block = static_cast<BlockHeader*>(hMem);
    return Blocks().count(block) ? block : nullptr;
}

}  // namespace

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    DWORD error;
    if (kit_host::InjectedFailure("GlobalAlloc", &error)) return nullptr;
    if (dwBytes > static_cast<SIZE_T>(-1) - sizeof(BlockHeader)) {
        kit_host::SetLastErrorCode(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    BlockHeader* block = static_cast<BlockHeader*>(malloc(sizeof(BlockHeader) + dwBytes));
    if (block == nullptr) {
        kit_host::SetLastErrorCode(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    block->info.size = dwBytes;
    block->info.locks = 0;
    if (uFlags & GMEM_ZEROINIT) memset(block + 1, 0, dwBytes);
    Blocks().insert(block);
    return block;
}

LPVOID WINAPI GlobalLock(HGLOBAL hMem) {
    DWORD error;
    if (kit_host::InjectedFailure("GlobalLock", &error)) return nullptr;
    BlockHeader* block = FindBlock(hMem);
    if (block == nullptr) {
        kit_host::SetLastErrorCode(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    ++block->info.locks;
    return block + 1;
}

// Non-zero while the block stays locked; 0 with ERROR_SUCCESS as the last
// error when this was the last lock, 0 with ERROR_NOT_LOCKED when there was
// none.
BOOL WINAPI GlobalUnlock(HGLOBAL hMem) {
    DWORD error;
    if (kit_host::InjectedFailure("GlobalUnlock", &error)) return FALSE;
    BlockHeader* block = FindBlock(hMem);
    if (block == nullptr) {
        kit_host::SetLastErrorCode(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (block->info.locks == 0) {
        kit_host::SetLastErrorCode(ERROR_NOT_LOCKED);
        return FALSE;
    }
    --block->info.locks;
    if (block->info.locks == 0) kit_host::SetLastErrorCode(ERROR_SUCCESS);
    return block->info.locks != 0;
}

// Null on success; the handle itself on failure.
HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
    DWORD error;
    if (kit_host::InjectedFailure("GlobalFree", &error)) return hMem;
    if (hMem == nullptr) return nullptr;
    BlockHeader* block = FindBlock(hMem);
    if (block == nullptr) {
        kit_host::SetLastErrorCode(ERROR_INVALID_HANDLE);
        return hMem;
    }
    Blocks().erase(block);
    free(block);
    return nullptr;
}

namespace kit_host {

void ResetGlobalMemory() {
    for (BlockHeader* block : Blocks()) free(block);
    Blocks().clear();
}

}  // namespace kit_host

namespace kit_test {

size_t LiveGlobalBlocks() { return Blocks().size(); }

}  // namespace kit_test
