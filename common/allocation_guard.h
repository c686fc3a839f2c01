#pragma once
// The one rule for allocation failure. Memory is taken with new and the
// standard containers, which throw std::bad_alloc when it cannot be had;
// nothing below an entry point (a function of a public interface that
// answers a result code, or a program's job) catches it. Each entry runs its
// body through CatchAllocationFailure, which turns the failure into the
// entry's failure value and, where the entry has a message buffer, the memory
// message "作業用メモリの確保に失敗しました！", so that nothing is thrown past
// an entry.

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "common/message.h"
#include "common/message_texts.h"

template <typename Result, typename Body>
Result CatchAllocationFailure(char* msg, Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    SetMessage(msg, kMsgWorkMemory);
    return failure;
  }
}

// The same for an entry that has no message buffer: the failure value alone.
template <typename Result, typename Body>
Result CatchAllocationFailure(Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return failure;
  }
}

// A program's main: the body's exit status or, when memory runs out, the
// line "<program>: out of memory" on stderr and status 1.
template <typename Body>
int RunProgram(const char* program, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "%s: out of memory\n", program);
    return 1;
  }
}

// Memory held back while a program runs its job, for the clean-up after an
// allocation fails: the first allocation that cannot be had (through new or
// AllocateBlock) releases it and fails as it would have, so that the
// destructors that unwind and the entry's own clean-up (a partial output
// removed, the status written) find memory where the job found none. One
// reserve at a time in a process (it is the new handler while it holds its
// block); a reserve whose block could not be had holds nothing.
class AllocationReserve {
 public:
  explicit AllocationReserve(std::size_t bytes) noexcept {
    if (Block() != nullptr) return;  // another reserve is held
    Block() = std::malloc(bytes);
    if (Block() == nullptr) return;
    owner_ = true;
    previous_ = std::set_new_handler(&Release);
  }
  ~AllocationReserve() {
    if (!owner_) return;
    if (std::get_new_handler() == &Release) std::set_new_handler(previous_);
    std::free(Block());
    Block() = nullptr;
  }
  AllocationReserve(const AllocationReserve&) = delete;
  AllocationReserve& operator=(const AllocationReserve&) = delete;

  // Whether the reserve holds its block (it was had and no allocation has
  // failed since).
  bool Held() const { return owner_ && Block() != nullptr; }

 private:
  static void*& Block() {
    static void* block = nullptr;
    return block;
  }
  // The new handler: the block goes back, the allocation fails.
  static void Release() {
    std::set_new_handler(nullptr);
    std::free(Block());
    Block() = nullptr;
    throw std::bad_alloc();
  }

  bool owner_ = false;
  std::new_handler previous_ = nullptr;
};

namespace allocation_detail {

// A block from allocate() (malloc or calloc), taken the way new takes
// memory: while it cannot be had the new handler (if any) is called, which
// frees memory or throws, and without one std::bad_alloc is thrown.
template <typename Allocate>
void* TakeBlock(Allocate allocate) {
  for (;;) {
    if (void* block = allocate()) return block;
    const std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

}  // namespace allocation_detail

// A block that its owner releases with std::free (a buffer that is grown by
// copying, a block handed to the caller to free), taken the way new takes
// memory: running out throws std::bad_alloc. A request of 0 bytes still
// answers a block of its own.
inline void* AllocateBlock(std::size_t bytes) {
  return allocation_detail::TakeBlock([&] { return std::malloc(bytes == 0 ? 1 : bytes); });
}

// The same, filled with zero bytes.
inline void* AllocateZeroedBlock(std::size_t bytes) {
  return allocation_detail::TakeBlock([&] { return std::calloc(bytes == 0 ? 1 : bytes, 1); });
}
