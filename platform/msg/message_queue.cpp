#include "plat/message.h"

// <chrono> itself does not compile with CP932 as the execution character set
// (a unit suffix holds U+00B5); the clocks come with <condition_variable>.
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace plat {
namespace {

struct Message {
  std::uint64_t seq = 0;  // posting order within the queue
  HWND hwnd = nullptr;
  std::uint32_t msg = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  MessageRelease release = nullptr;
};

void Release(const Message& m) {
  if (m.release) m.release(m.wParam);
}

void ReleaseAll(const std::deque<Message>& messages) {
  for (const Message& m : messages) Release(m);
}

// The queue of one thread. Posters push under `mu`; only the owner pops.
struct ThreadQueue {
  std::mutex mu;
  std::condition_variable cv;
  std::deque<Message> items;
  std::uint64_t nextSeq = 0;
  bool closed = false;  // the owner thread has ended: posts are refused

  ~ThreadQueue() { ReleaseAll(items); }
};

struct WindowEntry {
  std::shared_ptr<ThreadQueue> queue;
  MessageTarget* target = nullptr;
};

// Every live window of the process. Handles are numbers counted from 1 and
// never reused, so a stale handle can never reach a newer window.
struct WindowTable {
  std::mutex mu;
  std::unordered_map<std::uintptr_t, WindowEntry> windows;
  std::uintptr_t lastId = 0;
};

// Never destroyed: other threads may still post while the process ends.
WindowTable& Table() {
  static WindowTable* table = new WindowTable;
  return *table;
}

std::uintptr_t IdOf(HWND hwnd) { return reinterpret_cast<std::uintptr_t>(hwnd); }

// When a thread ends, its windows go with it and what its queue still holds
// is dropped; later posts to its windows are refused.
void RetireQueue(const std::shared_ptr<ThreadQueue>& queue) {
  {
    WindowTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mu);
    for (auto it = table.windows.begin(); it != table.windows.end();) {
      if (it->second.queue == queue)
        it = table.windows.erase(it);
      else
        ++it;
    }
  }
  std::deque<Message> dropped;
  {
    std::lock_guard<std::mutex> lock(queue->mu);
    queue->closed = true;
    dropped.swap(queue->items);
  }
  ReleaseAll(dropped);
}

struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  ~QueueHolder() {
    if (queue) RetireQueue(queue);
  }
};

thread_local QueueHolder tlsQueue;

const std::shared_ptr<ThreadQueue>& CurrentQueue() {
  if (!tlsQueue.queue) tlsQueue.queue = std::make_shared<ThreadQueue>();
  return tlsQueue.queue;
}

// Runs one popped message on the owner thread; true when its window was alive.
bool Dispatch(const ThreadQueue* queue, const Message& m) {
  struct ReleaseAfter {
    const Message& m;
    ~ReleaseAfter() { Release(m); }
  } releaseAfter{m};
  MessageTarget* target = nullptr;
  {
    WindowTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mu);
    auto it = table.windows.find(IdOf(m.hwnd));
    if (it != table.windows.end() && it->second.queue.get() == queue) target = it->second.target;
  }
  if (!target) return false;
  // Only the owner thread destroys the window, and it is busy here: the
  // target stays valid for the call.
  std::intptr_t result = 0;
  target->ProcessWindowMessage(m.hwnd, m.msg, m.wParam, m.lParam, result, 0);
  return true;
}

}  // namespace

HWND CreateWindow(MessageTarget* target) {
  if (!target) return nullptr;
  std::shared_ptr<ThreadQueue> queue = CurrentQueue();
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mu);
  const std::uintptr_t id = ++table.lastId;
  table.windows.emplace(id, WindowEntry{std::move(queue), target});
  return reinterpret_cast<HWND>(id);
}

bool DestroyWindow(HWND hwnd) {
  if (!hwnd || !tlsQueue.queue) return false;
  const std::shared_ptr<ThreadQueue>& queue = tlsQueue.queue;
  MessageTarget* target = nullptr;
  {
    WindowTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mu);
    auto it = table.windows.find(IdOf(hwnd));
    if (it == table.windows.end() || it->second.queue != queue) return false;
    target = it->second.target;
    table.windows.erase(it);
  }
  std::deque<Message> dropped;
  {
    std::lock_guard<std::mutex> lock(queue->mu);
    std::deque<Message> kept;
    for (Message& m : queue->items) (m.hwnd == hwnd ? dropped : kept).push_back(m);
    queue->items.swap(kept);
  }
  ReleaseAll(dropped);
  target->OnFinalMessage(hwnd);
  return true;
}

bool IsWindow(HWND hwnd) {
  if (!hwnd) return false;
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mu);
  return table.windows.count(IdOf(hwnd)) != 0;
}

bool PostMessage(HWND hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                 MessageRelease release) {
  Message m;
  m.hwnd = hwnd;
  m.msg = msg;
  m.wParam = wParam;
  m.lParam = lParam;
  m.release = release;
  std::shared_ptr<ThreadQueue> queue;
  if (hwnd) {
    WindowTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mu);
    auto it = table.windows.find(IdOf(hwnd));
    if (it != table.windows.end()) queue = it->second.queue;
  }
  if (queue) {
    std::lock_guard<std::mutex> lock(queue->mu);
    if (!queue->closed) {
      m.seq = queue->nextSeq++;
      queue->items.push_back(m);
      queue->cv.notify_all();
      return true;
    }
  }
  Release(m);
  return false;
}

std::size_t PumpMessages() {
  // A copy: a handler cannot end the thread, but keep the queue alive anyway.
  std::shared_ptr<ThreadQueue> queue = tlsQueue.queue;
  if (!queue) return 0;
  std::uint64_t limit;
  {
    std::lock_guard<std::mutex> lock(queue->mu);
    limit = queue->nextSeq;
  }
  std::size_t dispatched = 0;
  for (;;) {
    Message m;
    {
      std::lock_guard<std::mutex> lock(queue->mu);
      if (queue->items.empty() || queue->items.front().seq >= limit) break;
      m = queue->items.front();
      queue->items.pop_front();
    }
    if (Dispatch(queue.get(), m)) ++dispatched;
  }
  return dispatched;
}

namespace {

bool WaitUntil(std::chrono::steady_clock::time_point deadline) {
  const std::shared_ptr<ThreadQueue>& queue = CurrentQueue();
  std::unique_lock<std::mutex> lock(queue->mu);
  return queue->cv.wait_until(lock, deadline, [&] { return !queue->items.empty(); });
}

}  // namespace

bool WaitMessage(std::uint32_t timeoutMs) {
  return WaitUntil(std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs));
}

bool PumpUntil(const std::function<bool()>& done, std::uint32_t timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    PumpMessages();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    WaitUntil(deadline);
  }
}

}  // namespace plat
