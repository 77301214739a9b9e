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

constexpr std::size_t kMaxRequestBytes = 16 * 1024;
constexpr int kClientTimeoutMs = 5000;

sockaddr_in lf_loopback(int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

int lf_boundPort(int fd) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
    return ntohs(addr.sin_port);
}

// Reads until the end of the request head, bounded in size and time.
std::string lf_readHead(int client) {
    std::string head;
    char buf[1024];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRequestBytes) {
        pollfd p{client, POLLIN, 0};
        if (poll(&p, 1, kClientTimeoutMs) <= 0) break;
        ssize_t n = recv(client, buf, sizeof buf, 0);
        if (n <= 0) break;
        head.append(buf, static_cast<size_t>(n));
    }
    return head;
}

void lf_sendAll(int client, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = send(client, data.data(), data.size(), MSG_NOSIGNAL);
        if (n <= 0) return;
        data.remove_prefix(static_cast<size_t>(n));
    }
}

std::string lf_header(std::string_view head, std::string_view name) {
    std::istringstream lines{std::string(head)};
    std::string line;
    while (std::getline(lines, line)) {
        if (line.size() <= name.size() + 1 || line.compare(0, name.size(), name) != 0 ||
            line[name.size()] != ':')
            continue;
        std::string value = line.substr(name.size() + 1);
        value.erase(0, value.find_first_not_of(' '));
        if (!value.empty() && value.back() == '\r') value.pop_back();
        return value;
    }
    return {};
}

std::string lf_decodeBlanks(std::string text) {
    for (size_t at = text.find("%20"); at != std::string::npos; at = text.find("%20", at + 1))
        text.replace(at, 3, " ");
    return text;
}

std::string lf_response(int status, std::string_view reason, std::string_view body) {
    return fmt::format(
        "HTTP/1.1 {} {}\r\nContent-Length: {}\r\nContent-Type: application/octet-stream\r\n"
        "Connection: close\r\n\r\n{}",
        status, reason, body.size(), body);
}

}  // namespace

HttpServer::HttpServer(fs::path root) : root_(std::move(root)) {}

HttpServer::~HttpServer() {
    stop();
}

bool HttpServer::start() {
    if (pipe(wakeFds_) != 0) return false;
    listenFd_ = socket(AF_INET, SOCK_STREAM, 0);
    if (listenFd_ < 0) return false;
    sockaddr_in addr = lf_loopback(0);
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listenFd_, 8) != 0)
        return false;
    port_ = lf_boundPort(listenFd_);
    thread_ = std::thread([this] { serve(); });
    return port_ != 0;
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

void HttpServer::setFault(const std::string& path, HttpFault fault) {
    std::lock_guard lock(agentMutex_);
    faults_[path] = fault;
}

int HttpServer::requestCount(const std::string& path) const {
    std::lock_guard lock(agentMutex_);
    auto it = pathCounts_.find(path);
    return it == pathCounts_.end() ? 0 : it->second;
}

void HttpServer::serve() {
    while (true) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) return;
        if (fds[1].revents != 0) return;
        if ((fds[0].revents & POLLIN) == 0) continue;
        int client = accept(listenFd_, nullptr, nullptr);
        if (client < 0) continue;
        answer(client);
        close(client);
    }
}

void HttpServer::answer(int client) {
    std::string head = lf_readHead(client);
    std::istringstream first(head.substr(0, head.find("\r\n")));
    std::string method, target;
    first >> method >> target;
    HttpFault fault = HttpFault::None;
    {
        std::lock_guard lock(agentMutex_);
        lastUserAgent_ = lf_header(head, "User-Agent");
        ++pathCounts_[target];
        if (auto it = faults_.find(target); it != faults_.end()) fault = it->second;
    }
    requests_++;
    if (method != "GET") return lf_sendAll(client, lf_response(405, "Method Not Allowed", ""));
    if (fault == HttpFault::ServerError) return lf_sendAll(client, lf_response(500, "Internal Server Error", ""));
    if (fault == HttpFault::Stall) {
        lf_sendAll(client, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\nConnection: close\r\n\r\n");
        pollfd wake{wakeFds_[0], POLLIN, 0};
        poll(&wake, 1, 30000);
        return;
    }
    if (fault == HttpFault::Cut)
        return lf_sendAll(client, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\nConnection: close\r\n\r\n<meta>");
    fs::path file = root_ / fs::path(lf_decodeBlanks(target)).relative_path();
    bool inside = target.starts_with('/') && target.find("..") == std::string::npos;
    std::error_code ec;
    if (!inside || !fs::is_regular_file(file, ec))
        return lf_sendAll(client, lf_response(404, "Not Found", ""));
    std::ifstream in(file, std::ios::binary);
    std::ostringstream body;
    body << in.rdbuf();
    lf_sendAll(client, lf_response(200, "OK", body.str()));
}

int tst_deadLocalPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in addr = lf_loopback(0);
    int port = bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 ? lf_boundPort(fd) : 0;
    close(fd);
    return port;
}
