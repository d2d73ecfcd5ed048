#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/paced_wait.h"
#include "tests/support/fake_platform_ops.h"

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

  // The settings tool as the fake runs it, each run taking its time: the decode writes
  // plain to "temp.dat", the encode writes "ENCODED:" and "temp.dat" over "l2.ini".
  void ModelTool(const std::string& plain, std::int64_t decodeMs = 1000, std::int64_t encodeMs = 1000) {
    fake.ScriptRun("cmd /x /c l2encdec.exe -d l2.ini temp.dat",
                   {decodeMs, 0, [this, plain] { fake.PutFile("temp.dat", plain); }});
    fake.ScriptRun("cmd /x /c l2encdec.exe -e413 temp.dat l2.ini",
                   {encodeMs, 0, [this] { fake.PutFile("l2.ini", "ENCODED:" + fake.FileBytes("temp.dat").value_or("")); }});
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
