#include "base/parallel.hpp"

#if defined(__linux__)
#include <sched.h>
#endif

#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace tarvek {

int available_cores() {
  long cores = 0;
#if defined(__linux__)
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof(set), &set) == 0) cores = CPU_COUNT(&set);
#endif
  if (cores <= 0) cores = static_cast<long>(std::thread::hardware_concurrency());
  return static_cast<int>(std::clamp(cores, 1L, static_cast<long>(kMaxThreads)));
}

std::size_t workers_for(int threads, const Blocks& blocks) {
  return std::max<std::size_t>(
      1, std::min(blocks.number(), static_cast<std::size_t>(std::clamp(threads, 1, kMaxThreads))));
}

namespace {

using Work = std::function<void(std::size_t, std::size_t, std::size_t, std::size_t)>;

void run_blocks(int threads, const Blocks& blocks, const Work& work,
                const std::function<void(std::size_t)>& progress) {
  const std::size_t count = blocks.number();
  if (count == 0) return;
  const std::size_t wanted = workers_for(threads, blocks);

  // Blocks are taken in increasing order from one counter; which thread
  // takes which block does not matter to the results.
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> items_done{0};
  std::atomic<bool> failed{false};
  std::mutex error_mutex;
  std::size_t error_block = count;
  std::exception_ptr error;

  const auto run = [&](std::size_t worker) {
    const bool calling_thread = worker == 0;
    for (;;) {
      if (failed.load(std::memory_order_relaxed)) return;
      const std::size_t b = next.fetch_add(1, std::memory_order_relaxed);
      if (b >= count) return;
      try {
        work(worker, b, blocks.begin(b), blocks.end(b));
      } catch (...) {
        const std::lock_guard<std::mutex> lock(error_mutex);
        if (b < error_block) {
          error_block = b;
          error = std::current_exception();
        }
        failed.store(true, std::memory_order_relaxed);
        return;
      }
      const std::size_t done =
          items_done.fetch_add(blocks.end(b) - blocks.begin(b), std::memory_order_acq_rel) +
          (blocks.end(b) - blocks.begin(b));
      if (calling_thread && progress) progress(done);
    }
  };

  std::vector<std::thread> helpers;
  if (wanted > 1) {
    helpers.reserve(wanted - 1);
    for (std::size_t t = 1; t < wanted; ++t) {
      try {
        helpers.emplace_back(run, t);
      } catch (const std::system_error&) {
        break;  // the threads started so far share the blocks
      }
    }
  }
  run(0);
  for (std::thread& helper : helpers) helper.join();
  if (error) std::rethrow_exception(error);
}

}  // namespace

void for_each_block(int threads, const Blocks& blocks,
                    const std::function<void(std::size_t, std::size_t, std::size_t)>& work,
                    const std::function<void(std::size_t)>& progress) {
  run_blocks(
      threads, blocks,
      [&](std::size_t, std::size_t block, std::size_t begin, std::size_t end) {
        work(block, begin, end);
      },
      progress);
}

void for_each_block_on(int threads, const Blocks& blocks,
                       const std::function<void(std::size_t, std::size_t, std::size_t,
                                                std::size_t)>& work) {
  run_blocks(threads, blocks, work, {});
}

}  // namespace tarvek
