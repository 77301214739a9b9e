#include "platform/single_instance.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) close(fd_);
}

bool SingleInstanceLock::acquire(const std::filesystem::path& lockFile) {
    if (fd_ >= 0) return true;
    heldElsewhere_ = false;
    int fd = open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        failure_ = std::strerror(errno);
        return false;
    }
    // flock belongs to this open file, so a second open in the same process is refused too.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        heldElsewhere_ = errno == EWOULDBLOCK;
        failure_ = std::strerror(errno);
        close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}
