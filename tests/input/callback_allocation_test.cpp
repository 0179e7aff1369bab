// The tap's callback sits on the path of every key press and click while
// locked: it must not touch the heap. This file replaces the global allocation
// functions of the test program with counting ones; they count only while a
// test asks them to.

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "input_rig.h"

namespace {

bool countingAllocations = false;
int allocationCount = 0;

void* allocate(std::size_t size) {
  if (countingAllocations) ++allocationCount;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

// Counts the allocations made while running f.
template <typename F>
int allocationsDuring(F&& f) {
  allocationCount = 0;
  countingAllocations = true;
  f();
  countingAllocations = false;
  return allocationCount;
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
  EXPECT_EQ(allocationsFor(kLeftMouseUp, {8000, 450}), 0);  // far away, every screen tested
  rig.button.reset();
  EXPECT_EQ(allocationsFor(kScrollWheel, {3000, 10}), 0);  // a menu-bar strip, no button
  rig.controller.unlock();
  EXPECT_EQ(allocationsFor(kLeftMouseDown, kOnButton), 0);
}

}  // namespace
}  // namespace hushpad
