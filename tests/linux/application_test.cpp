#include "platform/linux/application.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hushpad {
namespace {

std::vector<std::string> calls;

void recordExit(int status) { calls.push_back("exit " + std::to_string(status)); }

class RecordingDelegate final : public ApplicationDelegate {
 public:
  void applicationDidFinishLaunching() override { calls.push_back("didFinishLaunching"); }
  void applicationWillTerminate() override { calls.push_back("willTerminate"); }
};

class LinuxApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override { calls.clear(); }
  LinuxApplication application{recordExit};
  RecordingDelegate delegate;
};

TEST_F(LinuxApplicationTest, TerminateTellsTheDelegateThenExitsWithZeroOnce) {
  application.setDelegate(&delegate);
  application.terminate();
  application.terminate();  // a signal during the first
  EXPECT_EQ(calls, (std::vector<std::string>{"willTerminate", "exit 0"}));
}

TEST_F(LinuxApplicationTest, TerminateWithoutADelegateStillExits) {
  application.terminate();
  EXPECT_EQ(calls, std::vector<std::string>{"exit 0"});
}

void runPendingMainLoopWork() {
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

TEST(GLibMainQueue, RunsTasksInOrderOnALaterPassOfTheMainLoop) {
  GLibMainQueue queue;
  std::vector<int> ran;
  queue.async([&] { ran.push_back(1); });
  queue.async([&] { ran.push_back(2); });
  EXPECT_TRUE(ran.empty());
  runPendingMainLoopWork();
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

TEST(GLibMainQueue, ATaskQueuedByATaskRunsAfterIt) {
  GLibMainQueue queue;
  std::vector<std::string> ran;
  queue.async([&] {
    queue.async([&] { ran.push_back("inner"); });
    ran.push_back("outer");
  });
  runPendingMainLoopWork();
  EXPECT_EQ(ran, (std::vector<std::string>{"outer", "inner"}));
}

}  // namespace
}  // namespace hushpad
