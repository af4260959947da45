#include "tests/app/TestApplication.h"

namespace {
[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new zyn::test::TApplicationEnvironment);
}
