#include "platform/console_input.h"

#include <poll.h>
#include <unistd.h>

#include <utility>
#include <vector>

namespace {

// A line longer than this is no box's text: it is dropped.
constexpr size_t kMaxLine = 4096;

bool g_inputEnded = false;
std::string g_partialLine;

}  // namespace

std::vector<std::string> gf_takeConsoleLines() {
    std::vector<std::string> lines;
    if (g_inputEnded) return lines;
    if (isatty(STDIN_FILENO)) {
        g_inputEnded = true;
        return lines;
    }
    pollfd in{STDIN_FILENO, POLLIN, 0};
    while (poll(&in, 1, 0) > 0 && (in.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        char buffer[256];
        const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            g_inputEnded = true;
            break;
        }
        g_partialLine.append(buffer, static_cast<size_t>(n));
        if (g_partialLine.size() > kMaxLine && g_partialLine.find('\n') == std::string::npos) g_partialLine.clear();
    }
    for (size_t end; (end = g_partialLine.find('\n')) != std::string::npos;) {
        lines.push_back(g_partialLine.substr(0, end));
        g_partialLine.erase(0, end + 1);
    }
    // A last line without its end of line still counts once the input has ended.
    if (g_inputEnded && !g_partialLine.empty()) lines.push_back(std::exchange(g_partialLine, {}));
    return lines;
}

std::optional<std::string> gf_consoleBoxText(const std::string& line, const std::string& boxName) {
    if (line.size() <= boxName.size() || line.compare(0, boxName.size(), boxName) != 0 ||
        line[boxName.size()] != '=')
        return std::nullopt;
    return line.substr(boxName.size() + 1);
}
