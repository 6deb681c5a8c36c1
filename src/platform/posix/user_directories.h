// The user's base directories (XDG_DATA_HOME and its kin, with their defaults), and
// private directories created under them.
#ifndef TSKBASE_SRC_PLATFORM_POSIX_USER_DIRECTORIES_H
#define TSKBASE_SRC_PLATFORM_POSIX_USER_DIRECTORIES_H

#include <string>

namespace tsk::platform {

// The directory that the environment variable `variable` names when it holds
// an absolute path, else `fallback` under the home directory ($HOME, or the
// user database's entry): xdgDirectory("XDG_DATA_HOME", ".local/share").
// Empty when neither can be found. Throws std::bad_alloc.
std::string xdgDirectory(const char* variable, const char* fallback);

// Creates `path` and any missing directories above it, readable by the user
// only. True when it exists as a directory afterwards; errno tells why not.
bool makePrivateDirectories(const std::string& path);

} // namespace tsk::platform

#endif // TSKBASE_SRC_PLATFORM_POSIX_USER_DIRECTORIES_H
