#pragma once
// Work shared among threads by a simple block split. The items of a stage are
// cut into blocks of a fixed number of consecutive items, whatever the number
// of threads; each block writes its results into places that belong to it
// alone, and the caller combines them in block order afterwards. The result
// therefore depends neither on the number of threads nor on which thread
// took which block, nor on timing.

#include <algorithm>
#include <cstddef>
#include <functional>

namespace tarvek {

// The most threads a run may be given.
inline constexpr int kMaxThreads = 1024;

// The number of cores this process may run on (its CPU affinity where the
// system tells it, else the cores of the machine), from 1 to kMaxThreads.
int available_cores();

// The threads worth starting for `work` units of work when each thread
// should get at least `per_thread` units: starting a thread and waiting for
// it to be scheduled (on a busy machine, a time slice) costs more than a
// small job. From 1 to `threads`.
inline int threads_for_work(int threads, std::size_t work, std::size_t per_thread) {
  const std::size_t worth = per_thread == 0 ? work : work / per_thread;
  return static_cast<int>(std::clamp<std::size_t>(worth, 1, static_cast<std::size_t>(std::max(threads, 1))));
}

// `count` items in blocks of `size` consecutive items; the last block may be
// shorter. No blocks when there are no items.
struct Blocks {
  std::size_t count = 0;
  std::size_t size = 1;

  std::size_t number() const { return size == 0 ? 0 : (count + size - 1) / size; }
  std::size_t begin(std::size_t block) const { return std::min(count, block * size); }
  std::size_t end(std::size_t block) const { return std::min(count, (block + 1) * size); }
};

// Calls work(block, begin, end) exactly once for every block, on up to
// `threads` threads: the calling thread and at most threads - 1 more, never
// more threads than blocks (one block, or threads <= 1, runs on the calling
// thread alone). Threads that the system refuses to start are done without.
// `progress`, when given, is called on the calling thread only, after each
// block it finishes, with the number of items finished by all threads so far.
// When `work` throws, no further blocks are started, and once every thread
// has stopped the exception of the lowest block that threw is passed on.
void for_each_block(int threads, const Blocks& blocks,
                    const std::function<void(std::size_t block, std::size_t begin,
                                             std::size_t end)>& work,
                    const std::function<void(std::size_t items_done)>& progress = {});

// The most workers for_each_block_on starts for these blocks: the calling
// thread and the helpers, never more than the blocks.
std::size_t workers_for(int threads, const Blocks& blocks);

// for_each_block, also telling `work` which worker runs it: 0 for the calling
// thread, 1 .. workers_for(threads, blocks) - 1 for the helpers, so that
// each worker can keep scratch space of its own. Results that go through
// such scratch must not depend on which worker took which block.
void for_each_block_on(int threads, const Blocks& blocks,
                       const std::function<void(std::size_t worker, std::size_t block,
                                                std::size_t begin, std::size_t end)>& work);

}  // namespace tarvek
