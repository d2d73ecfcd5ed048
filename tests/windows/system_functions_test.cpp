#include <gtest/gtest.h>

#include "platform/win32_util.h"

namespace kestrane {
namespace {

// A function newer than Windows 7 is looked up in a module the process already has, never
// loaded by name: a copy planted in the game's folder would be found first.
TEST(LookUpFunction, FindsFunctionsOfLoadedModulesAndNeverLoadsOne) {
  using GetTickCount64Function = ULONGLONG(WINAPI*)();
  const auto tick = LookUpFunction<GetTickCount64Function>(L"kernel32.dll", "GetTickCount64");
  ASSERT_NE(tick, nullptr);
  EXPECT_GT(tick(), 0u);
  EXPECT_EQ(LookUpFunction<GetTickCount64Function>(L"kernel32.dll", "NoSuchFunctionAnywhere"), nullptr);

  // A system DLL this program does not use: not found, and still not loaded afterwards.
  ASSERT_EQ(GetModuleHandleW(L"msi.dll"), nullptr) << "the test needs a DLL the program has not loaded";
  using OpenProductFunction = UINT(WINAPI*)(const wchar_t*, void*);
  EXPECT_EQ(LookUpFunction<OpenProductFunction>(L"msi.dll", "MsiOpenProductW"), nullptr);
  EXPECT_EQ(GetModuleHandleW(L"msi.dll"), nullptr) << "looking a function up loaded its DLL";
}

}  // namespace
}  // namespace kestrane
