#include "app/CommandLine.h"
#include "app/frmMain.h"
#include "platform/QtDialogs.h"
#include "platform/Settings.h"
#include "ui/HelpTexts.h"

#include <QApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char* argv[])
{
    // The command line after the program name, before Qt takes its options out.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    if (const auto asked = startup::request(args); asked != startup::Request::Window) {
        const QString text = asked == startup::Request::Help
                                 ? startup::helpText()
                                 : QStringLiteral("qora-upgrader %1, %2\n").arg(QLatin1String(ui::kToolVersion), QLatin1String(ui::kToolDate));
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    QApplication app(argc, argv);
    const startup::CommandLine commandLine = startup::splitCommandLine(args, QCoreApplication::arguments().mid(1));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("qora-upgrader"));
    QtDialogs dialogs;
    // A setting that cannot be used must not be replaced by a default
    // quietly: the default address is a real terminal's.
    if (const QStringList problems = Settings::environmentProblems(); !problems.isEmpty()) {
        dialogs.msgBox(nullptr, problems.join(QStringLiteral("\r\n")), MsgButtons::OK, MsgIcon::Critical,
                       QStringLiteral("Upgrader: FAULT"), MsgResult::OK);
        return 1;
    }
    frmMain window(dialogs, commandLine.switches);
    window.setStartFolder(commandLine.folder);
    QObject::connect(&window, &frmMain::unloaded, &app, [&app] { app.quit(); });
    if (!window.Form_Load())
        return 0;
    window.show();
    return app.exec();
}
