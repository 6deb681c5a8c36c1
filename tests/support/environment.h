// Sets an environment variable of the C runtime for the length of a test and
// restores its old value afterwards.
#ifndef TSKBASE_TESTS_SUPPORT_ENVIRONMENT_H
#define TSKBASE_TESTS_SUPPORT_ENVIRONMENT_H

#include <cstdlib>
#include <optional>
#include <string>

namespace tsk::test {

class ScopedEnvironmentVariable {
public:
  // Sets `name` to `value`, or unsets it for a null value.
  ScopedEnvironmentVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      saved_ = old;
    }
    set(value);
  }
  ~ScopedEnvironmentVariable() { set(saved_ ? saved_->c_str() : nullptr); }
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
  void set(const char* value) {
#if defined(_WIN32)
    _putenv_s(name_.c_str(), value != nullptr ? value : ""); // "" removes it on Windows
#else
    value != nullptr ? setenv(name_.c_str(), value, 1) : unsetenv(name_.c_str());
#endif
  }

  std::string name_;
  std::optional<std::string> saved_;
};

} // namespace tsk::test

#endif // TSKBASE_TESTS_SUPPORT_ENVIRONMENT_H
