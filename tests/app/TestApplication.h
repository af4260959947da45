#pragma once
// The one application object of a test executable, created before the first test and
// destroyed after the last (register TApplicationEnvironment once per executable), and a
// catcher for the message boxes the code under test shows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "app/Application.h"
#include "app/MessageBox.h"

namespace zyn::test {

class TApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        application_ = std::make_unique<TApplication>(argc_, argv_);
    }
    void TearDown() override { application_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "zyn-test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<TApplication> application_;
};

// Collects the message boxes shown while it lives instead of showing them.
class TMessageCapture {
public:
    TMessageCapture() {
        MessageBoxHook = [this](const TMessageBoxRequest& request) { Boxes.push_back(request); };
    }
    ~TMessageCapture() { MessageBoxHook = nullptr; }
    TMessageCapture(const TMessageCapture&) = delete;
    TMessageCapture& operator=(const TMessageCapture&) = delete;

    std::vector<TMessageBoxRequest> Boxes;
};

}  // namespace zyn::test
