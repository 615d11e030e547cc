#include "groups/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <random>

namespace veskor {

std::string ErrnoClause(int error) {
  switch (error) {
    case ENOSPC: return "disque plein";
    case EDQUOT: return "quota d\xE9pass\xE9";
    case EFBIG: return "fichier trop grand";
    case EACCES:
    case EPERM: return "permission refus\xE9" "e";
    case EROFS: return "disque en lecture seule";
    case ENOENT: return "dossier introuvable";
    case ENAMETOOLONG: return "nom trop long";
    case ELOOP: return "trop de liens symboliques";
    case EIO: return "erreur d'entr\xE9" "e-sortie";
    default: return "erreur syst\xE8me " + std::to_string(error);
  }
}

namespace {

constexpr char kTempSuffix[] = ".tmp";
constexpr std::size_t kRandomChars = 8;
constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kNameAttempts = 100;
constexpr int kMaxLinkHops = 40;

[[noreturn]] void Fail(const char* what, int error) {
  throw ReplaceError(std::string(what) + " (" + ErrnoClause(error) + ")");
}

struct Place {
  std::string dir;
  std::string name;
};

Place SplitPath(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

std::string Join(const std::string& dir, std::string_view name) {
  return (dir.ends_with('/') ? dir : dir + '/') + std::string(name);
}

// The file a chain of symbolic links ends at; the path itself when it is not
// a link, and also the missing target of a dangling link.
std::string FinalTarget(std::string path) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::array<char, PATH_MAX> buffer{};
    const ssize_t got = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (got < 0) Fail("le lien symbolique ne peut pas \xEAtre lu", errno);
    if (static_cast<std::size_t>(got) == buffer.size()) Fail("lien symbolique", ENAMETOOLONG);
    std::string target(buffer.data(), static_cast<std::size_t>(got));
    if (!target.starts_with('/')) target = Join(SplitPath(path).dir, target);
    path = std::move(target);
  }
  Fail("lien symbolique", ELOOP);
}

bool IsTempName(std::string_view name) {
  const std::string_view prefix = kReplaceTempPrefix;
  const std::string_view suffix = kTempSuffix;
  if (name.size() != prefix.size() + kRandomChars + suffix.size()) return false;
  if (!name.starts_with(prefix) || !name.ends_with(suffix)) return false;
  const std::string_view middle = name.substr(prefix.size(), kRandomChars);
  return middle.find_first_not_of(kAlphabet) == std::string_view::npos;
}

std::string RandomTempName() {
  std::random_device source;
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
  std::string name = kReplaceTempPrefix;
  for (std::size_t i = 0; i < kRandomChars; ++i) name += kAlphabet[pick(source)];
  return name + kTempSuffix;
}

bool SameFile(int fd, const std::string& path) {
  struct stat opened {}, named {};
  return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// A writer holds a lock on its temporary file from creating it until it has
// been renamed; a temporary file whose lock can be taken belongs to a writer
// that died, and goes.
void RemoveDeadLeftovers(const std::string& dir) {
  DIR* folder = ::opendir(dir.c_str());
  if (folder == nullptr) return;
  while (const dirent* entry = ::readdir(folder)) {
    if (!IsTempName(entry->d_name)) continue;
    const std::string path = Join(dir, entry->d_name);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && SameFile(fd, path)) ::unlink(path.c_str());
    ::close(fd);
  }
  ::closedir(folder);
}

// Creates and locks a new temporary file in `dir`; its path goes to `path`.
int CreateLockedTemp(const std::string& dir, std::string& path) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    path = Join(dir, RandomTempName());
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      Fail("le fichier temporaire ne peut pas \xEAtre cr\xE9\xE9", errno);
    }
    // Another writer's clean-up may have taken the file between its creation
    // and the lock; then the name no longer leads to it.
    (void)::flock(fd, LOCK_EX);
    if (SameFile(fd, path)) return fd;
    ::close(fd);
  }
  Fail("le fichier temporaire ne peut pas \xEAtre cr\xE9\xE9", EEXIST);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t wrote = ::write(fd, bytes.data(), bytes.size());
    if (wrote < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(wrote));
  }
  return true;
}

void SyncFolder(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  // The new content is in place already; this only hardens the rename
  // against a power cut, so a folder that cannot be synced is no failure.
  (void)::fsync(fd);
  ::close(fd);
}

// Closes and removes the temporary file unless it has been renamed.
class TempFile {
 public:
  TempFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~TempFile() {
    if (!renamed_) ::unlink(path_.c_str());
    ::close(fd_);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  int Fd() const { return fd_; }
  const std::string& Path() const { return path_; }
  void Renamed() { renamed_ = true; }

 private:
  int fd_;
  std::string path_;
  bool renamed_ = false;
};

}  // namespace

void ReplaceFileContents(const std::string& path, std::string_view bytes) {
  const std::string target = FinalTarget(path);
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode))
    throw ReplaceError("ce n'est pas un fichier ordinaire");
  const std::string dir = SplitPath(target).dir;
  RemoveDeadLeftovers(dir);

  std::string tempPath;
  const int fd = CreateLockedTemp(dir, tempPath);
  TempFile temp(fd, tempPath);
  if (exists && ::fchmod(fd, old.st_mode & 07777) != 0)
    Fail("les droits du fichier ne peuvent pas \xEAtre gard\xE9s", errno);
  if (!WriteAll(fd, bytes)) Fail("l'\xE9\x63riture a \xE9\x63hou\xE9", errno);
  // The rename must not publish a file whose data is still only cached.
  if (::fsync(fd) != 0) Fail("l'\xE9\x63riture a \xE9\x63hou\xE9", errno);
  if (::rename(tempPath.c_str(), target.c_str()) != 0)
    Fail("l'ancien fichier ne peut pas \xEAtre remplac\xE9", errno);
  temp.Renamed();
  SyncFolder(dir);
}

}  // namespace veskor
