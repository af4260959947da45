#pragma once
#include <string>

namespace zyn::net {

// The page the download command fetches. The host is a placeholder: names under ".invalid"
// never resolve, so the command fails quietly until the real server's name is put here.
inline constexpr const char* SourceAddress = "http://zyn-maker.invalid/ZYN/compute_dax.htm";

// Bounds that keep a dead or stalled server from blocking the window for ever.
struct DownloadLimits {
    long ConnectTimeoutSeconds = 15;
    long LowSpeedBytesPerSecond = 1;  // slower than this ...
    long LowSpeedSeconds = 30;        // ... for this long gives up
    long TotalTimeoutSeconds = 300;   // 0: no limit on the whole transfer
};

// Fetches address (http or https, redirects followed) into targetPath, synchronously.
// An existing target is deleted and the target is created empty first; failing to do either
// raises the run-time I/O error (RunError). Returns true exactly when the transfer succeeded
// with a 2xx status; otherwise the target is left empty and false is returned.
bool DownloadToFile(const std::string& address, const std::string& targetPath,
                    const DownloadLimits& limits = {});

}  // namespace zyn::net
