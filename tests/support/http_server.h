// A small HTTP/1.1 server for tests: the files of one folder on 127.0.0.1 at an ephemeral port,
// from its own thread, GET only, one connection at a time, each closed after its answer. A path
// can be given a fault instead of its answer, as a broken, slow or hostile site would answer.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>

// What the server does instead of answering a path.
enum class HttpFault {
    None,         // the file, or 404 when there is none
    ServerError,  // 500 with an empty body
    Cut,          // the head of a 200 of 100000 bytes, 6 bytes, then the connection closed
    Stall,        // the head of a 200, then nothing until stop() or the client closes
    Trickle,      // the file at 700 bytes a second (70 every 100 ms), until done, stop() or the client closes
    Huge,         // a 200 without a length and bytes without end, until the client closes (or 64 MiB)
    Redirect,     // 302 to the same path below /moved
    Html,         // 200 with an HTML "page not found"
};

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
    // Wakes the thread (ending a held connection), joins it and closes the socket. Called by the
    // destructor as well.
    void stop();
    std::string baseUrl() const;  // "http://127.0.0.1:<port>/"
    // Requests answered so far (any status).
    int requestCount() const { return requests_.load(); }
    // The User-Agent header of the last request.
    std::string lastUserAgent() const;
    // Makes requests of that path (as requested, "/P3D/archive/stock/LSZH.xml") fail that way.
    void setFault(const std::string& path, HttpFault fault);
    // Requests of that path so far.
    int requestCount(const std::string& path) const;
    // Whether a stalled or trickling answer holds its connection open now.
    bool holding() const { return holding_.load(); }
    // Waits until an answer holds its connection open; false when none did within the timeout.
    bool awaitHolding(std::chrono::milliseconds timeout);

  private:
    void serve();
    void answer(int client);
    // Keeps the connection open, sending the body in steps when there is one; until the client
    // closes, the server stops or the body is sent.
    void hold(int client, std::string_view body);
    bool waitWhileOpen(int client, int timeoutMs);

    std::filesystem::path root_;
    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};  // a pipe: stop() writes one byte to end the poll
    int port_ = 0;
    std::thread thread_;
    std::atomic<int> requests_{0};
    std::atomic<bool> holding_{false};
    mutable std::mutex mutex_;  // guards the four below
    std::condition_variable holdingCv_;
    std::string lastUserAgent_;
    std::map<std::string, HttpFault> faults_;
    std::map<std::string, int> pathCounts_;
};

// A port on 127.0.0.1 that nothing listens on: bound by a socket that is then closed.
int tst_deadLocalPort();

// Answers every request with exactly the bytes given (head and body as the test writes them,
// any status), then closes the connection; with holdOpen it keeps the connection open after
// them until the client closes or the server stops, as a site that sends part of an answer and
// then nothing. One connection at a time, from its own thread.
class ScriptedHttpServer {
  public:
    ScriptedHttpServer(std::string answer, bool holdOpen);
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;
    bool start();             // false when the socket cannot be set up
    std::string url() const;  // "http://127.0.0.1:<port>/P3D/file.xml"
    int requestCount() const { return requests_.load(); }

  private:
    void serve();
    bool open(int client);  // false once the client closed or the server stops

    std::string answer_;
    bool holdOpen_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> requests_{0};
    std::thread thread_;
};
