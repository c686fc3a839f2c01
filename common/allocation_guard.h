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

// A block that its owner releases with std::free (a buffer that is grown by
// copying, a block handed to the caller to free), taken the way new takes
// memory: running out throws std::bad_alloc. A request of 0 bytes still
// answers a block of its own.
inline void* AllocateBlock(std::size_t bytes) {
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

// The same, filled with zero bytes.
inline void* AllocateZeroedBlock(std::size_t bytes) {
  void* block = std::calloc(bytes == 0 ? 1 : bytes, 1);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
