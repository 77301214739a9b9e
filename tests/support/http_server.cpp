#include "support/http_server.h"

#include <fstream>
#include <sstream>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fmt/format.h>

namespace fs = std::filesystem;

namespace {

// Binds fd to 127.0.0.1 at an ephemeral port; the port, 0 when that fails.
int lf_bindLoopback(int fd) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return 0;
    return ntohs(addr.sin_port);
}

void lf_sendAll(int client, std::string_view data) {
    for (ssize_t n; !data.empty(); data.remove_prefix(static_cast<size_t>(n)))
        if ((n = send(client, data.data(), data.size(), MSG_NOSIGNAL)) <= 0) return;
}

std::string lf_response(int status, std::string_view reason, std::string_view body) {
    return fmt::format("HTTP/1.1 {} {}\r\nContent-Length: {}\r\nContent-Type: application/octet-stream\r\n"
                       "Connection: close\r\n\r\n{}", status, reason, body.size(), body);
}

}  // namespace

HttpServer::HttpServer(fs::path root) : root_(std::move(root)) {}

HttpServer::~HttpServer() { stop(); }

bool HttpServer::start() {
    if (pipe(wakeFds_) != 0 || (listenFd_ = socket(AF_INET, SOCK_STREAM, 0)) < 0) return false;
    port_ = lf_bindLoopback(listenFd_);
    if (port_ == 0 || listen(listenFd_, 8) != 0) return false;
    thread_ = std::thread([this] { serve(); });
    return true;
}

void HttpServer::stop() {
    if (thread_.joinable()) {
        char one = 1;
        (void)!write(wakeFds_[1], &one, 1);
        thread_.join();
    }
    for (int* fd : {&listenFd_, &wakeFds_[0], &wakeFds_[1]}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
}

std::string HttpServer::baseUrl() const {
    return fmt::format("http://127.0.0.1:{}/", port_);
}

std::string HttpServer::lastUserAgent() const {
    std::lock_guard lock(agentMutex_);
    return lastUserAgent_;
}

void HttpServer::serve() {
    while (true) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 || fds[1].revents != 0) return;
        if ((fds[0].revents & POLLIN) == 0) continue;
        if (int client = accept(listenFd_, nullptr, nullptr); client >= 0) {
            answer(client);
            close(client);
        }
    }
}

void HttpServer::answer(int client) {
    // Reads until the end of the request head, at most 16 KiB and 5 s without data.
    std::string head;
    char buf[1024];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 16 * 1024) {
        pollfd p{client, POLLIN, 0};
        ssize_t n = poll(&p, 1, 5000) > 0 ? recv(client, buf, sizeof buf, 0) : 0;
        if (n <= 0) break;
        head.append(buf, static_cast<size_t>(n));
    }
    std::istringstream first(head.substr(0, head.find("\r\n")));
    std::string method, target;
    first >> method >> target;
    {
        std::lock_guard lock(agentMutex_);
        const size_t agent = head.find("\r\nUser-Agent:");
        const size_t from = head.find_first_not_of(' ', agent + 13);
        lastUserAgent_ = agent == std::string::npos ? "" : head.substr(from, head.find("\r\n", from) - from);
    }
    requests_++;
    if (method != "GET") return lf_sendAll(client, lf_response(405, "Method Not Allowed", ""));
    std::string path = target;  // blanks come as "%20"
    for (size_t at = path.find("%20"); at != std::string::npos; at = path.find("%20", at + 1)) path.replace(at, 3, " ");
    const fs::path file = root_ / fs::path(path).relative_path();
    std::error_code ec;
    if (!target.starts_with('/') || target.find("..") != std::string::npos || !fs::is_regular_file(file, ec))
        return lf_sendAll(client, lf_response(404, "Not Found", ""));
    std::ifstream in(file, std::ios::binary);
    std::ostringstream body;
    body << in.rdbuf();
    lf_sendAll(client, lf_response(200, "OK", body.str()));
}

int tst_deadLocalPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    const int port = lf_bindLoopback(fd);
    close(fd);
    return port;
}
