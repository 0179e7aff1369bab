// The tap's callback sits on the path of every key press and click while
// locked: it must not touch the heap. This file replaces the global allocation
// functions of the test program with counting ones; they count only while a
// test asks them to.

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <utility>

#include "input_rig.h"

namespace {

int allocationCount = -1;  // counting while not negative

void* allocate(std::size_t size) {
  if (allocationCount >= 0) ++allocationCount;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

// Counts the allocations made while running f.
int allocationsDuring(const auto& f) {
  allocationCount = 0;
  f();
  return std::exchange(allocationCount, -1);
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace hushpad {
namespace {

using namespace inputtest;

// Six screens, locked; each case runs the callback a few times.
TEST(CallbackAllocations, NoneOnTheTapPath) {
  static int* volatile escaped = nullptr;  // keeps the optimiser from dropping the pair
  ASSERT_EQ(allocationsDuring([] { escaped = new int(1); }), 1) << "counting is not working";
  delete escaped;

  InputRig rig;
  rig.screens.frames = screensSideBySide(6);
  rig.lockNow();
  const auto allocationsFor = [&](EventType type, Point location) {
    return allocationsDuring([&] {
      for (int i = 0; i < 10; ++i) rig.controller.eventTapCallback(type, location);
    });
  };
  EXPECT_EQ(allocationsFor(kKeyDown, kOnButton), 0);
  EXPECT_EQ(allocationsFor(kLeftMouseDown, kOnButton), 0);
  EXPECT_EQ(allocationsFor(kLeftMouseDown, {8000, 450}), 0);  // far away, every screen tested
  rig.button.reset();
  EXPECT_EQ(allocationsFor(kScrollWheel, {3000, 10}), 0);  // a menu-bar strip, no button
  rig.controller.unlock();
  EXPECT_EQ(allocationsFor(kLeftMouseDown, kOnButton), 0);
}

}  // namespace
}  // namespace hushpad
