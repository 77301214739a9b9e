// The single-instance guard: an exclusive lock on a file in the user data folder stands in
// for the named mutex of the simulator's machine. Taken by the entry before anything else.
#pragma once
#include <filesystem>
#include <string>

// Holds the lock for as long as it lives; the lock also ends with the process.
class SingleInstanceLock {
  public:
    SingleInstanceLock() = default;
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // Takes the lock on the file (created when missing) without waiting; false when another
    // holder has it or the file cannot be opened.
    bool acquire(const std::filesystem::path& lockFile);
    bool held() const { return fd_ >= 0; }
    // After a refused acquire: true when another holder has the lock (another copy runs),
    // false when the file could not be opened; failure() then says why.
    bool heldElsewhere() const { return heldElsewhere_; }
    const std::string& failure() const { return failure_; }

  private:
    int fd_ = -1;
    bool heldElsewhere_ = false;
    std::string failure_;
};

// Name of the lock file inside the user data folder.
inline constexpr const char* g_instanceLockFile = "Trelvo_P3D.lock";
