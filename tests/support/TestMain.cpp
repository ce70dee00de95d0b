#include <QApplication>

#include <gmock/gmock.h>

namespace {

QtMessageHandler defaultHandler = nullptr;

// The offscreen platform warns about window hints it cannot honour.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.contains(QLatin1String("propagateSizeHints")))
        return;
    if (defaultHandler)
        defaultHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv)
{
    defaultHandler = qInstallMessageHandler(quietHandler);
    // Never a real display and never a real terminal.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QORA_LOOPBACK_ONLY", "1");
    QApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
