#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/failure_report.h"
#include "app/main_window.h"
#include "app/win32_form.h"
#include "client/client_files.h"
#include "tests/windows/scratch_folder.h"

namespace kestrane::testing {
namespace {

using Clock = std::chrono::steady_clock;

// The real window, timer and files, the working folder a scratch client folder, and
// another thread that holds "l2.ini" without sharing for a while.
class InUseOnDisk : public ::testing::Test {
 protected:
  InUseOnDisk() : form(platform) {
    Form1 = MainForm{};
    Form1.Bind(platform);
    form.Create(GetModuleHandleW(nullptr));
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(folder.Path().c_str());
    folder.Write(L"l2.bak", "STORED");
    folder.Write(L"l2.ini", "PATCHED");
  }
  ~InUseOnDisk() override {
    if (holder.joinable()) holder.join();
    SetCurrentDirectoryW(previous);
  }
  void HoldSettingsFor(std::chrono::milliseconds length) {
    UniqueHandle held(CreateFileW(folder.File(L"l2.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.Valid());
    holder = std::thread([length, handle = std::move(held)]() mutable {
      std::this_thread::sleep_for(length);
      handle.Reset();
    });
  }

  ScratchFolder folder;
  Win32PlatformOps platform;
  Win32Form form;
  std::thread holder;
  wchar_t previous[MAX_PATH] = {};
};

TEST_F(InUseOnDisk, ATargetHeldForASecondIsCopiedOnceItIsFree) {
  ASSERT_NO_FATAL_FAILURE(HoldSettingsFor(std::chrono::milliseconds(1000)));
  const auto start = Clock::now();
  const OpResult result =
      RetryWhileInUse(platform, [&] { return platform.CopyOver(kSettingsBackup, kClientSettings); });
  EXPECT_FALSE(result) << (result ? DescribeFailure(*result) : "");
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(900));
  EXPECT_EQ(folder.Read(L"l2.ini"), "STORED");
}

TEST_F(InUseOnDisk, ATargetHeldLongerFailsAfterTheBoundWithItsError) {
  ASSERT_NO_FATAL_FAILURE(HoldSettingsFor(std::chrono::milliseconds(kInUseRetryMilliseconds + 2000)));
  const auto start = Clock::now();
  const OpResult result =
      RetryWhileInUse(platform, [&] { return platform.CopyOver(kSettingsBackup, kClientSettings); });
  const auto took = Clock::now() - start;
  ASSERT_TRUE(result);
  EXPECT_EQ(result->kind, FailureKind::InUse);
  // Windows' own error: a sharing violation, or a replace refused as access denied.
  EXPECT_TRUE(result->error == ERROR_SHARING_VIOLATION || result->error == ERROR_ACCESS_DENIED) << result->error;
  EXPECT_GE(took, std::chrono::milliseconds(kInUseRetryMilliseconds));
  EXPECT_LT(took, std::chrono::milliseconds(kInUseRetryMilliseconds + 1500));
  holder.join();
  EXPECT_EQ(folder.Read(L"l2.ini"), "PATCHED");
}

// Settings that already equal the backup are not written at all, so even a read-only
// "l2.ini" restores fine and keeps its time.
TEST_F(InUseOnDisk, AnIdenticalRestoreWritesNothing) {
  folder.Write(L"l2.ini", "STORED");
  SetFileAttributesW(folder.File(L"l2.ini").c_str(), FILE_ATTRIBUTE_READONLY);
  const auto before = platform.StampOf(kClientSettings).stamp;
  Sleep(50);
  EXPECT_FALSE(RestoreSettingsFromBackup(platform));
  EXPECT_EQ(platform.StampOf(kClientSettings).stamp, before);
}

}  // namespace
}  // namespace kestrane::testing
