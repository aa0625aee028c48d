// Crashes on purpose: the harness must report this program as failed (its
// test is marked WILL_FAIL).  The crash comes after a passing expectation,
// as when a test goes on with an object a failed call never gave it.
#include <gtest/gtest.h>

namespace {

int* volatile g_nothing = nullptr;

TEST(HarnessCrash, DereferencesNull) {
    EXPECT_TRUE(true);
    *g_nothing = 1;
}

}  // namespace
