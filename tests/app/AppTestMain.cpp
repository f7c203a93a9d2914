// The window tests need one QApplication for the whole run. It is always
// offscreen, also when the suite is listed at build time or run by hand.
#include <QApplication>

#include <gtest/gtest.h>

namespace {

// The offscreen platform says on every shown window that it cannot pass size
// hints on; that is expected here and only buries the test output.
void FilterMessages(QtMsgType Type, const QMessageLogContext &Context, const QString &Message)
{
    if (Message.contains(QLatin1String("propagateSizeHints")))
        return;
    qt_message_output(Type, Context, Message);
}

} // namespace

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(FilterMessages);
    QApplication application(argc, argv);
    // The tests close windows one after another; that must not end anything.
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
