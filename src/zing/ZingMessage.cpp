#include "zing/ZingMessage.h"

#include <algorithm>
#include <limits>

namespace zing {

namespace {

void appendLong(QByteArray& out, int32_t value)
{
    const auto u = static_cast<uint32_t>(value);
    out.append(static_cast<char>((u >> 24) & 0xFF));
    out.append(static_cast<char>((u >> 16) & 0xFF));
    out.append(static_cast<char>((u >> 8) & 0xFF));
    out.append(static_cast<char>(u & 0xFF));
}

// Reads up to width bytes from offset, stopping at NUL or the end.
QString latin1Field(const QByteArray& data, qint64 offset, qint64 width)
{
    QString out;
    if (offset < 0 || width <= 0)
        return out;
    const qint64 end = std::min<qint64>(data.size(), offset + width);
    for (qint64 i = offset; i < end; ++i) {
        const char c = data.at(i);
        if (c == '\0')
            break;
        out.append(QChar(static_cast<uchar>(c)));
    }
    return out;
}

}  // namespace

QString hexUpper(int32_t value)
{
    return QString::number(static_cast<uint32_t>(value), 16).toUpper();
}

QString Util_ZingCmdName(int32_t code)
{
    switch (code) {
    case RESET_DONE:
        return QStringLiteral("RESET_DONE");
    case VERSION_CMD:
        return QStringLiteral("VERSION_CMD");
    case RESET_CMD:
        return QStringLiteral("RESET_CMD");
    case RESTORE_FACTORY_DEFAULTS:
        return QStringLiteral("RESTORE_FACTORY_DEFAULTS");
    case CHKDSK_CMD:
        return QStringLiteral("CHKDSK_CMD");
    case HALT_GPRS_STACK:
        return QStringLiteral("HALT_GPRS_STACK");
    case UPGRADE_ANT_FW:
        return QStringLiteral("UPGRADE_ANT_FW");
    case ANT_FW_INFO:
        return QStringLiteral("ANT_FW_INFO");
    case RELEASE_INFO:
        return QStringLiteral("RELEASE_INFO");
    case GPS_BYPASS_MODE_CMD:
        return QStringLiteral("GPS_BYPASS_MODE_CMD");
    case GPS_TEST_DATA_CMD:
        return QStringLiteral("GPS_TEST_DATA_CMD");
    case VERSION_RESPONSE:
        return QStringLiteral("VERSION_RESPONSE");
    case RESTORE_FACTORY_DEFAULTS_CNF:
        return QStringLiteral("RESTORE_FACTORY_DEFAULTS_CNF");
    case CHKDSK_RESPONSE:
        return QStringLiteral("CHKDSK_RESPONSE");
    case HALT_GPRS_STACK_RESPONSE:
        return QStringLiteral("HALT_GPRS_STACK_RESPONSE");
    case UPGRADE_ANT_FW_CNF:
        return QStringLiteral("UPGRADE_ANT_FW_CNF");
    case ANT_FW_INFO_CNF:
        return QStringLiteral("ANT_FW_INFO_CNF");
    case RELEASE_INFO_CNF:
        return QStringLiteral("RELEASE_INFO_CNF");
    case GPS_BYPASS_MODE_RESPONSE:
        return QStringLiteral("GPS_BYPASS_MODE_RESPONSE");
    case GPS_TEST_DATA_RESPONSE:
        return QStringLiteral("GPS_TEST_DATA_RESPONSE");
    default:
        return QStringLiteral("Unknown(ID=&h") + hexUpper(code) + QLatin1Char(')');
    }
}

QByteArray plainRequest(int32_t code)
{
    QByteArray out;
    appendLong(out, code);
    return out;
}

QByteArray requestWithByte(int32_t code, quint8 param)
{
    QByteArray out = plainRequest(code);
    out.append(static_cast<char>(param));
    return out;
}

QByteArray requestWithLong(int32_t code, int32_t param)
{
    QByteArray out = plainRequest(code);
    appendLong(out, param);
    return out;
}

QByteArray gpsTestDataRequest()
{
    // "@@Hb", NUL, the XOR of 48 62 00, CR LF: sent exactly as the receiver expects.
    static const char kData[] = {0x40, 0x40, 0x48, 0x62, 0x00, 0x2A, 0x0D, 0x0A};
    QByteArray out = plainRequest(GPS_TEST_DATA_CMD);
    out.append(kData, sizeof kData);
    return out;
}

QString longRequestLogLine(int32_t code, int32_t param)
{
    return QStringLiteral("ZING Request :\t\t\t\t") + Util_ZingCmdName(code) + QStringLiteral(" (&h") + hexUpper(code) +
           QStringLiteral("), param=&h") + hexUpper(param);
}

int32_t Util_BytesToLong(const QByteArray& data, int offset, bool* ok)
{
    const bool there = offset >= 0 && static_cast<qint64>(offset) + 4 <= data.size();
    if (ok)
        *ok = there;
    if (!there)
        return 0;
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u = (u << 8) | static_cast<uchar>(data.at(offset + i));
    return static_cast<int32_t>(u);
}

QString Util_BytesToString(const QByteArray& data, int width, int& offset)
{
    if (width <= 0)
        return {};
    const QString out = latin1Field(data, offset, width);
    const qint64 next = static_cast<qint64>(offset) + width;
    offset = static_cast<int>(std::min<qint64>(next, std::numeric_limits<int>::max()));
    return out;
}

std::optional<int32_t> ZingResponse::statusOrLength() const
{
    bool ok = false;
    const int32_t v = Util_BytesToLong(bytes, kStatusOrLengthOffset, &ok);
    return ok ? std::optional<int32_t>(v) : std::nullopt;
}

std::optional<int32_t> ZingResponse::textLength() const
{
    bool ok = false;
    const int32_t v = Util_BytesToLong(bytes, kTextLengthOffset, &ok);
    return ok ? std::optional<int32_t>(v) : std::nullopt;
}

std::optional<QString> ZingResponse::text() const
{
    if (bytes.size() <= kTextOffset)
        return std::nullopt;
    return latin1Field(bytes, kTextOffset, kTextWidth);
}

std::optional<QString> ZingResponse::versionText() const
{
    if (bytes.size() < kVersionTextOffset)
        return std::nullopt;
    return latin1Field(bytes, kVersionTextOffset, bytes.size() - kVersionTextOffset);
}

ZingResponse decodeResponse(const QByteArray& bytes)
{
    ZingResponse r;
    r.bytes = bytes;
    r.code = Util_BytesToLong(bytes, kCodeOffset, &r.hasCode);
    return r;
}

QString shortResponseNote(const ZingResponse& response, int fieldOffset)
{
    const QString what = response.hasCode ? Util_ZingCmdName(response.code) : QStringLiteral("ZING response");
    return what + QStringLiteral(" ignored: ") + QString::number(response.bytes.size()) +
           QStringLiteral(" bytes received, too short for the field at offset ") + QString::number(fieldOffset) +
           QLatin1Char('.');
}

}  // namespace zing
