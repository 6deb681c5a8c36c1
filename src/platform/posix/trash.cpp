// The home trash of freedesktop.org desktops, which desktop
// file managers, gio and trash-cli share: $XDG_DATA_HOME/Trash (default
// ~/.local/share/Trash) holds each trashed object as files/NAME and its
// record as info/NAME.trashinfo:
//
//   [Trash Info]
//   Path=/home/ann/My%20notes.txt
//   DeletionDate=2024-05-01T14:03:59
//
// Path is the absolute original path, percent-encoded but for '/' and the
// unreserved characters of URIs; DeletionDate is local time.
//
// Sending creates the record first, with O_EXCL, which is what makes NAME
// unique when several processes send objects of one name at once (a taken
// name gets a ".2", ".3", ... suffix), then renames the object into files/.
// If the rename fails the record is removed again. An object on another
// file system than the trash cannot be renamed there and is refused: it is
// not copied, and the per-volume trash directories of other file systems are
// not used. Purging deletes files/NAME, then the record, so that an
// interrupted purge leaves at worst a record without its file, which the
// next purge of it removes.
#include "platform/trash.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/filesystem.h"
#include "platform/posix/user_directories.h"
#include "platform/posix/utf8_text.h"

namespace tsk::platform {

namespace {

constexpr std::string_view kInfoSuffix = ".trashinfo";
constexpr std::string_view kInfoGroup = "[Trash Info]";
// Longest file name (NAME_MAX), and how many suffixed names a send tries.
constexpr size_t kNameMax = 255;
constexpr int kNameAttempts = 100000;
// Records are a few lines; anything longer is not one.
constexpr size_t kInfoLimit = 64 * 1024;

// ---- Calendar ---------------------------------------------------------------

bool isLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int daysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1 January 1601 to the given date of the proleptic Gregorian
// calendar (1601 starts a 400-year cycle).
int64_t daysSince1601(int year, int month, int day) {
  const int64_t years = year - 1601;
  int64_t days = years * 365 + years / 4 - years / 100 + years / 400;
  for (int m = 1; m < month; ++m) {
    days += daysInMonth(year, m);
  }
  return days + day - 1;
}

// ---- Paths and records ------------------------------------------------------

std::string trashDirectory() {
  const std::string data = xdgDirectory("XDG_DATA_HOME", ".local/share");
  return data.empty() ? data : data + "/Trash";
}

// `path` made absolute against the working directory, with "." and ".."
// resolved as text and empty parts dropped; empty when the working directory
// cannot be read.
std::string absolutePath(const std::string& path) {
  std::string joined = path;
  if (path.empty() || path[0] != '/') {
    const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    if (cwd == nullptr) {
      return {};
    }
    joined = std::string(cwd.get()) + "/" + path;
  }
  std::vector<std::string_view> parts;
  for (size_t start = 0; start <= joined.size();) {
    size_t end = joined.find('/', start);
    end = end == std::string::npos ? joined.size() : end;
    const std::string_view part(joined.data() + start, end - start);
    if (part == "..") {
      if (!parts.empty()) {
        parts.pop_back();
      }
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string absolute;
  for (const std::string_view part : parts) {
    absolute.append("/").append(part);
  }
  return absolute.empty() ? "/" : absolute;
}

bool isUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

std::string percentEncoded(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (const unsigned char c : path) {
    if (isUnreserved(c) || c == '/') {
      encoded.push_back(static_cast<char>(c));
    } else {
      encoded.append({'%', kHex[c >> 4], kHex[c & 0xF]});
    }
  }
  return encoded;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
    return (c | 0x20) - 'a' + 10;
  }
  return -1;
}

// Decodes %XX sequences; a '%' that starts none stays as it is.
std::string percentDecoded(std::string_view text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
        hexValue(text[i + 2]) >= 0) {
      decoded.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
    } else {
      decoded.push_back(text[i]);
    }
  }
  return decoded;
}

std::string localTimestamp(std::time_t now) {
  std::tm local{};
  char text[32];
  if (::localtime_r(&now, &local) == nullptr ||
      std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local) == 0) {
    return {};
  }
  return text;
}

// Reads YYYY-MM-DDThh:mm:ss at the start of `text` (what may follow, such as
// fractions of a second, is ignored).
std::optional<tsk_systemtime> parseTimestamp(std::string_view text) {
  static constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:dd";
  if (text.size() < kShape.size()) {
    return std::nullopt;
  }
  for (size_t i = 0; i < kShape.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) {
      return std::nullopt;
    }
  }
  const auto number = [text](size_t at, size_t digits) {
    uint16_t value = 0;
    for (size_t i = at; i < at + digits; ++i) {
      value = static_cast<uint16_t>(value * 10 + (text[i] - '0'));
    }
    return value;
  };
  tsk_systemtime time{};
  time.wYear = number(0, 4);
  time.wMonth = number(5, 2);
  time.wDay = number(8, 2);
  time.wHour = number(11, 2);
  time.wMinute = number(14, 2);
  time.wSecond = number(17, 2);
  return time;
}

std::string_view trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

struct Record {
  std::string path;
  std::string date;
};

// The Path and DeletionDate keys of the [Trash Info] group.
Record parseRecord(std::string_view text) {
  Record record;
  bool inGroup = false;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = trimmed(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line[0] == '[') {
      inGroup = line == kInfoGroup;
      continue;
    }
    const size_t equals = line.find('=');
    if (!inGroup || equals == std::string_view::npos) {
      continue;
    }
    const std::string_view key = trimmed(line.substr(0, equals));
    const std::string_view value = trimmed(line.substr(equals + 1));
    if (key == "Path" && record.path.empty()) {
      record.path = value;
    } else if (key == "DeletionDate" && record.date.empty()) {
      record.date = value;
    }
  }
  return record;
}

// Reads at most kInfoLimit bytes of a file; false with errno set when it
// cannot be read.
bool readSmallFile(const std::string& path, std::string* text) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  text->resize(kInfoLimit);
  size_t done = 0;
  ssize_t got = 0;
  while (done < kInfoLimit && (got = ::read(fd, text->data() + done, kInfoLimit - done)) != 0) {
    if (got < 0 && errno != EINTR) {
      break;
    }
    done += got > 0 ? static_cast<size_t>(got) : 0;
  }
  const int error = errno;
  ::close(fd);
  text->resize(done);
  errno = error;
  return got >= 0;
}

bool writeAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return false;
    }
    text.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// The n-th name tried for an object called `base`: the name itself, then
// "base.2", "base.3", ..., cut (at a character boundary) so that its record's
// name still fits a directory entry.
std::string candidateName(const std::string& base, int n) {
  std::string suffix;
  if (n > 1) {
    suffix.append(1, '.').append(std::to_string(n));
  }
  size_t keep = std::min(base.size(), kNameMax - kInfoSuffix.size() - suffix.size());
  while (keep > 0 && keep < base.size() && (base[keep] & 0xC0) == 0x80) {
    --keep;
  }
  return base.substr(0, keep) + suffix;
}

// Creates the record info/NAME.trashinfo under a name that neither a record
// nor a trashed object has yet, and stores NAME.
bool createRecord(const std::string& trash, const std::string& base, std::string_view contents,
                  std::string* name) {
  for (int n = 1; n <= kNameAttempts; ++n) {
    *name = candidateName(base, n);
    const std::string info = trash + "/info/" + *name + std::string(kInfoSuffix);
    const int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) {
        continue;
      }
      return false;
    }
    struct stat existing {};
    const bool taken = ::lstat((trash + "/files/" + *name).c_str(), &existing) == 0;
    const bool written = !taken && writeAll(fd, contents);
    ::close(fd);
    if (written) {
      return true;
    }
    ::unlink(info.c_str());
    if (!taken) {
      return false;
    }
  }
  errno = EEXIST;
  return false;
}

// rename() that never replaces an object at `to`, where the file system can
// tell.
int renameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    return errno;
  }
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// The item whose record is info/NAME.trashinfo; false when the record has
// gone meanwhile.
bool readItem(const std::string& trash, const std::string& name, TrashItem* item) {
  std::string text;
  const std::string info = trash + "/info/" + name + std::string(kInfoSuffix);
  if (!readSmallFile(info, &text) && errno == ENOENT) {
    return false;
  }
  const Record record = parseRecord(text);
  item->originalPath = toUtf16String(percentDecoded(record.path));
  const std::optional<tsk_systemtime> date = parseTimestamp(record.date);
  item->deletedAt = date ? calendarSeconds(*date) : std::nullopt;
  item->location = toUtf16String(trash + "/files/" + name);
  return true;
}

// NAME of every info/NAME.trashinfo; false when info/ cannot be read (it
// not being there is an empty trash).
bool listRecords(const std::string& trash, std::vector<std::string>* names) {
  DIR* dir = ::opendir((trash + "/info").c_str());
  if (dir == nullptr) {
    return errno == ENOENT;
  }
  struct Closer {
    void operator()(DIR* open) const { ::closedir(open); }
  };
  const std::unique_ptr<DIR, Closer> holder(dir);
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name.size() > kInfoSuffix.size() && name.ends_with(kInfoSuffix)) {
      names->emplace_back(name.substr(0, name.size() - kInfoSuffix.size()));
    }
  }
  return errno == 0;
}

} // namespace

std::optional<int64_t> calendarSeconds(const tsk_systemtime& time) {
  if (time.wYear < 1601 || time.wYear > 30827 || time.wMonth < 1 || time.wMonth > 12 ||
      time.wDay < 1 || time.wDay > daysInMonth(time.wYear, time.wMonth) || time.wHour > 23 ||
      time.wMinute > 59 || time.wSecond > 59 || time.wMilliseconds > 999) {
    return std::nullopt;
  }
  return daysSince1601(time.wYear, time.wMonth, time.wDay) * 86400 + time.wHour * 3600 +
         time.wMinute * 60 + time.wSecond;
}

bool moveToTrash(const tsk_wchar_t* path) {
  try {
    const std::string native = toUtf8String(path);
    const std::string original = absolutePath(native);
    const std::string trash = trashDirectory();
    const std::string date = localTimestamp(std::time(nullptr));
    if (original.empty() || original == "/" || trash.empty() || date.empty() ||
        !makePrivateDirectories(trash + "/files") || !makePrivateDirectories(trash + "/info")) {
      return false;
    }
    const std::string contents = std::string(kInfoGroup) + "\nPath=" + percentEncoded(original) +
                                 "\nDeletionDate=" + date + "\n";
    std::string name;
    if (!createRecord(trash, original.substr(original.rfind('/') + 1), contents, &name)) {
      return false;
    }
    if (renameNoReplace(native, trash + "/files/" + name) != 0) {
      ::unlink((trash + "/info/" + name + std::string(kInfoSuffix)).c_str());
      return false;
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

TrashWalk walkTrash(const std::function<bool(const TrashItem&)>& visit) {
  const std::string trash = trashDirectory();
  std::vector<std::string> names;
  if (trash.empty() || !listRecords(trash, &names)) {
    return TrashWalk::kUnavailable;
  }
  TrashItem item;
  for (const std::string& name : names) {
    if (readItem(trash, name, &item) && !visit(item)) {
      return TrashWalk::kStopped;
    }
  }
  return TrashWalk::kCompleted;
}

int32_t purgeTrashItem(const TrashItem& item) {
  // location is TRASH/files/NAME; its record is TRASH/info/NAME.trashinfo.
  const std::string files = toUtf8String(item.location.c_str());
  const size_t nameStart = files.rfind('/') + 1;
  const size_t trashEnd = files.rfind('/', nameStart - 2);
  const std::string info =
      files.substr(0, trashEnd) + "/info/" + files.substr(nameStart) + std::string(kInfoSuffix);
  const int32_t result = deleteFileObject(item.location.c_str());
  if (result != 0 && result != ENOENT) {
    return result;
  }
  return ::unlink(info.c_str()) == 0 || errno == ENOENT ? 0 : errno;
}

} // namespace tsk::platform
