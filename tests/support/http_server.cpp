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

// False when the client is gone.
bool lf_sendAll(int client, std::string_view data) {
    for (ssize_t n; !data.empty(); data.remove_prefix(static_cast<size_t>(n)))
        if ((n = send(client, data.data(), data.size(), MSG_NOSIGNAL)) <= 0) return false;
    return true;
}

// The head of an answer whose body has that many bytes.
std::string lf_head(int status, std::string_view reason, size_t bodyBytes) {
    return fmt::format(
        "HTTP/1.1 {} {}\r\nContent-Length: {}\r\nContent-Type: application/octet-stream\r\n"
        "Connection: close\r\n\r\n",
        status, reason, bodyBytes);
}

std::string lf_response(int status, std::string_view reason, std::string_view body) {
    return lf_head(status, reason, body.size()) + std::string(body);
}

constexpr std::string_view kEndlessHead =
    "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\nConnection: close\r\n\r\n";
constexpr std::string_view kUnsizedHead =
    "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n\r\n";
constexpr std::string_view kHtmlPage =
    "<!DOCTYPE html>\n<html><head><title>Not found</title></head><body><h1>Page not "
    "found</h1></body></html>\n";
constexpr size_t kHugeChunk = 64 * 1024;
constexpr size_t kHugeMost = 64 * 1024 * 1024;
constexpr size_t kTrickleStep = 70;  // bytes every kTrickleMs: 700 bytes a second
constexpr int kTrickleMs = 100;

std::string lf_fileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream body;
    body << in.rdbuf();
    return body.str();
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
    std::lock_guard lock(mutex_);
    return lastUserAgent_;
}

void HttpServer::setFault(const std::string& path, HttpFault fault) {
    std::lock_guard lock(mutex_);
    faults_[path] = fault;
}

int HttpServer::requestCount(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto it = pathCounts_.find(path);
    return it == pathCounts_.end() ? 0 : it->second;
}

bool HttpServer::awaitHolding(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return holdingCv_.wait_for(lock, timeout, [this] { return holding_.load(); });
}

bool HttpServer::waitWhileOpen(int client, int timeoutMs) {
    pollfd fds[2] = {{wakeFds_[0], POLLIN, 0}, {client, POLLIN, 0}};
    return poll(fds, 2, timeoutMs) == 0;
}

void HttpServer::hold(int client, std::string_view body) {
    {
        std::lock_guard lock(mutex_);
        holding_ = true;
    }
    holdingCv_.notify_all();
    for (size_t sent = 0;; sent += kTrickleStep) {
        if (!body.empty() && (sent >= body.size() || !lf_sendAll(client, body.substr(sent, kTrickleStep))))
            break;
        if (!waitWhileOpen(client, body.empty() ? -1 : kTrickleMs)) break;
    }
    holding_ = false;
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
    HttpFault fault = HttpFault::None;
    {
        std::lock_guard lock(mutex_);
        const size_t agent = head.find("\r\nUser-Agent:");
        const size_t from = head.find_first_not_of(' ', agent + 13);
        lastUserAgent_ = agent == std::string::npos ? "" : head.substr(from, head.find("\r\n", from) - from);
        ++pathCounts_[target];
        if (auto it = faults_.find(target); it != faults_.end()) fault = it->second;
    }
    requests_++;
    if (method != "GET") {
        lf_sendAll(client, lf_response(405, "Method Not Allowed", ""));
        return;
    }
    switch (fault) {
        case HttpFault::ServerError:
            lf_sendAll(client, lf_response(500, "Internal Server Error", ""));
            return;
        case HttpFault::Cut:
            lf_sendAll(client, std::string(kEndlessHead) + "<meta>");
            return;
        case HttpFault::Stall:
            if (lf_sendAll(client, kEndlessHead)) hold(client, "");
            return;
        case HttpFault::Huge:
            if (!lf_sendAll(client, kUnsizedHead)) return;
            for (size_t sent = 0; sent < kHugeMost && waitWhileOpen(client, 0); sent += kHugeChunk)
                if (!lf_sendAll(client, std::string(kHugeChunk, 'x'))) return;
            return;
        case HttpFault::Redirect:
            lf_sendAll(client, fmt::format("HTTP/1.1 302 Found\r\nLocation: /moved{}\r\nContent-Length: 0\r\n"
                                           "Connection: close\r\n\r\n",
                                           target));
            return;
        case HttpFault::Html:
            lf_sendAll(client, lf_response(200, "OK", kHtmlPage));
            return;
        case HttpFault::None:
        case HttpFault::Trickle:
            break;
    }
    std::string path = target;  // blanks come as "%20"
    for (size_t at = path.find("%20"); at != std::string::npos; at = path.find("%20", at + 1)) path.replace(at, 3, " ");
    const fs::path file = root_ / fs::path(path).relative_path();
    std::error_code ec;
    if (!target.starts_with('/') || target.find("..") != std::string::npos ||
        !fs::is_regular_file(file, ec)) {
        lf_sendAll(client, lf_response(404, "Not Found", ""));
        return;
    }
    const std::string body = lf_fileBytes(file);
    if (fault != HttpFault::Trickle) {
        lf_sendAll(client, lf_response(200, "OK", body));
        return;
    }
    if (lf_sendAll(client, lf_head(200, "OK", body.size()))) hold(client, body);
}

int tst_deadLocalPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    const int port = lf_bindLoopback(fd);
    close(fd);
    return port;
}

ScriptedHttpServer::ScriptedHttpServer(std::string answer, bool holdOpen)
    : answer_(std::move(answer)), holdOpen_(holdOpen) {}

ScriptedHttpServer::~ScriptedHttpServer() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    if (listenFd_ >= 0) close(listenFd_);
}

bool ScriptedHttpServer::start() {
    if ((listenFd_ = socket(AF_INET, SOCK_STREAM, 0)) < 0) return false;
    port_ = lf_bindLoopback(listenFd_);
    if (port_ == 0 || listen(listenFd_, 8) != 0) return false;
    thread_ = std::thread([this] { serve(); });
    return true;
}

std::string ScriptedHttpServer::url() const {
    return fmt::format("http://127.0.0.1:{}/P3D/file.xml", port_);
}

bool ScriptedHttpServer::open(int client) {
    // Looks every 20 ms whether the server stops, so that no wake-up pipe is needed.
    while (!stopping_) {
        pollfd p{client, POLLIN, 0};
        if (const int ready = poll(&p, 1, 20); ready != 0) return ready > 0;
    }
    return false;
}

void ScriptedHttpServer::serve() {
    while (!stopping_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        const int client = accept(listenFd_, nullptr, nullptr);
        if (client < 0) continue;
        std::string head;
        char buf[1024];
        for (ssize_t n; head.find("\r\n\r\n") == std::string::npos && open(client);
             head.append(buf, size_t(n)))
            if ((n = recv(client, buf, sizeof buf, 0)) <= 0) break;
        requests_++;
        if (lf_sendAll(client, answer_) && holdOpen_)
            while (open(client) && recv(client, buf, sizeof buf, 0) > 0) {
            }
        close(client);
    }
}
