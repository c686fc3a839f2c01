#pragma once
// Hidden windows and posted messages, in place of the Windows message queue.
//
// A window is a handle bound to the thread that created it. Its messages go
// to its MessageTarget on that thread only, and only while that thread pumps
// its queue (PumpMessages, PumpUntil). Any thread may post. Posting never
// runs a handler inline, not even on the owner thread. The messages of one
// thread run one at a time, in posting order, across all its windows.
//
// A message posted to a window that does not exist (null, destroyed, or its
// thread has ended) is refused; a queued message whose window is destroyed
// before it runs is dropped. Either way the message's release function, when
// it has one, is called: a record travelling in wParam is freed exactly once,
// after its handler returned or when its message is dropped.
//
// No lock is held while a handler runs: a handler may create and destroy
// windows (its own included), post, and pump again (the order is kept).
//
// Whoever owns windows must construct them, pump, and destroy them on one
// thread. Handles are never reused within a process.
//
// The queue lives in the shared library plat_msg so that a process has one
// queue per thread and one window table, whichever libraries use it.

#include <cstddef>
#include <cstdint>
#include <functional>

#include "plat/export.h"

namespace plat {

struct WindowHandle;
using HWND = WindowHandle*;  // opaque, never dereferenced; nullptr = none

inline constexpr std::uint32_t WM_USER = 0x0400;

// The receiver of a window's messages (the window procedure).
class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  // Called on the owner thread for each message of the window, with mapId 0.
  // true = handled (lResult is then the message's result); false = left to
  // the default processing, which does nothing.
  virtual bool ProcessWindowMessage(HWND hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                    std::intptr_t lParam, std::intptr_t& lResult,
                                    std::uint32_t mapId) = 0;
  // Called on the owner thread once DestroyWindow has taken the window away.
  virtual void OnFinalMessage(HWND /*hwnd*/) {}
};

// Frees what a message carries in wParam.
using MessageRelease = void (*)(std::uintptr_t wParam);

// A new window of the calling thread for `target` (which must outlive the
// window); nullptr for a null target.
PLAT_EXPORT HWND CreateWindow(MessageTarget* target);
// Only the owner thread may destroy a window: false on any other thread and
// for a handle that is not a window. Messages still queued for it are
// dropped at once (their release functions called).
PLAT_EXPORT bool DestroyWindow(HWND hwnd);
// Any thread.
PLAT_EXPORT bool IsWindow(HWND hwnd);
// Any thread. true when queued for the window's thread; false (after calling
// `release`) when there is no such window.
PLAT_EXPORT bool PostMessage(HWND hwnd, std::uint32_t msg, std::uintptr_t wParam,
                             std::intptr_t lParam, MessageRelease release = nullptr);

// Runs the messages the calling thread's queue holds now (not those posted
// meanwhile); never blocks. Answers how many reached a live window.
PLAT_EXPORT std::size_t PumpMessages();
// Blocks until the calling thread's queue holds a message or `timeoutMs`
// milliseconds have passed; true when a message is waiting.
PLAT_EXPORT bool WaitMessage(std::uint32_t timeoutMs);
// Pumps and waits until done() answers true (true) or `timeoutMs`
// milliseconds have passed (false). done() is asked after every pump, the
// first time after the first pump.
PLAT_EXPORT bool PumpUntil(const std::function<bool()>& done, std::uint32_t timeoutMs);

}  // namespace plat
