#include "toll/delay_call.h"

namespace {

void FreeRecord(std::uintptr_t wParam) { delete reinterpret_cast<DelayCallRecord*>(wParam); }

}  // namespace

DelayCall::~DelayCall() {
  plat::HWND h = hwnd();
  if (plat::IsWindow(h)) plat::DestroyWindow(h);
}

bool DelayCall::Create() {
  if (hwnd()) return false;
  plat::HWND h = plat::CreateWindow(this);
  hwnd_.store(h, std::memory_order_release);
  return h != nullptr;
}

bool DelayCall::IsWindow() const { return plat::IsWindow(hwnd()); }

bool DelayCall::DestroyWindow() {
  plat::HWND h = hwnd();
  if (!plat::DestroyWindow(h)) return false;
  hwnd_.store(nullptr, std::memory_order_release);
  return true;
}

void DelayCall::post(Function function, void* object, void* argument) {
  auto* record = new DelayCallRecord{function, object, argument};
  // When the window is gone the queue frees the record at once.
  plat::PostMessage(hwnd(), kMessage, reinterpret_cast<std::uintptr_t>(record), 0, &FreeRecord);
}

bool DelayCall::ProcessWindowMessage(plat::HWND, std::uint32_t msg, std::uintptr_t wParam,
                                     std::intptr_t, std::intptr_t& lResult, std::uint32_t mapId) {
  if (mapId != 0 || msg != kMessage) return false;
  // The call may delete this object: nothing below touches it. The queue
  // frees the record after this returns.
  const auto* record = reinterpret_cast<const DelayCallRecord*>(wParam);
  if (record && record->function) record->function(record->object, record->argument);
  lResult = 0;
  return true;
}
