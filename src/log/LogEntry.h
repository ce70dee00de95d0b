#pragma once

#include <QList>
#include <QString>

// A log line decided by a pure function and written later by the window,
// so the decision can be tested without a log file.
namespace qlog {

enum LogLevel : int { LOG_ERR = 0, LOG_INF = 1, LOG_VRB = 2, LOG_DET = 3 };

struct LogEntry {
    int level = LOG_INF;
    QString text;
    QString said = {};  // what the terminal sent, after the text: shown printable

    bool operator==(const LogEntry&) const = default;
};

using LogLines = QList<LogEntry>;

}  // namespace qlog
