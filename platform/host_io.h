// Host file helpers shared inside the layer: whole-file reads, atomic
// replacement that keeps the file's owner and mode, and lock files.
#pragma once

#include <string>
#include <string_view>

namespace zeph::platform {

// 0 or the errno of the failure.
int ReadHostFile(const std::string& path, std::string& bytes);

// Writes `bytes` to a temporary file beside `path`, flushes it to disk and
// renames it over `path`, so readers see the old or the new content, never
// a mix. An existing file's owner and mode are kept. 0 or an errno.
int ReplaceHostFile(const std::string& path, std::string_view bytes, unsigned newFileMode = 0644);

// Creates a folder and its missing parents. 0 or an errno.
int MakeHostDirs(const std::string& path, unsigned mode = 0755);

// An exclusive flock on a lock file, held for the object's lifetime. The
// lock goes away with the process, so a crash never leaves it taken.
class HostFileLock {
  public:
    explicit HostFileLock(const std::string& lockPath);
    ~HostFileLock();
    HostFileLock(const HostFileLock&) = delete;
    HostFileLock& operator=(const HostFileLock&) = delete;
    // 0, or the errno that kept the lock file from opening or locking.
    int Error() const { return m_error; }

  private:
    int m_fd = -1;
    int m_error = 0;
};

}  // namespace zeph::platform
