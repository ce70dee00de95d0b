#include "app/CommandLine.h"

namespace startup {

CommandLine splitCommandLine(const QStringList& args, const QStringList& leftByToolkit)
{
    const QString whole = args.join(QLatin1Char(' '));
    if (whole == QLatin1String("-u") || whole == QLatin1String("/TermDiag") || args.isEmpty() || leftByToolkit.isEmpty())
        return {whole, {}};
    const QString last = args.last();
    if (last.isEmpty() || last.startsWith(QLatin1Char('-')) || leftByToolkit.last() != last)
        return {whole, {}};
    return {args.first(args.size() - 1).join(QLatin1Char(' ')), last};
}

Request request(const QStringList& args)
{
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h")))
        return Request::Help;
    return args.contains(QLatin1String("--version")) ? Request::Version : Request::Window;
}

QString helpText()
{
    return QStringLiteral(R"(usage: qora-upgrader [-u | /TermDiag] [FOLDER]
       qora-upgrader --help | --version

Opens the QORA upgrader's window. It installs the terminal's application
software, antenna firmware and PIC firmware from the release package in
FOLDER, else in the current folder; without a package (one qorax_*.bin)
there, it asks for the package folder first.

  FOLDER       the package folder; a file manager passes it when a folder is
               opened with the upgrader
  -u           first ask whether to complete the upgrade now or later
               (later ends the program)
  /TermDiag    when the window closes, start the diagnostics tool
               ../TermDiag/TermDiagUpgrader beside the package folder
  --help       this text
  --version    print the upgrader's version
Qt's own options (-platform, -style, ...) are left to Qt.

Settings: the QORA_* environment variables (man qora-upgrader).
Exit status: 0 when the window closed (also when it ended at start: no
folder chosen, another upgrader in the folder); 1 when a QORA_* setting
cannot be used.
)");
}

}  // namespace startup
