#pragma once
// The layer's count of its own system calls (plat::SystemCallCount).

#include <atomic>
#include <cstdint>

namespace plat::detail {

inline std::atomic<std::uint64_t> systemCalls{0};

inline void CountSystemCalls(unsigned n = 1) {
  systemCalls.fetch_add(n, std::memory_order_relaxed);
}

}  // namespace plat::detail
