#include "engine/file_read.h"

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>

bool ReadFileAt(int fd, std::uint8_t* data, std::size_t n, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < n) {
    const ssize_t got = ::pread(fd, data + done, n - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}
