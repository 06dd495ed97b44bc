// Widget tests run on the real windows, off-screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <csignal>
#include <cstdlib>

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    std::signal(SIGPIPE, SIG_IGN);  // as qrt-tester does
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
