#include "net/WebDownload.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <mutex>

#include "data/RunError.h"

namespace zyn::net {

namespace {

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Deletes whatever file stands at path; nothing there is fine, and a directory is left for
// the creation to fail on.
void DeleteExistingTarget(const std::string& path) {
    if (::unlink(path.c_str()) == 0) return;
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR || error == EISDIR) return;
    RaiseIoError(error);
}

// The target, created empty and held open for the transfer.
class TargetFile {
public:
    explicit TargetFile(const std::string& path) {
        do {
            fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
        } while (fd_ < 0 && errno == EINTR);
        if (fd_ < 0) {
            // With O_CREAT a missing entry can only be a missing folder: an invalid name.
            RaiseIoError(errno == ENOENT ? ENOTDIR : errno);
        }
    }
    ~TargetFile() { ::close(fd_); }
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;

    int* Descriptor() { return &fd_; }
    // Whatever a failed transfer left behind (an error page, a partial body) is not the page.
    void Empty() {
        while (::ftruncate(fd_, 0) != 0 && errno == EINTR) {
        }
    }

private:
    int fd_ = -1;
};

struct EasyCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

// Appends a received chunk to the target; a short write aborts the transfer.
size_t WriteChunk(char* data, size_t size, size_t count, void* target) {
    const int fd = *static_cast<const int*>(target);
    const size_t total = size * count;
    size_t written = 0;
    while (written < total) {
        const ssize_t n = ::write(fd, data + written, total - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            return 0;
        }
        written += static_cast<size_t>(n);
    }
    return total;
}

bool Fetch(const std::string& address, int* fd, const DownloadLimits& limits) {
    InitCurlOnce();
    std::unique_ptr<CURL, EasyCleanup> curl(curl_easy_init());
    if (!curl) return false;
    CURL* c = curl.get();
    bool ok = curl_easy_setopt(c, CURLOPT_URL, address.c_str()) == CURLE_OK &&
              curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
              curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
              curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
              curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L) == CURLE_OK &&
              curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
              curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, limits.ConnectTimeoutSeconds) == CURLE_OK &&
              curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, limits.LowSpeedBytesPerSecond) == CURLE_OK &&
              curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, limits.LowSpeedSeconds) == CURLE_OK &&
              curl_easy_setopt(c, CURLOPT_TIMEOUT, limits.TotalTimeoutSeconds) == CURLE_OK &&
              curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "") == CURLE_OK &&
              curl_easy_setopt(c, CURLOPT_USERAGENT, "ZYN-Viewer") == CURLE_OK &&
              curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &WriteChunk) == CURLE_OK &&
              curl_easy_setopt(c, CURLOPT_WRITEDATA, fd) == CURLE_OK;
    if (!ok) return false;
    if (curl_easy_perform(c) != CURLE_OK) return false;
    long status = 0;
    if (curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) return false;
    return status >= 200 && status < 300;
}

}  // namespace

bool DownloadToFile(const std::string& address, const std::string& targetPath,
                    const DownloadLimits& limits) {
    DeleteExistingTarget(targetPath);
    TargetFile target(targetPath);
    if (Fetch(address, target.Descriptor(), limits)) return true;
    target.Empty();
    return false;
}

}  // namespace zyn::net
