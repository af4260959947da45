#include "app/DataFileWatch.h"

#include <sys/stat.h>

#include <QFileInfo>
#include <algorithm>
#include <utility>

namespace zyn::app {

namespace {

TDataFileWatch::TStamp StampOf(const std::string& path) {
    TDataFileWatch::TStamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return stamp;
    stamp.Exists = true;
    stamp.Device = st.st_dev;
    stamp.Inode = st.st_ino;
    stamp.Size = static_cast<unsigned long long>(st.st_size);
    stamp.ModifiedNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return stamp;
}

}  // namespace

TDataFileWatch::TDataFileWatch(std::function<void()> onChanged, QObject* parent)
    : QObject(parent), FOnChanged(std::move(onChanged)) {
    FSettle.setSingleShot(true);
    // Never early: a retry must not come before the give-up time it waits for.
    FSettle.setTimerType(Qt::PreciseTimer);
    connect(&FWatcher, &QFileSystemWatcher::fileChanged, this, [this] { Touched(); });
    // The folder tells when the file is replaced by a rename or comes back after a removal,
    // both of which end the watch on the file itself.
    connect(&FWatcher, &QFileSystemWatcher::directoryChanged, this, [this] { Touched(); });
    connect(&FSettle, &QTimer::timeout, this, [this] { Settled(); });
}

void TDataFileWatch::Watch(const std::string& path) {
    FSeen = StampOf(path);
    Expect(FSeen);
    FRetry = false;
    if (path == FPath) {
        FollowFile();
        return;
    }
    FSettle.stop();
    if (!FWatcher.files().isEmpty()) FWatcher.removePaths(FWatcher.files());
    if (!FWatcher.directories().isEmpty()) FWatcher.removePaths(FWatcher.directories());
    FPath = path;
    FWatcher.addPath(QFileInfo(QString::fromStdString(path)).absolutePath());
    FollowFile();
}

void TDataFileWatch::FollowFile() {
    const QString file = QString::fromStdString(FPath);
    if (FSeen.Exists || StampOf(FPath).Exists) {
        if (!FWatcher.files().contains(file)) FWatcher.addPath(file);
    }
}

void TDataFileWatch::Expect(const TStamp& state) {
    if (state == FPending && FPendingSince.isValid()) return;
    FPending = state;
    FPendingSince.start();
}

void TDataFileWatch::Touched() {
    if (FPath.empty()) return;
    FollowFile();
    const TStamp now = StampOf(FPath);
    // Other files of the folder change too; only a new state of this one counts.
    if (now == FSeen && !FSettle.isActive()) return;
    Expect(now);
    FSettle.start(FSettleMs);
}

void TDataFileWatch::Settled() {
    const TStamp now = StampOf(FPath);
    // Written again without an event reaching us yet, or a report still showing its box:
    // wait another settle time.
    if (now != FPending || FReporting) {
        Expect(now);
        FSettle.start(FSettleMs);
        return;
    }
    if (now == FSeen && !FRetry) return;
    FSeen = now;
    FRetry = false;
    // A removed file is not loaded; when it comes back, that is a change of its own.
    if (!now.Exists) return;
    FReporting = true;
    struct TReset {
        bool& Flag;
        ~TReset() { Flag = false; }
    } reset{FReporting};
    FOnChanged();
}

bool TDataFileWatch::RetryLater() {
    const qint64 still = FPendingSince.elapsed();
    if (still >= FGiveUpMs) return false;
    FRetry = true;
    FSettle.start(static_cast<int>(std::min<qint64>(FSettleMs, FGiveUpMs - still)));
    return true;
}

}  // namespace zyn::app
