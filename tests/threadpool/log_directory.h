// The thread pools log to "debug.txt" in the current directory: the tests
// run in a scratch directory of their own, and read the log from there.
#ifndef TSKBASE_TESTS_THREADPOOL_LOG_DIRECTORY_H
#define TSKBASE_TESTS_THREADPOOL_LOG_DIRECTORY_H

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "scratch_directory.h"

namespace tsk::test {

// Makes a fresh scratch directory the current directory while it lives.
class InScratchDirectory {
public:
  InScratchDirectory() : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(directory_.path());
  }
  ~InScratchDirectory() { std::filesystem::current_path(previous_); }
  InScratchDirectory(const InScratchDirectory&) = delete;
  InScratchDirectory& operator=(const InScratchDirectory&) = delete;

private:
  ScratchDirectory directory_;
  std::filesystem::path previous_;
};

// Text as a C runtime in text mode writes it, back in "\n" lines.
inline std::string withoutCarriageReturns(std::string text) {
  std::erase(text, '\r');
  return text;
}

// The log file's text so far ("" while there is none).
inline std::string logText() {
  std::ifstream file("debug.txt", std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return withoutCarriageReturns(text.str());
}

inline std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    lines.push_back(line);
  }
  return lines;
}

} // namespace tsk::test

#endif // TSKBASE_TESTS_THREADPOOL_LOG_DIRECTORY_H
