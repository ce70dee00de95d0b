#include "platform/Settings.h"

#include <QStringList>
#include <QtGlobal>

#include <cmath>
#include <optional>

namespace {

std::optional<Settings>& current()
{
    static std::optional<Settings> s;
    return s;
}

quint16 portFrom(const char* name, quint16 fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariable(name).trimmed().toInt(&ok);
    return (ok && v > 0 && v < 65536) ? static_cast<quint16>(v) : fallback;
}

}  // namespace

Settings Settings::fromEnvironment()
{
    Settings s;
    const QString ip = qEnvironmentVariable("QORA_DEFAULT_TERMINAL_IP").trimmed();
    if (!ip.isEmpty())
        s.defaultTerminalIp = ip;
    s.zingPort = portFrom("QORA_ZING_PORT", s.zingPort);
    s.ftpPort = portFrom("QORA_FTP_PORT", s.ftpPort);
    s.telnetPort = portFrom("QORA_TELNET_PORT", s.telnetPort);
    bool ok = false;
    const double scale = qEnvironmentVariable("QORA_TIME_SCALE").trimmed().toDouble(&ok);
    if (ok && scale > 0 && std::isfinite(scale))
        s.timeScale = scale;
    s.loopbackOnly = qEnvironmentVariable("QORA_LOOPBACK_ONLY").trimmed() == QLatin1String("1");
    return s;
}

QStringList Settings::environmentProblems()
{
    QStringList problems;
    auto value = [](const char* name) { return qEnvironmentVariable(name).trimmed(); };
    auto isSet = [](const char* name) { return qEnvironmentVariableIsSet(name); };
    const QString ip = value("QORA_DEFAULT_TERMINAL_IP");
    if (isSet("QORA_DEFAULT_TERMINAL_IP") && !parseIPv4(ip, nullptr))
        problems << QStringLiteral("QORA_DEFAULT_TERMINAL_IP='%1' is not an address like 192.168.128.100").arg(ip);
    for (const char* name : {"QORA_ZING_PORT", "QORA_FTP_PORT", "QORA_TELNET_PORT"}) {
        bool ok = false;
        const int port = value(name).toInt(&ok);
        if (isSet(name) && (!ok || port < 1 || port > 65535))
            problems << QStringLiteral("%1='%2' is not a port (1 to 65535)").arg(QLatin1String(name), value(name));
    }
    bool ok = false;
    const double scale = value("QORA_TIME_SCALE").toDouble(&ok);
    if (isSet("QORA_TIME_SCALE") && (!ok || !(scale > 0) || !std::isfinite(scale)))
        problems << QStringLiteral("QORA_TIME_SCALE='%1' is not a positive number").arg(value("QORA_TIME_SCALE"));
    const QString loopback = value("QORA_LOOPBACK_ONLY");
    if (isSet("QORA_LOOPBACK_ONLY") && loopback != QLatin1String("1") && loopback != QLatin1String("0") &&
        !loopback.isEmpty())
        problems << QStringLiteral("QORA_LOOPBACK_ONLY='%1' is neither 1 nor 0").arg(loopback);
    return problems;
}

const Settings& Settings::get()
{
    if (!current())
        current() = fromEnvironment();
    return *current();
}

void Settings::set(const Settings& s)
{
    current() = s;
    // A process started loopback-only stays so, whatever a caller passes.
    if (qEnvironmentVariable("QORA_LOOPBACK_ONLY").trimmed() == QLatin1String("1"))
        current()->loopbackOnly = true;
}

int Settings::scaledMs(int ms) const
{
    const double v = std::round(static_cast<double>(ms) * timeScale);
    if (v < 1)
        return 1;
    if (v > 2e9)
        return 2000000000;
    return static_cast<int>(v);
}

QString Settings::octet(int index) const
{
    const QStringList parts = defaultTerminalIp.split(QLatin1Char('.'));
    return (index >= 0 && index < parts.size()) ? parts.at(index) : QString();
}

bool Settings::parseIPv4(const QString& text, quint32* address)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    quint32 value = 0;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return false;
        int octet = 0;
        for (QChar ch : part) {
            if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
                return false;
            octet = octet * 10 + (ch.unicode() - '0');
        }
        if (octet > 255)
            return false;
        value = (value << 8) | static_cast<quint32>(octet);
    }
    if (address)
        *address = value;
    return true;
}

bool Settings::isConnectionAllowed(const QString& host) const
{
    if (!loopbackOnly)
        return true;
    quint32 addr = 0;
    return parseIPv4(host, &addr) && (addr >> 24) == 127;
}
