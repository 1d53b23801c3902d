#include <gtest/gtest.h>

#include <QApplication>

#include "support/IsolatedNetwork.h"

// The network screens' tests run on the offscreen platform, and in a network namespace of
// their own where the system allows it (before Qt starts any thread).
int main(int argc, char** argv) {
    kp70::test::EnterIsolatedNetwork();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
