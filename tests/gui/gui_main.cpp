// SPDX-License-Identifier: GPL-2.0-or-later
// Runs the window tests under the offscreen platform with one application object.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QApplication::setApplicationName("velmora");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
