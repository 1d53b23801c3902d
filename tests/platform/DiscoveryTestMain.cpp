#include <gtest/gtest.h>

#include "support/IsolatedNetwork.h"

// The discovery tests run in a network namespace of their own where the system allows it.
int main(int argc, char** argv) {
    kp70::test::EnterIsolatedNetwork();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
