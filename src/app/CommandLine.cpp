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

}  // namespace startup
