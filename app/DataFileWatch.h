#pragma once
#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <functional>
#include <string>

namespace zyn::app {

// Watches the data file of the shown instrument and reports once, when it has been written
// anew and then left unchanged for the settle time. A spreadsheet saving a file writes it in
// several steps, or replaces it by a rename; reading it in between would show half a file.
// A writer may also pause for longer than the settle time, so a report whose read fails may
// ask for another try: the same state is reported again after a settle time, until it has stood
// still for the give-up time.
class TDataFileWatch : public QObject {
public:
    explicit TDataFileWatch(std::function<void()> onChanged, QObject* parent = nullptr);

    // Watches `path` from now on; what the file holds now counts as seen.
    void Watch(const std::string& path);
    void SetSettleTime(int milliseconds) { FSettleMs = milliseconds; }
    void SetGiveUpTime(int milliseconds) { FGiveUpMs = milliseconds; }
    // Called by a report whose read failed: true when the state reported is reported again
    // (it has not stood still for the give-up time yet, or changes before), false when the
    // failure stands.
    bool RetryLater();

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
    void Expect(const TStamp& state);

    QFileSystemWatcher FWatcher;
    QTimer FSettle;
    int FSettleMs = 1000;
    int FGiveUpMs = 3000;
    std::string FPath;
    TStamp FSeen;     // the state last loaded or reported
    TStamp FPending;  // the state the settle timer waits on
    QElapsedTimer FPendingSince;  // since that state was first seen
    bool FRetry = false;  // FSeen is to be reported again
    bool FReporting = false;
    std::function<void()> FOnChanged;
};

}  // namespace zyn::app
