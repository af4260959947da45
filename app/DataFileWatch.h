#pragma once
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <functional>
#include <string>

namespace zyn::app {

// Watches the data file of the shown instrument and reports once, when it has been written
// anew and then left unchanged for the settle time. A spreadsheet saving a file writes it in
// several steps, or replaces it by a rename; reading it in between would show half a file.
class TDataFileWatch : public QObject {
public:
    explicit TDataFileWatch(std::function<void()> onChanged, QObject* parent = nullptr);

    // Watches `path` from now on; what the file holds now counts as seen.
    void Watch(const std::string& path);
    void SetSettleTime(int milliseconds) { FSettle.setInterval(milliseconds); }

    // What identifies one written state of a file; a rewrite changes the time or the size,
    // a replacement the inode.
    struct TStamp {
        bool Exists = false;
        unsigned long long Device = 0, Inode = 0, Size = 0;
        long long ModifiedNs = 0;
        bool operator==(const TStamp&) const = default;
    };

private:
    void Touched();
    void Settled();
    void FollowFile();

    QFileSystemWatcher FWatcher;
    QTimer FSettle;
    std::string FPath;
    TStamp FSeen;     // the state last loaded or reported
    TStamp FPending;  // the state the settle timer waits on
    bool FReporting = false;
    std::function<void()> FOnChanged;
};

}  // namespace zyn::app
