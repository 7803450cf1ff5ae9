// The stand-in tool's log, read the same way by the Windows tests (in the test process) and the end-to-end
// scenarios (on the Linux side), and the one way both wait for something to happen. Header only, portable.
//
// The stand-in writes, per run: "run", then "show N", "stdout T", "stdin T", "console 0|1",
// "line <command line>", "arg <argument>" for each argument, optionally "setevent 0|1", "wimlib <argument>" lines
// and "exit N", then "end"; text values are UTF-8 with line breaks, tabs and backslashes escaped by a backslash.
#pragma once
#include <chrono>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace vantrel::testlog {

inline std::string Unescape(const std::string& value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    const char c = value[++i];
    out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
  }
  return out;
}

// One run as recorded; `Text` is the text type of the reader (UTF-8 std::string, or std::wstring on Windows).
template <class Text>
struct BasicToolRun {
  int show = -1;
  Text line;                        // the command line
  std::vector<Text> args;           // argv[1..] as the C runtime split it
  std::vector<Text> wimlib;         // what wimlib-imagex was given, when it ran
  std::optional<int> exitCode;      // its exit code, when it ran
  int stdoutType = -1, stdinType = -1;  // GetFileType of its standard handles; -1 for none
  int console = -1;                 // 1 when it had a console window
  std::optional<bool> setEvent;     // whether standin:setevent could set the handle it named
};

// The runs of a whole log, each text value unescaped and turned into `Text` by `convert`.
template <class Text, class Convert>
std::vector<BasicToolRun<Text>> ParseToolLog(const std::string& content, Convert convert) {
  std::vector<BasicToolRun<Text>> runs;
  BasicToolRun<Text> current;
  bool open = false;
  std::istringstream in(content);
  for (std::string line; std::getline(in, line);) {
    auto value = [&](std::size_t skip) { return convert(Unescape(line.substr(skip))); };
    if (line == "run") {
      current = BasicToolRun<Text>{};
      open = true;
    } else if (line == "end" && open) {
      runs.push_back(current);
      open = false;
    } else if (line.rfind("show ", 0) == 0) {
      current.show = std::atoi(line.c_str() + 5);
    } else if (line.rfind("line ", 0) == 0) {
      current.line = value(5);
    } else if (line.rfind("arg ", 0) == 0) {
      current.args.push_back(value(4));
    } else if (line.rfind("wimlib ", 0) == 0) {
      current.wimlib.push_back(value(7));
    } else if (line.rfind("exit ", 0) == 0) {
      current.exitCode = std::atoi(line.c_str() + 5);
    } else if (line.rfind("stdout ", 0) == 0) {
      current.stdoutType = std::atoi(line.c_str() + 7);
    } else if (line.rfind("stdin ", 0) == 0) {
      current.stdinType = std::atoi(line.c_str() + 6);
    } else if (line.rfind("console ", 0) == 0) {
      current.console = std::atoi(line.c_str() + 8);
    } else if (line.rfind("setevent ", 0) == 0) {
      current.setEvent = line == "setevent 1";
    }
  }
  return runs;
}

// Asks `done` until it says yes or `timeout` has passed; between two questions `pause()` waits a little (a
// sleep, or a pass of a message loop). True when done.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                      const std::function<void()>& pause) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    pause();
  }
}

}  // namespace vantrel::testlog
