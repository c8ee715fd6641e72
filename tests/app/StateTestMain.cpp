// Runs the state store and settings window tests inside a QApplication on
// Qt's offscreen platform. Started as "--saver FILE ROWS" it is instead the
// process that the kill-during-save test kills.
#include "StateTestSupport.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstring>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--saver") == 0)
        quillon::test::runSaver(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
