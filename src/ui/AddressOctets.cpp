#include "ui/AddressOctets.h"

namespace ui {

namespace {
constexpr int kMaxOctet = 255;
constexpr int kMaxDigits = 3;
}  // namespace

QValidator::State octetState(const QString& text)
{
    if (text.isEmpty())
        return QValidator::Intermediate;
    if (text.size() > kMaxDigits)
        return QValidator::Invalid;
    int value = 0;
    for (const QChar c : text) {
        // Latin digits only: QChar::isDigit() would take other scripts' digits too.
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return QValidator::Invalid;
        value = value * 10 + (c.unicode() - '0');
    }
    return value <= kMaxOctet ? QValidator::Acceptable : QValidator::Invalid;
}

QString joinOctets(const QStringList& octets)
{
    if (octets.size() != 4)
        return {};
    QStringList parts;
    for (const QString& o : octets) {
        if (octetState(o) != QValidator::Acceptable)
            return {};
        // "010" is ten here, and written so that no reader takes it for octal.
        parts << QString::number(o.toInt());
    }
    return parts.join(QLatin1Char('.'));
}

}  // namespace ui
