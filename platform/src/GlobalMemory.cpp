// Global memory blocks, each known by its handle in one table: a fixed
// block's handle is its address, a movable block's handle is the address of
// its table record, so the two never collide.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "NoThrow.h"
#include "globalmem.h"
#include "winerror.h"

namespace qorv::platform {

namespace {

struct Block {
  bool Movable = false;
  void* Data = nullptr;  // null for an empty movable block
  SIZE_T Size = 0;
  SIZE_T Capacity = 0;  // bytes allocated; a fixed block grows in place within it
  unsigned Locks = 0;
};

struct BlockTable {
  std::mutex Lock;
  std::unordered_map<HGLOBAL, std::unique_ptr<Block>> Blocks;
};

BlockTable& Table() {
  static BlockTable* table = new BlockTable;  // blocks may be freed from static destructors
  return *table;
}

// The block of a handle; null, with ERROR_INVALID_HANDLE, when it is none.
// Called with the table locked.
Block* Find(BlockTable& table, HGLOBAL handle) {
  auto it = table.Blocks.find(handle);
  if (it == table.Blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return it->second.get();
}

void* Allocate(SIZE_T bytes, bool zero) {
  // At least one byte, so that a fixed block of 0 bytes has an address.
  return zero ? std::calloc(bytes ? bytes : 1, 1) : std::malloc(bytes ? bytes : 1);
}

// Moves a block's memory to a new allocation of `bytes`.
bool Reallocate(Block& block, SIZE_T bytes, bool zero) {
  void* data = std::realloc(block.Data, bytes ? bytes : 1);
  if (!data) return false;
  if (zero && bytes > block.Size) std::memset(static_cast<char*>(data) + block.Size, 0, bytes - block.Size);
  block.Data = data;
  block.Capacity = bytes;
  block.Size = bytes;
  return true;
}

}  // namespace

}  // namespace qorv::platform

using namespace qorv::platform;

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
  return Guarded(HGLOBAL{}, [&]() -> HGLOBAL {
    auto block = std::make_unique<Block>();
    block->Movable = (uFlags & GMEM_MOVEABLE) != 0;
    if (dwBytes > 0 || !block->Movable) {
      block->Data = Allocate(dwBytes, uFlags & GMEM_ZEROINIT);
      if (!block->Data) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
      }
    }
    block->Size = block->Capacity = dwBytes;
    HGLOBAL handle = block->Movable ? static_cast<HGLOBAL>(block.get()) : block->Data;
    auto& table = Table();
    std::lock_guard guard(table.Lock);
    table.Blocks.emplace(handle, std::move(block));
    return handle;
  });
}

HGLOBAL WINAPI GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags) {
  return Guarded(HGLOBAL{}, [&]() -> HGLOBAL {
    if (uFlags & GMEM_MODIFY) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    const bool zero = (uFlags & GMEM_ZEROINIT) != 0;
    auto& table = Table();
    std::lock_guard guard(table.Lock);
    Block* block = Find(table, hMem);
    if (!block) return nullptr;
    // Within the allocation nothing moves.
    if (block->Data && dwBytes <= block->Capacity) {
      if (zero && dwBytes > block->Size)
        std::memset(static_cast<char*>(block->Data) + block->Size, 0, dwBytes - block->Size);
      block->Size = dwBytes;
      return hMem;
    }
    const bool mayMove = block->Movable ? block->Locks == 0 || (uFlags & GMEM_MOVEABLE) : (uFlags & GMEM_MOVEABLE);
    if (!mayMove || !Reallocate(*block, dwBytes, zero)) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    if (block->Movable || block->Data == hMem) return hMem;
    // A fixed block that moved is known by its new address.
    auto node = table.Blocks.extract(hMem);
    node.key() = block->Data;
    table.Blocks.insert(std::move(node));
    return block->Data;
  });
}

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
  return Guarded(hMem, [&]() -> HGLOBAL {
    if (!hMem) return nullptr;
    std::unique_ptr<Block> block;
    {
      auto& table = Table();
      std::lock_guard guard(table.Lock);
      auto it = table.Blocks.find(hMem);
      if (it == table.Blocks.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem;
      }
      block = std::move(it->second);
      table.Blocks.erase(it);
    }
    std::free(block->Data);
    return nullptr;
  });
}

LPVOID WINAPI GlobalLock(HGLOBAL hMem) {
  return Guarded(LPVOID{}, [&]() -> LPVOID {
    auto& table = Table();
    std::lock_guard guard(table.Lock);
    Block* block = Find(table, hMem);
    if (!block) return nullptr;
    if (!block->Data) {
      SetLastError(ERROR_DISCARDED);
      return nullptr;
    }
    if (block->Movable) ++block->Locks;
    return block->Data;
  });
}

BOOL WINAPI GlobalUnlock(HGLOBAL hMem) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto& table = Table();
    std::lock_guard guard(table.Lock);
    Block* block = Find(table, hMem);
    if (!block) return FALSE;
    if (block->Locks == 0) {
      // A fixed block has no lock count; unlocking it is no error.
      SetLastError(block->Movable ? ERROR_NOT_LOCKED : NO_ERROR);
      return FALSE;
    }
    if (--block->Locks > 0) return TRUE;
    SetLastError(NO_ERROR);
    return FALSE;
  });
}

SIZE_T WINAPI GlobalSize(HGLOBAL hMem) {
  return Guarded(SIZE_T{0}, [&]() -> SIZE_T {
    auto& table = Table();
    std::lock_guard guard(table.Lock);
    Block* block = Find(table, hMem);
    if (!block) return 0;
    SetLastError(NO_ERROR);
    return block->Size;
  });
}
