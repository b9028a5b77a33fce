#include "sim/run_dir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zav::sim {

bool PlainFileName(const std::string& name) {
  return !name.empty() && name.size() <= 255 && name != "." && name != ".." &&
         name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

int OpenRunDir(const std::string& path, std::string& err) {
  if (path.empty()) {
    err = "the run directory has no name";
    return -1;
  }
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    err = "cannot make " + path + ": " + std::strerror(errno);
    return -1;
  }
  // O_NOFOLLOW: a link in place of the directory is refused, not followed.
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    err = path + " is not a directory of its own: " + std::strerror(errno);
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
    err = path + " must belong to this user and be closed to everyone else (mode 0700)";
    ::close(fd);
    return -1;
  }
  return fd;
}

int OpenInRunDir(int dirFd, const std::string& name, bool append) {
  if (!PlainFileName(name)) {
    errno = EINVAL;
    return -1;
  }
  const int mode = append ? O_APPEND : O_TRUNC;
  return ::openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | mode, 0600);
}

bool WriteInRunDir(int dirFd, const std::string& name, const std::string& text, std::string& err) {
  const int fd = OpenInRunDir(dirFd, name, false);
  if (fd < 0) {
    err = "cannot write " + name + ": " + std::strerror(errno);
    return false;
  }
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const bool closed = ::close(fd) == 0;
  if (done != text.size() || !closed) {
    err = "cannot write " + name + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace zav::sim
