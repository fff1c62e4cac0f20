#include <gtest/gtest.h>

#include "TestEnvironment.h"

#if defined(LUMENOTE_TEST_MAIN_GUI)
#include <QApplication>
#elif defined(LUMENOTE_TEST_MAIN_QT)
#include <QCoreApplication>
#endif

int main(int argc, char** argv) {
    // Before Qt reads any path from the environment.
    lumenote::test::setUpIsolatedHome();
    ::testing::InitGoogleTest(&argc, argv);
#if defined(LUMENOTE_TEST_MAIN_GUI)
    QApplication app(argc, argv);
#elif defined(LUMENOTE_TEST_MAIN_QT)
    QCoreApplication app(argc, argv);
#endif
    const int rc = RUN_ALL_TESTS();
    lumenote::test::tearDownIsolatedHome();
    return rc;
}
