#include "platform/posix/user_directories.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace tsk::platform {

namespace {

std::string homeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    return home;
  }
  const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/') {
    return {};
  }
  return found->pw_dir;
}

} // namespace

std::string xdgDirectory(const char* variable, const char* fallback) {
  // Relative paths in these variables are invalid and are ignored.
  if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/') {
    return value;
  }
  const std::string home = homeDirectory();
  return home.empty() ? home : home + "/" + fallback;
}

bool makePrivateDirectories(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) {
      return true;
    }
    errno = ENOTDIR;
    return false;
  }
  const size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !makePrivateDirectories(path.substr(0, slash))) {
    return false;
  }
  // Another process may create it at the same time.
  return ::mkdir(path.c_str(), 0700) == 0 ||
         (errno == EEXIST && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode));
}

} // namespace tsk::platform
