// The block split: blocks around their boundaries, every item done exactly
// once whatever the number of threads, results combined in block order, the
// progress count, and failures passed on.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/parallel.hpp"

namespace tarvek {
namespace {

TEST(Blocks, CutItemsIntoFixedBlocksWithAShorterLastOne) {
  struct Expected {
    std::size_t count, blocks, last_begin, last_end;
  };
  for (const Expected e : {Expected{1, 1, 0, 1}, Expected{63, 1, 0, 63}, Expected{64, 1, 0, 64},
                           Expected{65, 2, 64, 65}, Expected{128, 2, 64, 128},
                           Expected{129, 3, 128, 129}}) {
    const Blocks b{e.count, 64};
    SCOPED_TRACE(e.count);
    ASSERT_EQ(b.number(), e.blocks);
    EXPECT_EQ(b.begin(b.number() - 1), e.last_begin);
    EXPECT_EQ(b.end(b.number() - 1), e.last_end);
    for (std::size_t k = 0; k + 1 < b.number(); ++k) EXPECT_EQ(b.end(k) - b.begin(k), 64u);
  }
  EXPECT_EQ((Blocks{0, 64}.number()), 0u);
  EXPECT_EQ((Blocks{5, 0}.number()), 0u);
}

// Runs a block split of `count` items in blocks of `size` on `threads`
// threads; each block sums its items into its own slot, and the slots are
// combined in block order.
struct Outcome {
  std::vector<int> visits;             // per item
  std::vector<std::uint64_t> slots;    // per block
  std::vector<std::size_t> progress;   // what the calling thread was told
};

Outcome split(std::size_t count, std::size_t size, int threads) {
  const Blocks blocks{count, size};
  Outcome o;
  std::vector<std::atomic<int>> visits(count);
  o.slots.assign(blocks.number(), 0);
  for_each_block(
      threads, blocks,
      [&](std::size_t block, std::size_t begin, std::size_t end) {
        EXPECT_EQ(begin, blocks.begin(block));
        EXPECT_EQ(end, blocks.end(block));
        for (std::size_t i = begin; i < end; ++i) {
          visits[i].fetch_add(1);
          o.slots[block] = o.slots[block] * 31 + i;  // depends on the order within the block
        }
      },
      [&](std::size_t done) { o.progress.push_back(done); });
  for (const auto& v : visits) o.visits.push_back(v.load());
  return o;
}

TEST(ForEachBlock, EveryItemOnceAndTheSameSlotsForAnyNumberOfThreads) {
  for (const std::size_t count : {1, 63, 64, 65, 200, 1000})
    for (const std::size_t size : {1, 7, 64}) {
      const Outcome one = split(count, size, 1);
      for (const int threads : {1, 2, 3, 7, 64, kMaxThreads}) {
        SCOPED_TRACE(::testing::Message() << count << " items, blocks of " << size << ", "
                                          << threads << " threads");
        const Outcome many = split(count, size, threads);
        EXPECT_EQ(many.visits, std::vector<int>(count, 1));
        EXPECT_EQ(many.slots, one.slots);
        // The calling thread is told a growing count; on its own it sees every block.
        for (std::size_t k = 1; k < many.progress.size(); ++k)
          EXPECT_LT(many.progress[k - 1], many.progress[k]);
        if (!many.progress.empty()) {
          EXPECT_LE(many.progress.back(), count);
        }
      }
      ASSERT_EQ(one.progress.size(), (Blocks{count, size}.number()));
      EXPECT_EQ(one.progress.back(), count);
    }
}

TEST(ForEachBlock, NoBlocksAndBadThreadCountsRunOnTheCallingThread) {
  int calls = 0;
  for_each_block(4, Blocks{0, 64}, [&](std::size_t, std::size_t, std::size_t) { ++calls; });
  EXPECT_EQ(calls, 0);
  for (const int threads : {0, -3}) {
    const Outcome o = split(65, 64, threads);
    EXPECT_EQ(o.visits, std::vector<int>(65, 1));
    EXPECT_EQ(o.progress, (std::vector<std::size_t>{64, 65}));
  }
}

TEST(ForEachBlock, TheFailureOfTheLowestFailingBlockIsPassedOnAfterAllThreadsStop) {
  for (const int threads : {1, 2, 7}) {
    std::atomic<int> running{0};
    try {
      for_each_block(threads, Blocks{40, 1}, [&](std::size_t block, std::size_t, std::size_t) {
        running.fetch_add(1);
        if (block == 5 || block == 9) {
          running.fetch_sub(1);
          throw std::runtime_error("block " + std::to_string(block));
        }
        running.fetch_sub(1);
      });
      ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
      // Block 9 throws only when it was started; block 5 always is, and is lower.
      EXPECT_EQ(std::string(e.what()), "block 5") << threads << " threads";
    }
    EXPECT_EQ(running.load(), 0);
  }
}

TEST(AvailableCores, AtLeastOneAndAtMostTheLimit) {
  EXPECT_GE(available_cores(), 1);
  EXPECT_LE(available_cores(), kMaxThreads);
}

}  // namespace
}  // namespace tarvek
