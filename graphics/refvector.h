#pragma once
// Arrays whose element storage is shared by reference counting.
//
//  - refvector2<T, A>: a handle on a separate shared storage record.
//  - ofsvector<T, A>:  a window (byte offset, element length) onto such a
//                      storage; windows of different element types may look
//                      into one storage (a file buffer seen as headers,
//                      palette and pixels).
//  - refvector<T, A>:  a handle on one block holding header and elements.
//
// share() and copies share the storage; there is no copy-on-write, so a write
// through one handle is seen through all. Counts are plain integers: handles
// of one storage stay on one thread. Elements are raw bytes from the
// allocation policy A, hence trivially copyable element types only.
//
// Every record also keeps its block's byte size, and every size() is bounded
// by it, so a window of larger elements over a byte storage never reaches past
// the bytes that exist.
#include "utilities/alloc_new.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace libgr {

// Shared record of refvector2/ofsvector, created with plain new.
template <typename A = libutils::alloc_new>
struct refstorage {
  int32_t refcount = 0;  // handles referring to this record
  uint32_t count = 0;    // elements, of the type that allocated or resized it
  uint32_t bytes = 0;    // byte size of data
  A allocator;           // produced data and frees it
  void* data = nullptr;
};

template <typename T, typename A = libutils::alloc_new>
class refvector2 {
  static_assert(std::is_trivially_copyable_v<T>, "elements live in raw byte blocks");

 public:
  using value_type = T;
  using storage_type = refstorage<A>;

  refvector2() = default;
  refvector2(const refvector2& other) { share(other); }
  refvector2& operator=(const refvector2& other) {
    share(other);
    return *this;
  }
  virtual ~refvector2() { unref(); }

  virtual bool empty() const { return !storage || storage->count == 0; }
  virtual uint32_t size() const { return storageElements(); }
  virtual T* begin() { return elements(); }
  virtual T* end() { return elements() + storageElements(); }
  virtual const T* begin() const { return elements(); }
  virtual const T* end() const { return elements() + storageElements(); }
  // No checks: the handle must have storage, and i is not bounded.
  virtual T* at(uint32_t i) { return begin() + i; }
  virtual const T* at(uint32_t i) const { return begin() + i; }
  virtual T* pointer() { return begin(); }
  virtual const T* pointer() const { return begin(); }

  // Attaches fresh storage of n elements, filled from `path` at `offset` when
  // a path is given (see alloc_new). With `keep`, the leading elements of the
  // old storage are copied over; other sharers of the old storage keep it.
  // False when the allocator yields no block or n elements do not fit 32-bit
  // byte counts; the handle then keeps its storage.
  virtual bool allocate(uint32_t n, const char* path = nullptr, int flag = 1, int64_t offset = 0,
                        bool keep = false) {
    if (!fitsBytes(n)) return false;
    const uint32_t bytes = n * uint32_t(sizeof(T));
    storage_type* fresh = new storage_type;
    void* block = fresh->allocator.allocate(bytes, path, flag, offset);
    if (!block) {
      delete fresh;
      return false;
    }
    fresh->data = block;
    fresh->refcount = 1;
    fresh->count = n;
    fresh->bytes = bytes;
    if (storage) {
      if (keep) std::memcpy(block, storage->data, std::min(bytes, storage->bytes));
      unref();
    }
    storage = fresh;
    return true;
  }

  // Resizes the shared record in place (every sharer sees the new block and
  // count), or attaches a new record when there is none. False only when an
  // allocation failed.
  virtual bool resize(uint32_t n, uint64_t extra = 0) {
    if (!fitsBytes(n)) return false;
    const uint32_t bytes = n * uint32_t(sizeof(T));
    if (storage) {
      void* block = storage->allocator.reallocate(storage->data, bytes, extra);
      if (!block) return false;
      storage->data = block;
      storage->count = n;
      storage->bytes = bytes;
      return true;
    }
    if (n == 0) return true;
    return refvector2::allocate(n);  // not a window's override: resize keeps its offset
  }

  virtual void clear() { unref(); }

  // Refers to other's storage (any element type over the same policy).
  template <typename U>
  void share(const refvector2<U, A>& other) {
    if (other.storage == storage) return;
    unref();
    if (other.storage) {
      storage = other.storage;
      ++storage->refcount;
    }
  }

  // Drops this handle's reference; the last one frees block and record.
  void unref() {
    if (storage_type* old = std::exchange(storage, nullptr)) release(old);
  }

  bool hasStorage() const { return storage != nullptr; }
  // Whether both handles hold the same storage (any windows onto it).
  template <typename U>
  bool sharesStorageWith(const refvector2<U, A>& other) const {
    return storage && static_cast<const void*>(storage) == static_cast<const void*>(other.storage);
  }
  // Handles sharing the storage (0 without storage).
  int32_t useCount() const { return storage ? storage->refcount : 0; }
  // Byte size of the storage (0 without storage).
  uint32_t storageBytes() const { return storage ? storage->bytes : 0; }
  // The policy object that produced the block, or null without storage.
  const A* storageAllocator() const { return storage ? &storage->allocator : nullptr; }

 private:
  // Kept out of line: inlined into several handles' destructors in a row,
  // GCC cannot tell the records apart and warns of a use after free.
  [[gnu::noinline]] static void release(storage_type* old) {
    if (--old->refcount != 0) return;
    old->allocator.deallocate(old->data);
    delete old;
  }

 protected:
  template <typename, typename>
  friend class refvector2;

  static bool fitsBytes(uint32_t n) { return uint64_t(n) * sizeof(T) <= UINT32_MAX; }
  T* elements() const { return static_cast<T*>(storage->data); }
  uint32_t storageElements() const {
    if (!storage) return 0;
    return std::min<uint32_t>(storage->count, storage->bytes / uint32_t(sizeof(T)));
  }

  storage_type* storage = nullptr;
};

// A window onto shared storage: `offset` bytes from its start, `length`
// elements of T (toEnd: up to the end of the storage).
template <typename T, typename A = libutils::alloc_new>
class ofsvector : public refvector2<T, A> {
  using base = refvector2<T, A>;

 public:
  static constexpr uint32_t toEnd = 0xFFFFFFFFu;

  uint32_t offset = 0;
  uint32_t length = toEnd;

  ofsvector() = default;
  ofsvector(const ofsvector& other) : base(other), offset(other.offset), length(other.length) {}
  ofsvector& operator=(const ofsvector& other) {
    base::share(other);
    offset = other.offset;
    length = other.length;
    return *this;
  }

  // Shares other's storage and lays this window at (offset, length).
  template <typename U>
  void view(const refvector2<U, A>& other, uint32_t byteOffset, uint32_t elementLength) {
    base::share(other);
    offset = byteOffset;
    length = elementLength;
  }

  // Empty whenever the window holds no whole element, which covers a zero
  // length, no storage, and an offset at or past the end of the storage.
  bool empty() const override { return size() == 0; }

  // Whole elements of T between offset and the end of the storage's bytes,
  // limited to length.
  uint32_t size() const override {
    const uint64_t bytes = this->storageBytes();
    uint64_t available = offset < bytes ? bytes - offset : 0;
    if (length != toEnd) available = std::min<uint64_t>(available, uint64_t(length) * sizeof(T));
    return uint32_t(available / sizeof(T));
  }

  T* begin() override { return windowStart(); }
  T* end() override { return windowStart() + size(); }
  const T* begin() const override { return windowStart(); }
  const T* end() const override { return windowStart() + size(); }
  T* at(uint32_t i) override { return windowStart() + i; }
  const T* at(uint32_t i) const override { return windowStart() + i; }
  T* pointer() override { return begin(); }
  const T* pointer() const override { return begin(); }

  bool allocate(uint32_t n, const char* path = nullptr, int flag = 1, int64_t fileOffset = 0,
                bool keep = false) override {
    const bool ok = base::allocate(n, path, flag, fileOffset, keep);
    offset = 0;
    length = toEnd;
    return ok;
  }

  bool resize(uint32_t n, uint64_t extra = 0) override {
    length = toEnd;
    return base::resize(n, extra);
  }

  void clear() override {
    base::clear();
    offset = 0;
    length = toEnd;
  }

 private:
  T* windowStart() const {
    return reinterpret_cast<T*>(static_cast<unsigned char*>(this->storage->data) + offset);
  }
};

// Header of refvector's block; the elements follow it in the same allocation.
template <typename A = libutils::alloc_new>
struct refblock {
  int32_t refcount;
  uint32_t count;
  A allocator;  // the policy state that produced this block, to free it
};

template <typename T, typename A = libutils::alloc_new>
class refvector {
  static_assert(std::is_trivially_copyable_v<T>, "elements live in raw byte blocks");
  using block_type = refblock<A>;
  // Elements start at the first suitably aligned byte after the header.
  static constexpr uint32_t headerBytes =
      uint32_t((sizeof(block_type) + alignof(T) - 1) / alignof(T) * alignof(T));

 public:
  using value_type = T;

  refvector() = default;
  refvector(const refvector& other) { share(other); }
  refvector& operator=(const refvector& other) { return share(other); }
  virtual ~refvector() { unref(); }

  virtual bool empty() const { return !block || block->count == 0; }
  virtual uint32_t size() const { return block ? block->count : 0; }
  virtual T* begin() { return elements(block); }
  virtual T* end() { return elements(block) + block->count; }
  virtual const T* begin() const { return elements(block); }
  virtual const T* end() const { return elements(block) + block->count; }
  virtual T* at(uint32_t i) { return elements(block) + i; }
  virtual const T* at(uint32_t i) const { return elements(block) + i; }
  virtual T* pointer() { return begin(); }
  virtual const T* pointer() const { return begin(); }

  virtual refvector& share(const refvector& other) {
    if (other.block == block) return *this;
    unref();
    if (other.block) {
      block = other.block;
      ++block->refcount;
    }
    return *this;
  }

  // A new block of n elements (leading ones copied from the old block); other
  // sharers keep the old block. n = 0 drops the block. False when no block
  // could be had, keeping the old one.
  virtual bool resize(uint32_t n) {
    if (n == 0) {
      unref();
      return true;
    }
    if ((uint64_t(n) * sizeof(T) + headerBytes) > UINT32_MAX) return false;
    A allocator;
    void* raw = allocator.allocate(headerBytes + n * uint32_t(sizeof(T)), nullptr, 1, 0);
    if (!raw) return false;
    block_type* fresh = new (raw) block_type{1, n, allocator};
    if (block) {
      std::memcpy(elements(fresh), elements(block), std::min(n, block->count) * sizeof(T));
      unref();
    }
    block = fresh;
    return true;
  }

  virtual void clear() { unref(); }

  void unref() {
    if (block_type* old = std::exchange(block, nullptr)) release(old);
  }

  bool hasStorage() const { return block != nullptr; }
  int32_t useCount() const { return block ? block->refcount : 0; }

 private:
  // Out of line for the same reason as refvector2::release.
  [[gnu::noinline]] static void release(block_type* old) {
    if (--old->refcount != 0) return;
    A allocator = old->allocator;
    old->~block_type();
    allocator.deallocate(old);
  }

 private:
  static T* elements(block_type* b) {
    return reinterpret_cast<T*>(reinterpret_cast<unsigned char*>(b) + headerBytes);
  }

  block_type* block = nullptr;
};

}  // namespace libgr
