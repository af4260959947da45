#pragma once
// A tiny HTTP server on 127.0.0.1 for the download tests. It serves one connection at a time:
//   /page.htm   200 with Body
//   /missing    404 with a small error page
//   /moved      302 to /page.htm
//   /loop       302 to itself
//   /to-file    302 to a file: address
//   /stall      200 headers promising more than it sends, then silence until the client
//               hangs up (or the server stops)
//   /silent     reads the request and never answers
//   /trickle    200 with a 64-byte body sent two bytes every 100 ms
//   /endless    200 without a length, 64 KiB chunks as fast as the client takes them
//   /gzip-bomb  200 with a gzip-encoded body of some 8 KiB that decodes to BombBytes
// The last four hold the connection until the client hangs up; ClientGaveUp() tells whether it
// did before the server came to its end (the trickle and the endless body do end, after 3.2 s
// and 64 MiB, so a client without limits gets a complete page).
// Every wait is bounded, so the server stops by itself even if a test goes wrong.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace zyn::test {

class TLocalHttpServer {
public:
    static constexpr const char* Body = "<html><body>compute dax</body></html>\n";
    static constexpr std::size_t BombBytes = 8 * 1024 * 1024;

    TLocalHttpServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (listener_ < 0) throw std::runtime_error("socket failed");
        const int one = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 8) != 0) {
            ::close(listener_);
            throw std::runtime_error("bind/listen failed");
        }
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Run(); });
    }

    ~TLocalHttpServer() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }

    TLocalHttpServer(const TLocalHttpServer&) = delete;
    TLocalHttpServer& operator=(const TLocalHttpServer&) = delete;

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

    // Waits until a held connection has ended; true when the client hung up on it.
    bool ClientGaveUp() {
        std::unique_lock lock(mutex_);
        stallDone_.wait_for(lock, std::chrono::seconds(90), [this] { return stallEnded_; });
        return clientGaveUp_;
    }

    int Requests() const { return requests_; }

private:
    void Run() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
        while (!stop_ && std::chrono::steady_clock::now() < deadline) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            Serve(client);
            ::close(client);
        }
    }

    // Reads the request head; returns the path of the request line.
    std::string ReadRequestPath(int client) {
        std::string head;
        char buffer[1024];
        for (int waits = 0; head.find("\r\n\r\n") == std::string::npos && waits < 100 && !stop_;) {
            pollfd p{client, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) {
                ++waits;
                continue;
            }
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) return {};
            head.append(buffer, static_cast<size_t>(n));
        }
        const size_t start = head.find(' ');
        const size_t end = head.find(' ', start + 1);
        if (start == std::string::npos || end == std::string::npos) return {};
        return head.substr(start + 1, end - start - 1);
    }

    void Send(int client, const std::string& text) {
        size_t sent = 0;
        while (sent < text.size()) {
            const ssize_t n = ::send(client, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return;
            sent += static_cast<size_t>(n);
        }
    }

    void Respond(int client, const std::string& status, const std::string& extraHeaders,
                 const std::string& body) {
        Send(client, "HTTP/1.1 " + status + "\r\nContent-Type: text/html\r\nContent-Length: " +
                         std::to_string(body.size()) + "\r\nConnection: close\r\n" + extraHeaders +
                         "\r\n" + body);
    }

    void Serve(int client) {
        const std::string path = ReadRequestPath(client);
        ++requests_;
        if (path == "/page.htm") {
            Respond(client, "200 OK", "", Body);
        } else if (path == "/moved") {
            Respond(client, "302 Found", "Location: /page.htm\r\n", "");
        } else if (path == "/loop") {
            Respond(client, "302 Found", "Location: /loop\r\n", "");
        } else if (path == "/to-file") {
            Respond(client, "302 Found", "Location: file:///etc/hostname\r\n", "");
        } else if (path == "/stall") {
            Send(client, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\nConnection: close\r\n\r\n<html>");
            Hold(client, "", 0, std::chrono::milliseconds(50));
        } else if (path == "/silent") {
            Hold(client, "", 0, std::chrono::milliseconds(50));
        } else if (path == "/trickle") {
            Send(client, "HTTP/1.1 200 OK\r\nContent-Length: 64\r\nConnection: close\r\n\r\n");
            Hold(client, "<>", 32, std::chrono::milliseconds(100));
        } else if (path == "/endless") {
            Send(client, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n");
            Hold(client, std::string(64 * 1024, 'x'), 1024, std::chrono::milliseconds(0));
        } else if (path == "/gzip-bomb") {
            Respond(client, "200 OK", "Content-Encoding: gzip\r\n", GzipOfZeros(BombBytes));
        } else {
            Respond(client, "404 Not Found", "", "<html>nicht gefunden</html>");
        }
    }

    // Sends chunk count times, one every interval, then waits (a minute at most) for the client
    // to hang up; notes whether it hung up before the server was done.
    void Hold(int client, const std::string& chunk, int count, std::chrono::milliseconds interval) {
        timeval sendTimeout{0, 100000};
        ::setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
        bool gaveUp = false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        auto due = std::chrono::steady_clock::now();
        int sent = 0;
        while (!gaveUp && !stop_ && std::chrono::steady_clock::now() < deadline) {
            if (sent < count && std::chrono::steady_clock::now() >= due) {
                gaveUp = !SendChunk(client, chunk, deadline);
                ++sent;
                due += interval;
                if (sent == count) break;  // the body is complete: the server closes
                continue;
            }
            pollfd p{client, POLLIN, 0};
            if (::poll(&p, 1, sent < count ? std::max(1, static_cast<int>(interval.count())) : 50) <= 0) continue;
            char c;
            gaveUp = ::recv(client, &c, 1, 0) <= 0;
        }
        std::lock_guard lock(mutex_);
        clientGaveUp_ = gaveUp;
        stallEnded_ = true;
        stallDone_.notify_all();
    }

    // False when the client has gone.
    bool SendChunk(int client, const std::string& chunk, std::chrono::steady_clock::time_point deadline) {
        size_t sent = 0;
        while (sent < chunk.size()) {
            const ssize_t n = ::send(client, chunk.data() + sent, chunk.size() - sent, MSG_NOSIGNAL);
            if (n > 0) {
                sent += static_cast<size_t>(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) && !stop_ &&
                       std::chrono::steady_clock::now() < deadline) {
                continue;  // the client is slow to read; its hang-up shows as an error
            } else {
                return false;
            }
        }
        return true;
    }

    static std::string GzipOfZeros(std::size_t size) {
        z_stream z{};
        if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
            throw std::runtime_error("deflateInit2 failed");
        }
        std::string zeros(size, '\0');
        std::string out(deflateBound(&z, static_cast<uLong>(size)), '\0');
        z.next_in = reinterpret_cast<Bytef*>(zeros.data());
        z.avail_in = static_cast<uInt>(size);
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        const int result = deflate(&z, Z_FINISH);
        out.resize(z.total_out);
        deflateEnd(&z);
        if (result != Z_STREAM_END) throw std::runtime_error("deflate failed");
        return out;
    }

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable stallDone_;
    bool stallEnded_ = false;
    bool clientGaveUp_ = false;
};

// A loopback port whose listener never accepts and whose queue is already full: the kernel
// drops further connection requests, so a connection never stands.
class TUnansweredPort {
public:
    TUnansweredPort() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 0) != 0) {
            throw std::runtime_error("bind/listen failed");
        }
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        // A backlog of 0 still queues one connection; two fillers make sure the queue is full.
        for (int& filler : fillers_) {
            filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~TUnansweredPort() {
        for (int filler : fillers_) ::close(filler);
        ::close(listener_);
    }
    TUnansweredPort(const TUnansweredPort&) = delete;
    TUnansweredPort& operator=(const TUnansweredPort&) = delete;

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

private:
    int listener_ = -1;
    int fillers_[2] = {-1, -1};
    int port_ = 0;
};

// A loopback port with a socket bound to it that never listens: connections are refused.
class TRefusingPort {
public:
    TRefusingPort() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            throw std::runtime_error("bind failed");
        }
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~TRefusingPort() { ::close(fd_); }
    TRefusingPort(const TRefusingPort&) = delete;
    TRefusingPort& operator=(const TRefusingPort&) = delete;

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

}  // namespace zyn::test
