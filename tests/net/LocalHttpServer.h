#pragma once
// A tiny HTTP server on 127.0.0.1 for the download tests. It serves one connection at a time:
//   /page.htm   200 with Body
//   /missing    404 with a small error page
//   /moved      302 to /page.htm
//   /loop       302 to itself
//   /to-file    302 to a file: address
//   /stall      200 headers promising more than it sends, then silence until the client
//               hangs up (or the server stops)
// Every wait is bounded, so the server stops by itself even if a test goes wrong.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
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

    // Waits until a stalled connection has ended; true when the client hung up on it.
    bool ClientGaveUpOnStall() {
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
            Stall(client);
        } else {
            Respond(client, "404 Not Found", "", "<html>nicht gefunden</html>");
        }
    }

    void Stall(int client) {
        Send(client, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\nConnection: close\r\n\r\n<html>");
        bool gaveUp = false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!stop_ && std::chrono::steady_clock::now() < deadline) {
            pollfd p{client, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            char c;
            if (::recv(client, &c, 1, 0) <= 0) {
                gaveUp = true;
                break;
            }
        }
        std::lock_guard lock(mutex_);
        clientGaveUp_ = gaveUp;
        stallEnded_ = true;
        stallDone_.notify_all();
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
