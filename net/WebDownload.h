#pragma once
#include <chrono>
#include <cstddef>
#include <string>

namespace zyn::net {

// The page the download command fetches. The host is a placeholder: names under ".invalid"
// never resolve, so the command fails quietly until the real server's name is put here.
inline constexpr const char* SourceAddress = "http://zyn-maker.invalid/ZYN/compute_dax.htm";

// Bounds that keep a dead, stalled or endless server from blocking the window for long or
// filling the disk. The page is small; anything past these is a failed download.
struct DownloadLimits {
    std::chrono::milliseconds Connect{10'000};       // until the connection stands
    std::chrono::milliseconds Transfer{30'000};      // the whole transfer, connection included
    std::size_t MaxBodyBytes = 16 * 1024 * 1024;     // the body as written, after content decoding
};

// Why a download ended; only Done is a success.
enum class DownloadOutcome {
    Done,
    Failed,           // refused, unresolved, not http, a non-2xx status, a broken transfer
    ConnectTimedOut,  // the connection did not stand within DownloadLimits::Connect
    TimedOut,         // the transfer took longer than DownloadLimits::Transfer
    TooLarge,         // the body grew past DownloadLimits::MaxBodyBytes
};

// Fetches address (http or https, redirects followed) into targetPath, synchronously.
// An existing target is deleted and the target is created empty first; failing to do either
// raises the run-time I/O error (RunError). Any outcome but Done leaves the target empty.
DownloadOutcome FetchToFile(const std::string& address, const std::string& targetPath,
                            const DownloadLimits& limits = {});

// As FetchToFile; true exactly when the transfer succeeded with a 2xx status.
bool DownloadToFile(const std::string& address, const std::string& targetPath,
                    const DownloadLimits& limits = {});

}  // namespace zyn::net
