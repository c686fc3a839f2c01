#pragma once
// A hidden window that runs posted calls on the thread that created it.
//
// The owner creates the window (Create) on its own thread and must pump that
// thread's messages (plat::PumpMessages); any thread may then post a call,
// which runs on the owner thread, one at a time, in posting order. A call
// posted before Create succeeded, or after the window was destroyed, never
// runs; its record is freed all the same. The object is deleted on the
// owner thread.

#include <atomic>
#include <cstdint>

#include "plat/message.h"

// The record that travels in the message: allocated by `post`, freed once
// its call returned or its message was dropped.
struct DelayCallRecord {
  int (*function)(void* object, void* argument);  // the result is ignored
  void* object;
  void* argument;
};

class DelayCall : public plat::MessageTarget {
 public:
  using Function = int (*)(void* object, void* argument);
  // The message that carries a record (its address in wParam, lParam 0).
  static constexpr std::uint32_t kMessage = plat::WM_USER + 1000;

  DelayCall() = default;
  // Destroys the window when it still exists.
  ~DelayCall() override;
  DelayCall(const DelayCall&) = delete;
  DelayCall& operator=(const DelayCall&) = delete;

  // Creates the window on the calling thread; false when it could not be
  // made (a second Create also fails and keeps the first window).
  bool Create();
  bool IsWindow() const;
  // Owner thread only.
  bool DestroyWindow();
  plat::HWND hwnd() const { return hwnd_.load(std::memory_order_acquire); }

  // Any thread: queues function(object, argument) for the owner thread.
  void post(Function function, void* object, void* argument);

  // Map 0, message kMessage: runs the record's call and reports it handled
  // with result 0. Everything else is left unhandled.
  bool ProcessWindowMessage(plat::HWND hwnd, std::uint32_t msg, std::uintptr_t wParam,
                            std::intptr_t lParam, std::intptr_t& lResult,
                            std::uint32_t mapId) override;

 private:
  std::atomic<plat::HWND> hwnd_{nullptr};
};
