#include "groups/seen_record.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "base/cp1252.h"
#include "engine/readable_text.h"
#include "groups/file_replace.h"

namespace veskor {
namespace {

// An open file, closed (and so unlocked) when it goes.
class FileHandle {
 public:
  explicit FileHandle(int fd) : fd_(fd) {}
  ~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  int Fd() const { return fd_; }

 private:
  int fd_;
};

// The whole file, or nothing with the reason in `why`.
std::optional<std::string> ReadWhole(int fd, std::string& why) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    why = ErrnoClause(errno);
    return std::nullopt;
  }
  if (!S_ISREG(st.st_mode)) {
    why = "ce n'est pas un fichier ordinaire";
    return std::nullopt;
  }
  // Read into a buffer of the file's size, so that a full record is held
  // once and never copied; a file that grew since fstat is read to its end
  // all the same.
  std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t got = 0;
  char more[4096];
  for (;;) {
    const bool inPlace = got < bytes.size();
    char* into = inPlace ? bytes.data() + got : more;
    const ssize_t n = ::read(fd, into, inPlace ? bytes.size() - got : sizeof more);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      why = ErrnoClause(errno);
      return std::nullopt;
    }
    if (n == 0) break;
    if (!inPlace) bytes.append(more, static_cast<std::size_t>(n));
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

bool SameFile(int fd, const std::string& path) {
  struct stat opened {}, named {};
  return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// The record's own file, opened and locked, created empty when missing. A
// writer replaces the file it holds locked by a new one, so a writer that
// waited for the lock may hold a file that is no longer the record: it then
// takes the lock of the new one.
int OpenLocked(const std::string& path, std::string& why) {
  for (;;) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
      why = ErrnoClause(errno);
      return -1;
    }
    int locked;
    do locked = ::flock(fd, LOCK_EX);
    while (locked != 0 && errno == EINTR);
    if (locked != 0) {
      why = ErrnoClause(errno);
      ::close(fd);
      return -1;
    }
    if (SameFile(fd, path)) return fd;
    ::close(fd);
  }
}

}  // namespace

SeenRecord::SeenRecord(std::string path, SearchKey key)
    : path_(std::move(path)), key_(std::move(key)) {}

std::string SeenRecord::Label() const {
  // The path is UTF-8; messages are Windows-1252.
  return "\xAB " + ReadableExcerpt(Utf8ToCp1252(path_).value_or(path_)) + " \xBB";
}

FileRead SeenRecord::Load() {
  const auto unreadable = [this](const std::string& why) {
    unreadable_ = true;
    problem_ = "Impossible de lire le relev\xE9 " + Label() + " : " + why +
               " ; il est laiss\xE9 tel quel";
    return FileRead::Unreadable;
  };
  // Non-blocking, so that a named pipe in its place is refused, not waited on.
  FileHandle file(::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.Fd() < 0) {
    const int error = errno;
    struct stat link {};
    if (error != ENOENT) return unreadable(ErrnoClause(error));
    if (::lstat(path_.c_str(), &link) == 0) return unreadable("le lien ne m\xE8ne \xE0 aucun fichier");
    return FileRead::Missing;
  }
  std::string why;
  const std::optional<std::string> bytes = ReadWhole(file.Fd(), why);
  if (!bytes) return unreadable(why);
  const std::optional<ParsedSeenRecord> record = ParseSeenRecord(*bytes, why);
  if (!record) return unreadable(why);

  const std::optional<std::uint32_t> ours = record->IndexOf(key_);
  searchKnown_ = ours.has_value();
  if (!ours) return FileRead::Read;
  std::size_t count = 0, size = 0;
  for (const auto& line : record->lines) {
    if (line.search != *ours) continue;
    ++count;
    size += line.length;
  }
  seen_.Reserve(count, size);
  for (const auto& line : record->lines) {
    if (line.search != *ours) continue;
    const std::string_view address = record->Address(line);
    if (address.find('\\') == std::string_view::npos) seen_.Append(address);
    else seen_.Append(UnescapeSeenField(address));
  }
  seen_.Index();
  return FileRead::Read;
}

bool SeenRecord::IsNew(std::string_view address) const {
  return address.empty() || !seen_.Contains(address);
}

void SeenRecord::Add(std::string_view address) {
  if (address.empty()) return;
  std::string written = EscapeSeenField(address);
  if (addedOnce_.Contains(written)) return;
  addedOnce_.Insert(written);
  added_.push_back(std::move(written));
}

void SeenRecord::Save() {
  if (unreadable_) throw SeenRecordError(problem_);
  seen_.Release();
  const auto fail = [this](const std::string& why) {
    return SeenRecordError("Impossible d'enregistrer le relev\xE9 " + Label() + " : " + why);
  };
  std::string why;
  const FileHandle lock(OpenLocked(path_, why));
  if (lock.Fd() < 0) throw fail(why);
  const std::optional<std::string> bytes = ReadWhole(lock.Fd(), why);
  if (!bytes) throw fail(why);
  const std::optional<ParsedSeenRecord> current = ParseSeenRecord(*bytes, why);
  // Changed since Load into something else: still never written over.
  if (!current) throw fail(why + " ; il est laiss\xE9 tel quel");

  try {
    ReplaceFileContents(path_, MergeSeenRecord(*current, key_, added_));
  } catch (const ReplaceError& error) {
    throw fail(error.what());
  }
}

}  // namespace veskor
