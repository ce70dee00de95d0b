#include "ui/Progress.h"

#include <cmath>

namespace progress {

int percent(const Info& info)
{
    if (info.total <= 0)
        return -1;
    return int(std::clamp<qint64>(info.done * 100 / info.total, 0, 100));
}

QString sizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 bytes").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(bytes / 1024);
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024 * 1024), 0, 'f', 1);
}

QString text(const Info& info)
{
    switch (info.kind) {
    case Info::None:
        return {};
    case Info::Transfer: {
        QString t = info.what + QStringLiteral(": ");
        if (percent(info) >= 0)
            t += QStringLiteral("%1 %, %2 of %3").arg(percent(info)).arg(sizeText(info.done), sizeText(info.total));
        else
            t += sizeText(info.done);
        if (info.elapsedMs >= 200)
            t += QStringLiteral(", ") + sizeText(info.done * 1000 / info.elapsedMs) + QStringLiteral("/s");
        return t;
    }
    case Info::Wait: {
        if (info.total <= 0)
            return info.what + QStringLiteral(": %1 s").arg(info.done / 1000);
        const qint64 left = std::max<qint64>(0, info.total - info.done);
        return info.what + QStringLiteral(": %1 s left").arg((left + 999) / 1000);
    }
    }
    return {};
}

bool dueForLine(int lastPercent, qint64 lastLineMs, int nowPercent, qint64 nowMs)
{
    if (lastLineMs < 0)
        return true;
    const bool timeDue = nowMs - lastLineMs >= 5000;
    // Without a known whole only the time counts.
    const bool stepDue = nowPercent < 0 || lastPercent < 0 || nowPercent - lastPercent >= 10;
    return timeDue && stepDue;
}

}  // namespace progress
