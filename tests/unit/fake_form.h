#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/paced_wait.h"
#include "platform/fake_platform_ops.h"

namespace kestrane::testing {

// Binds the program's one window to a fake platform whose timer ticks into Timer1Tick.
class FakeFormTest : public ::testing::Test {
 protected:
  FakeFormTest() {
    Form1 = MainForm{};
    Form1.Bind(fake);
    fake.SetTickHandler(Timer1Tick);
  }

  // Runs an action that ends the program; returns how it ended.
  ProgramEnded RunToEnd(const std::function<void()>& action) {
    try {
      action();
    } catch (const ProgramEnded& ended) {
      return ended;
    }
    ADD_FAILURE() << "the action returned instead of ending the program";
    return {};
  }

  // A folder holding the tool, the client and its settings.
  void PutClientFolder(const std::string& settings = "ENCODED-SETTINGS") {
    fake.PutFile("l2encdec.exe", "tool");
    fake.PutFile("l2.exe", "client");
    fake.PutFile("l2.ini", settings);
  }

  // "op arg1 arg2 ..." for each call of the given operations.
  std::vector<std::string> Trace(std::initializer_list<std::string_view> ops) const {
    std::vector<std::string> out;
    for (const auto& call : fake.CallsOf(ops)) {
      std::string line = call.op;
      for (const auto& arg : call.args) line += " " + arg;
      out.push_back(line);
    }
    return out;
  }

  FakePlatformOps fake;
};

}  // namespace kestrane::testing
