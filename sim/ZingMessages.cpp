#include "ZingMessages.h"

#include <QtEndian>

namespace qsim::zing {

QByteArray gpsTestData()
{
    return QByteArray::fromHex("40404862002A0D0A");
}

QString codeName(quint32 code)
{
    switch (code) {
    case kVersion: return QStringLiteral("VERSION_CMD");
    case kReset: return QStringLiteral("RESET_CMD");
    case kFactoryDefaults: return QStringLiteral("RESTORE_FACTORY_DEFAULTS");
    case kChkdsk: return QStringLiteral("CHKDSK_CMD");
    case kHaltStack: return QStringLiteral("HALT_GPRS_STACK");
    case kUpgradeAntenna: return QStringLiteral("UPGRADE_ANT_FW");
    case kAntennaInfo: return QStringLiteral("ANT_FW_INFO");
    case kReleaseInfo: return QStringLiteral("RELEASE_INFO");
    case kGpsBypass: return QStringLiteral("GPS_BYPASS_MODE_CMD");
    case kGpsTestData: return QStringLiteral("GPS_TEST_DATA_CMD");
    default: return QString();
    }
}

bool isKnown(quint32 code)
{
    return !codeName(code).isEmpty();
}

int requestLength(quint32 code)
{
    switch (code) {
    case kVersion: return 8;
    case kUpgradeAntenna: return 5;
    case kGpsTestData: return 12;
    default: return 4;
    }
}

QByteArray be32(qint32 value)
{
    QByteArray out(4, '\0');
    qToBigEndian<qint32>(value, out.data());
    return out;
}

qint32 readBe32(const QByteArray& bytes, int offset)
{
    if (offset < 0 || bytes.size() < offset + 4)
        return 0;
    return qFromBigEndian<qint32>(bytes.constData() + offset);
}

QByteArray versionResponse(const QString& text)
{
    QByteArray body = text.toLatin1();
    body.append('\0');
    return be32(qint32(kVersion + kResponse)) + be32(qint32(body.size())) + body;
}

QByteArray plainResponse(quint32 code, qint32 status)
{
    return be32(qint32(code)) + be32(4) + be32(status);
}

QByteArray fieldResponse(quint32 code, qint32 field8, qint32 field12, const QByteArray& text)
{
    QByteArray field = text.left(kTextField - 1);
    field.append(QByteArray(kTextField - field.size(), '\0'));
    return be32(qint32(code)) + be32(8 + kTextField) + be32(field8) + be32(field12) + field;
}

QByteArray applyFault(const QByteArray& normal, const ZingFault& fault)
{
    switch (fault.kind) {
    case ZingFault::Kind::Status: {
        QByteArray out = normal;
        if (out.size() < 12)
            out.append(QByteArray(12 - out.size(), '\0'));
        out.replace(8, 4, be32(fault.status));
        return out;
    }
    case ZingFault::Kind::Truncate: return normal.left(qMax(0, fault.length));
    case ZingFault::Kind::Raw: return fault.raw;
    case ZingFault::Kind::NoAnswer:
    case ZingFault::Kind::Close: return {};
    }
    return normal;
}

}  // namespace qsim::zing
