// Error types shared by every subsystem: the error the user must fix, and helpers
// that raise the library-style texts our log lines quote.
#pragma once
#include <stdexcept>
#include <string>

namespace qtk {

// A condition the user must fix. Raising it ends the current run; the run thread shows
// "Error {}" with the code. Its text is "{code}: {message}", or the message alone for code 99.
class UserErrorException : public std::runtime_error {
public:
    UserErrorException(int code, const std::string& message);
    int code() const noexcept { return code_; }
    const std::string& message() const noexcept { return message_; }

private:
    int code_;
    std::string message_;
};

}  // namespace qtk

// The out-of-range texts that log lines quote, worded as the program has always written them.
inline constexpr const char* kMapKeyError = "invalid unordered_map<K, T> key";
inline constexpr const char* kBitsetPositionError = "invalid bitset position";
inline constexpr const char* kStodError = "invalid stod argument";
