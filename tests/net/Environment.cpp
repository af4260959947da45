#include <cstdlib>

#include "tests/app/TestApplication.h"

namespace {

// The tests talk to 127.0.0.1 only; no proxy from the environment may come in between.
class TNoProxyEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                                 "ALL_PROXY"}) {
            unsetenv(name);
        }
    }
};

[[maybe_unused]] ::testing::Environment* const noProxy =
    ::testing::AddGlobalTestEnvironment(new TNoProxyEnvironment);
[[maybe_unused]] ::testing::Environment* const application =
    ::testing::AddGlobalTestEnvironment(new zyn::test::TApplicationEnvironment);

}  // namespace
