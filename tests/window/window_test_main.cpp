#include <gtest/gtest.h>

#include <QApplication>

#include "tests/shared/test_setup.h"

int main(int argc, char** argv) {
    marlowin::testing::forget_proxies();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
