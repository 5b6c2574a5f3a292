// The fork-join helper: what a task did is there after the join, a failed task says so, a
// helper is kept and used again, and two helpers run side by side when two are forked.
#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "engine/fast/threads.h"

namespace {

TEST(ForkJoin, ReportsTheTaskAndKeepsItsHelperForTheNext) {
  std::thread::id first, second;
  int written = 0;
  {
    ForkJoin helper;
    ASSERT_TRUE(helper.Fork([&] {
      first = std::this_thread::get_id();
      written = 42;
    }));
    EXPECT_TRUE(helper.Join());
    EXPECT_EQ(written, 42);
    EXPECT_TRUE(helper.Join()) << "joining again changes nothing";
    EXPECT_FALSE(helper.Fork([] {})) << "one task a ForkJoin";
  }
  ForkJoin failing;
  ASSERT_TRUE(failing.Fork([&]() -> bool {
    second = std::this_thread::get_id();
    throw std::runtime_error("lost");
  }));
  EXPECT_FALSE(failing.Join());
  EXPECT_NE(first, std::this_thread::get_id());
  EXPECT_EQ(second, first) << "the parked helper took the next task";

  ForkJoin refusing;
  ASSERT_TRUE(refusing.Fork([] { return false; }));
  EXPECT_FALSE(refusing.Join());
  ForkJoin after;  // the helper whose task threw works on
  ASSERT_TRUE(after.Fork([] { return true; }));
  EXPECT_TRUE(after.Join());
}

TEST(ForkJoin, TwoForkedAtOnceRunSideBySide) {
  // Each task waits for the other's item: with one thread between them, neither would end.
  RowQueue to_b, to_a;
  ForkJoin a, b;
  ASSERT_TRUE(a.Fork([&] {
    to_b.Publish(1);
    return to_a.WaitForItems(0) == 1;
  }));
  ASSERT_TRUE(b.Fork([&] {
    to_a.Publish(1);
    return to_b.WaitForItems(0) == 1;
  }));
  EXPECT_TRUE(a.Join());
  EXPECT_TRUE(b.Join());
}

}  // namespace
