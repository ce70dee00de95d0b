#include <QApplication>

#include <gmock/gmock.h>

int main(int argc, char** argv)
{
    // Never a real display and never a real terminal.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QORA_LOOPBACK_ONLY", "1");
    QApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
