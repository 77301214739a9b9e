#include "core/errors.h"

#include <fmt/format.h>

namespace qtk {

namespace {
std::string lf_errorText(int code, const std::string& message) {
    if (code == 99) return message;
    return fmt::format("{}: {}", code, message);
}
}  // namespace

UserErrorException::UserErrorException(int code, const std::string& message)
    : std::runtime_error(lf_errorText(code, message)), code_(code), message_(message) {}

}  // namespace qtk
