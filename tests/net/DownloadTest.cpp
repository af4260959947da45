#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/Main.h"
#include "data/RunError.h"
#include "net/WebDownload.h"
#include "tests/app/TestApplication.h"
#include "tests/net/LocalHttpServer.h"

namespace fs = std::filesystem;

namespace zyn::test {
namespace {

using namespace std::chrono_literals;

// Generous time for the transfers that should succeed on a busy machine, a body limit well
// above the page and well below what the endless servers send.
const net::DownloadLimits kShortLimits{5s, 20s, 1024 * 1024};
// A whole transfer bounded to one second, so that a dead transfer ends quickly in the tests.
const net::DownloadLimits kOneSecond{5s, 1s, 1024 * 1024};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

fs::path MakeTempDirectory() {
    std::string pattern = (fs::temp_directory_path() / "zyn-net-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    return fs::canonical(pattern);
}

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = MakeTempDirectory();
        fs::create_directories(root_ / "Data" / "Temp");
        target_ = root_ / "Data" / "Temp" / "Temp.htm";
    }
    void TearDown() override { fs::remove_all(root_); }

    bool Download(const std::string& address) {
        return net::DownloadToFile(address, target_.string(), kShortLimits);
    }
    net::DownloadOutcome Fetch(const std::string& address, const net::DownloadLimits& limits) {
        WriteAll(target_, "alter Inhalt");
        return net::FetchToFile(address, target_.string(), limits);
    }

    // The target exists as an empty regular file.
    void ExpectEmptyTarget() {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(target_)));
        EXPECT_EQ(fs::file_size(target_), 0u);
    }

    fs::path root_;
    fs::path target_;
    TLocalHttpServer server_;
};

TEST(WebDownloadTest, SourceIsTheComputePageOnAnAddressThatNeverResolves) {
    const std::string source = net::SourceAddress;
    EXPECT_EQ(source.rfind("http://", 0), 0u);
    EXPECT_TRUE(source.ends_with(".invalid/ZYN/compute_dax.htm")) << source;
}

TEST_F(DownloadTest, SuccessReplacesAnEarlierFile) {
    WriteAll(target_, std::string(5000, 'x'));
    EXPECT_TRUE(Download(server_.Url("/page.htm")));
    EXPECT_EQ(ReadAll(target_), TLocalHttpServer::Body);
}

TEST_F(DownloadTest, RedirectsAreFollowed) {
    EXPECT_TRUE(Download(server_.Url("/moved")));
    EXPECT_EQ(ReadAll(target_), TLocalHttpServer::Body);
}

TEST_F(DownloadTest, FailuresLeaveAnEmptyFile) {
    TRefusingPort refusing;
    const std::string addresses[] = {
        server_.Url("/missing"),     // 404 with an error page
        refusing.Url("/page.htm"),   // nothing listening
        server_.Url("/loop"),        // endless redirects
        server_.Url("/to-file"),     // redirect away from http
        "file:///etc/hostname",      // not http at all
        "http://[::1:bad/",          // not an address
    };
    for (const std::string& address : addresses) {
        WriteAll(target_, "alter Inhalt");
        EXPECT_FALSE(Download(address)) << address;
        ExpectEmptyTarget();
    }
}

TEST(WebDownloadTest, DefaultLimits) {
    const net::DownloadLimits limits;
    EXPECT_EQ(limits.Connect, 10s);
    EXPECT_EQ(limits.Transfer, 30s);
    EXPECT_EQ(limits.MaxBodyBytes, 16u * 1024 * 1024);
}

// Servers that would hold the window or fill the disk: each transfer ends at its own limit,
// with the target empty and the server seeing the client hang up before it was done.
TEST_F(DownloadTest, SlowAndSilentServersAreGivenUpAtTheTransferLimit) {
    for (const char* path : {"/stall", "/silent", "/trickle"}) {
        TLocalHttpServer server;
        EXPECT_EQ(Fetch(server.Url(path), kOneSecond), net::DownloadOutcome::TimedOut) << path;
        EXPECT_TRUE(server.ClientGaveUp()) << path;
        ExpectEmptyTarget();
    }
}

TEST_F(DownloadTest, AConnectionThatNeverStandsIsGivenUpAtTheConnectLimit) {
    TUnansweredPort unanswered;
    const net::DownloadLimits limits{200ms, 3s, 1024 * 1024};
    EXPECT_EQ(Fetch(unanswered.Url("/page.htm"), limits), net::DownloadOutcome::ConnectTimedOut);
    ExpectEmptyTarget();
}

TEST_F(DownloadTest, BodiesPastTheLimitAreRefusedAsDecoded) {
    // An endless body is cut off before the server is done.
    {
        TLocalHttpServer server;
        EXPECT_EQ(Fetch(server.Url("/endless"), kShortLimits), net::DownloadOutcome::TooLarge);
        EXPECT_TRUE(server.ClientGaveUp());
        ExpectEmptyTarget();
    }
    // Some kilobytes on the wire that decode to several megabytes.
    EXPECT_EQ(Fetch(server_.Url("/gzip-bomb"), kShortLimits), net::DownloadOutcome::TooLarge);
    ExpectEmptyTarget();
    // The same bomb within a limit that holds it decodes in full.
    net::DownloadLimits roomy = kShortLimits;
    roomy.MaxBodyBytes = TLocalHttpServer::BombBytes;
    EXPECT_EQ(Fetch(server_.Url("/gzip-bomb"), roomy), net::DownloadOutcome::Done);
    EXPECT_EQ(ReadAll(target_), std::string(TLocalHttpServer::BombBytes, '\0'));
    // A page of exactly the limit is kept; one byte less of room fails it.
    const std::size_t page = std::string(TLocalHttpServer::Body).size();
    EXPECT_EQ(Fetch(server_.Url("/page.htm"), {5s, 20s, page}), net::DownloadOutcome::Done);
    EXPECT_EQ(ReadAll(target_), TLocalHttpServer::Body);
    EXPECT_EQ(Fetch(server_.Url("/page.htm"), {5s, 20s, page - 1}), net::DownloadOutcome::TooLarge);
    ExpectEmptyTarget();
}

TEST_F(DownloadTest, AMissingFolderIsAnInvalidFileName) {
    fs::remove_all(root_ / "Data" / "Temp");
    try {
        Download(server_.Url("/page.htm"));
        ADD_FAILURE() << "no error raised";
    } catch (const RunError& e) {
        EXPECT_STREQ(e.what(), "Ungültiger Dateiname");
    }
    EXPECT_FALSE(fs::exists(root_ / "Data" / "Temp"));
    EXPECT_EQ(server_.Requests(), 0);
}

TEST_F(DownloadTest, ADirectoryInThePlaceOfTheTargetIsAnErrorAndStays) {
    fs::create_directory(target_);
    WriteAll(target_ / "inner.txt", "bleibt");
    EXPECT_THROW(Download(server_.Url("/page.htm")), RunError);
    EXPECT_EQ(ReadAll(target_ / "inner.txt"), "bleibt");
    EXPECT_EQ(server_.Requests(), 0);
}

TEST_F(DownloadTest, ALinkInThePlaceOfTheTargetIsReplacedNotFollowed) {
    const fs::path other = root_ / "other.txt";
    WriteAll(other, "unberührt");
    fs::create_symlink(other, target_);
    EXPECT_TRUE(Download(server_.Url("/page.htm")));
    EXPECT_EQ(ReadAll(other), "unberührt");
    EXPECT_FALSE(fs::is_symlink(target_));
    EXPECT_EQ(ReadAll(target_), TLocalHttpServer::Body);
}

// The download command of the main window, started the way the event loop starts a handler.
class DownloadCommandTest : public DownloadTest {
protected:
    void SetUp() override {
        DownloadTest::SetUp();
        previous_ = fs::current_path();
        fs::current_path(root_);
        form_ = std::make_unique<TfrmMain>();
        fs::current_path(previous_);
    }
    void TearDown() override {
        form_.reset();
        DownloadTest::TearDown();
    }

    void RunCommand(const std::string& address) {
        form_->SetDownloadSource(address, kShortLimits);
        TApplication::Dispatch([this] { form_->mnuDownloadClick(); });
    }

    fs::path previous_;
    std::unique_ptr<TfrmMain> form_;
    TMessageCapture messages_;
};

TEST_F(DownloadCommandTest, FetchesIntoTheTempFolderAndSaysSo) {
    EXPECT_EQ(fs::path(form_->TempFolder()), root_ / "Data" / "Temp");
    RunCommand(server_.Url("/page.htm"));

    EXPECT_EQ(ReadAll(target_), TLocalHttpServer::Body);
    ASSERT_EQ(messages_.Boxes.size(), 1u);
    EXPECT_EQ(messages_.Boxes[0].Text, "Download OK");
    EXPECT_EQ(messages_.Boxes[0].Caption, "ZYN-Viewer");
    EXPECT_EQ(messages_.Boxes[0].Icon, QMessageBox::NoIcon);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(DownloadCommandTest, AFailedFetchSaysNothing) {
    TRefusingPort refusing;
    RunCommand(server_.Url("/missing"));
    RunCommand(refusing.Url("/page.htm"));

    EXPECT_TRUE(messages_.Boxes.empty());
    ExpectEmptyTarget();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(DownloadCommandTest, AMissingTempFolderEndsInTheErrorBoxWithTheCursorBack) {
    fs::remove_all(root_ / "Data" / "Temp");
    RunCommand(server_.Url("/page.htm"));

    ASSERT_EQ(messages_.Boxes.size(), 1u);
    EXPECT_EQ(messages_.Boxes[0].Text, "Ungültiger Dateiname.");
    EXPECT_EQ(messages_.Boxes[0].Caption, "ZYN-Viewer");
    EXPECT_EQ(messages_.Boxes[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Straight from a caller the error leaves the handler, again with the cursor back.
    EXPECT_THROW(form_->mnuDownloadClick(), RunError);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace zyn::test
