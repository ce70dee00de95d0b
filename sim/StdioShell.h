#pragma once

// The shell of a running simulator served on standard input and output, as
// the login program of a real telnet server (busybox telnetd -l): the
// server's option negotiation, its pty's echo and line ends are then real,
// the dialogue behind them is the simulator's.

#include <QHostAddress>
#include <QList>

namespace qsim {

// Connects to the simulator's telnet service on the first of the addresses
// that accepts, then copies both ways until either side ends. The shell's
// own echo should be off (--no-echo): the pty echoes. Returns the exit status.
int runStdioShell(const QList<QHostAddress>& addresses, quint16 port);

}  // namespace qsim
