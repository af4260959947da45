#include "net/WebDownload.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

    int Descriptor() const { return fd_; }
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

// Where the received body goes, and how much of it may come.
struct BodySink {
    int fd = -1;
    std::size_t written = 0;
    std::size_t limit = 0;
    bool tooLarge = false;
};

// Appends a received (already decoded) chunk to the target; a body past its limit or a short
// write aborts the transfer. Nothing past the limit is written.
size_t WriteChunk(char* data, size_t size, size_t count, void* target) {
    BodySink& sink = *static_cast<BodySink*>(target);
    const size_t total = size * count;
    if (total > sink.limit - sink.written) {
        sink.tooLarge = true;
        return 0;
    }
    size_t written = 0;
    while (written < total) {
        const ssize_t n = ::write(sink.fd, data + written, total - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            return 0;
        }
        written += static_cast<size_t>(n);
    }
    sink.written += total;
    return total;
}

long Milliseconds(std::chrono::milliseconds duration) {
    return static_cast<long>(std::max<std::chrono::milliseconds::rep>(duration.count(), 1));
}

// Both limits end the transfer as a time-out; it is the connection's when none stood and the
// whole transfer's time was not yet used up.
DownloadOutcome TimeOutKind(CURL* c, const DownloadLimits& limits) {
    curl_off_t connected = 0, elapsed = 0;
    if (curl_easy_getinfo(c, CURLINFO_CONNECT_TIME_T, &connected) != CURLE_OK ||
        curl_easy_getinfo(c, CURLINFO_TOTAL_TIME_T, &elapsed) != CURLE_OK) {
        return DownloadOutcome::TimedOut;
    }
    const curl_off_t transferMicros = static_cast<curl_off_t>(limits.Transfer.count()) * 1000;
    return connected == 0 && elapsed < transferMicros ? DownloadOutcome::ConnectTimedOut
                                                      : DownloadOutcome::TimedOut;
}

DownloadOutcome Fetch(const std::string& address, int fd, const DownloadLimits& limits) {
    InitCurlOnce();
    std::unique_ptr<CURL, EasyCleanup> curl(curl_easy_init());
    if (!curl) return DownloadOutcome::Failed;
    CURL* c = curl.get();
    BodySink sink{fd, 0, limits.MaxBodyBytes, false};
    // With an empty encoding list every encoding curl can decode is offered and decoded before
    // the write callback, so the body limit counts decoded bytes.
    const bool ok =
        curl_easy_setopt(c, CURLOPT_URL, address.c_str()) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, Milliseconds(limits.Connect)) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, Milliseconds(limits.Transfer)) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "") == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_USERAGENT, "ZYN-Viewer") == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &WriteChunk) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink) == CURLE_OK;
    if (!ok) return DownloadOutcome::Failed;
    const CURLcode result = curl_easy_perform(c);
    if (sink.tooLarge) return DownloadOutcome::TooLarge;
    if (result == CURLE_OPERATION_TIMEDOUT) return TimeOutKind(c, limits);
    if (result != CURLE_OK) return DownloadOutcome::Failed;
    long status = 0;
    if (curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) return DownloadOutcome::Failed;
    return status >= 200 && status < 300 ? DownloadOutcome::Done : DownloadOutcome::Failed;
}

}  // namespace

DownloadOutcome FetchToFile(const std::string& address, const std::string& targetPath,
                            const DownloadLimits& limits) {
    DeleteExistingTarget(targetPath);
    TargetFile target(targetPath);
    const DownloadOutcome outcome = Fetch(address, target.Descriptor(), limits);
    if (outcome != DownloadOutcome::Done) target.Empty();
    return outcome;
}

bool DownloadToFile(const std::string& address, const std::string& targetPath,
                    const DownloadLimits& limits) {
    return FetchToFile(address, targetPath, limits) == DownloadOutcome::Done;
}

}  // namespace zyn::net
