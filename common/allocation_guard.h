#pragma once
// The one rule for allocation failure. The standard containers may throw
// std::bad_alloc anywhere below an entry point (a function of a public
// interface that answers a result code, or a program's job); nothing below
// an entry catches it. Each entry runs its body through
// CatchAllocationFailure, which turns the failure into the memory message
// "作業用メモリの確保に失敗しました！" in the caller's buffer and the entry's
// failure value, so that nothing is thrown past an entry.

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
