#pragma once

#include <QString>

// What the program is doing that takes time: a transfer of bytes, or a fixed
// wait for the terminal. Shown in the window under the status line and by the
// unattended front end; pure formatting here.
namespace progress {

struct Info {
    enum Kind { None, Transfer, Wait } kind = None;
    QString what;         // "Uploading qorax_5_7_2_0.bin", "Waiting for the terminal to restart"
    qint64 done = 0;      // bytes, or milliseconds waited
    qint64 total = 0;     // bytes or milliseconds of the whole; 0 when not known
    qint64 elapsedMs = 0; // since the transfer began, for its rate

    bool operator==(const Info&) const = default;
};

// 0 to 100, or -1 when the whole is not known.
int percent(const Info& info);
// "812 KB", "4.0 MB", "37 bytes".
QString sizeText(qint64 bytes);
// One line: "Uploading x: 42 %, 1.7 of 4.0 MB, 3.2 MB/s" or
// "Waiting for the terminal to restart: 31 s left".
QString text(const Info& info);

// For output that is not a terminal: a line at most every 10 % or every 5 s,
// whichever comes later (the first line always).
bool dueForLine(int lastPercent, qint64 lastLineMs, int nowPercent, qint64 nowMs);

}  // namespace progress
