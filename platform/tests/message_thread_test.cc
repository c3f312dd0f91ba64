#include "platform/os/message_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <vector>

namespace kelo::platform {
namespace {

TEST(MessageThreadTest, RunsMessagesInOrderOnItsOwnThread) {
  MessageThread loop;
  EXPECT_FALSE(loop.Post([] {})) << "nothing is queued before Start";
  loop.Start();
  std::mutex mu;
  std::vector<int> seen;
  std::vector<std::thread::id> threads;
  std::promise<void> done;
  for (int i = 0; i < 50; ++i) {
    ASSERT_TRUE(loop.Post([&, i] {
      std::lock_guard<std::mutex> lock(mu);
      seen.push_back(i);
      threads.push_back(std::this_thread::get_id());
    }));
  }
  ASSERT_TRUE(loop.Post([&] { done.set_value(); }));
  ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
  std::lock_guard<std::mutex> lock(mu);
  ASSERT_EQ(seen.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(seen[i], i);
  for (auto id : threads) {
    EXPECT_EQ(id, threads[0]);
    EXPECT_NE(id, std::this_thread::get_id());
  }
}

TEST(MessageThreadTest, MessagePostedRightAfterStartIsDelivered) {
  for (int round = 0; round < 20; ++round) {
    MessageThread loop;
    loop.Start();
    std::promise<void> ran;
    ASSERT_TRUE(loop.Post([&] { ran.set_value(); }));
    EXPECT_EQ(ran.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
  }
}

TEST(MessageThreadTest, StopFinishesTheRunningMessageAndDiscardsTheRest) {
  MessageThread loop;
  loop.Start();
  std::promise<void> entered;
  std::atomic<bool> release{false};
  std::atomic<int> later{0};
  loop.Post([&] {
    entered.set_value();
    while (!release) std::this_thread::yield();
  });
  for (int i = 0; i < 5; ++i) loop.Post([&] { ++later; });
  entered.get_future().wait();
  std::thread stopper([&] { loop.Stop(); });
  // Stop has discarded the queue once the loop no longer runs; only then may the running
  // message end (or the loop could take the next one first).
  while (loop.running()) std::this_thread::yield();
  release = true;
  stopper.join();
  EXPECT_EQ(later.load(), 0);
  EXPECT_FALSE(loop.running());
  EXPECT_FALSE(loop.Post([] {}));
}

TEST(MessageThreadTest, StopFromInsideAMessageAndRestart) {
  MessageThread loop;
  loop.Start();
  std::promise<void> stopped;
  loop.Post([&] {
    EXPECT_TRUE(loop.OnLoopThread());
    loop.Stop();
    loop.Start();  // a new loop replaces this one once this message returns
    stopped.set_value();
  });
  stopped.get_future().wait();
  std::promise<void> ran;
  ASSERT_TRUE(loop.Post([&] { ran.set_value(); }));
  EXPECT_EQ(ran.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_FALSE(loop.OnLoopThread());
}

}  // namespace
}  // namespace kelo::platform
