// A small HTTP/1.1 server for tests: the files of one folder on 127.0.0.1 at an ephemeral port,
// from its own thread, GET only, one connection at a time, each closed after its answer.
#pragma once
#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

class HttpServer {
  public:
    // Serves root once started. A request path is the file's path below root with "%20" for
    // blanks; ".." and paths that are not files answer 404.
    explicit HttpServer(std::filesystem::path root);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds 127.0.0.1:0 and starts the serving thread; false when the socket cannot be set up.
    bool start();
    // Wakes the thread, joins it and closes the socket. Called by the destructor as well.
    void stop();
    std::string baseUrl() const;  // "http://127.0.0.1:<port>/"
    // Requests answered so far (any status).
    int requestCount() const { return requests_.load(); }
    std::string lastUserAgent() const;

  private:
    void serve();
    void answer(int client);

    std::filesystem::path root_;
    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};  // a pipe: stop() writes one byte to end the poll
    int port_ = 0;
    std::thread thread_;
    std::atomic<int> requests_{0};
    mutable std::mutex agentMutex_;  // guards the one below
    std::string lastUserAgent_;
};

// A port on 127.0.0.1 that nothing listens on: bound by a socket that is then closed.
int tst_deadLocalPort();
