// The Linux scheduler object and the local manager: connected to when the object is made
// for the local computer, left alone when it is made for another one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/linux/real_platform_linux.h"
#include "platform/linux/systemd_bus_linux.h"

namespace runwarden {
namespace {

// No local manager: the system bus address names a socket that does not exist.
class NoLocalManager : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS")) saved_ = address;
    setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/runwarden-test-bus", 1);
  }
  void TearDown() override {
    if (saved_.empty()) {
      unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    } else {
      setenv("DBUS_SYSTEM_BUS_ADDRESS", saved_.c_str(), 1);
    }
  }
  std::string saved_;
};

TEST_F(NoLocalManager, OnlyTheObjectForTheLocalComputerNeedsIt) {
  LinuxComRuntime com;
  ITaskScheduler* scheduler = nullptr;
  EXPECT_EQ(com.CoCreateInstance(CLSID_CTaskScheduler, nullptr, kClassContextInprocServer,
                                 IID_ITaskScheduler, &scheduler),
            kServiceNotRunning)
      << "the local computer: its manager is asked at once";
  EXPECT_EQ(scheduler, nullptr);

  com.SetRemoteTarget(true);
  ASSERT_EQ(com.CoCreateInstance(CLSID_CTaskScheduler, nullptr, kClassContextInprocServer,
                                 IID_ITaskScheduler, &scheduler),
            0)
      << "another computer: nothing local is needed";
  ASSERT_NE(scheduler, nullptr);
  // Asked for a task without being pointed at a computer, the object asks the local one.
  ITask* task = nullptr;
  EXPECT_EQ(scheduler->Activate(u"backup", IID_ITask, &task), kServiceNotRunning);
  EXPECT_EQ(task, nullptr);
  IEnumWorkItems* items = nullptr;
  EXPECT_EQ(scheduler->Enum(u"backup*", &items), kServiceNotRunning) << "so does a task list";
  EXPECT_EQ(items, nullptr);
  EXPECT_EQ(scheduler->Release(), 0u);
}

}  // namespace
}  // namespace runwarden
