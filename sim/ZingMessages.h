#pragma once

// ZING on the wire: big-endian 32-bit fields. A response code is its request
// code plus 0x1000. Pure functions.

#include "SimTypes.h"

#include <QByteArray>
#include <QString>

namespace qsim::zing {

constexpr quint32 kVersion = 0x0004;
constexpr quint32 kReset = 0x000D;
constexpr quint32 kFactoryDefaults = 0x0013;
constexpr quint32 kChkdsk = 0x0032;
constexpr quint32 kHaltStack = 0x0033;
constexpr quint32 kUpgradeAntenna = 0x0090;
constexpr quint32 kAntennaInfo = 0x0091;
constexpr quint32 kReleaseInfo = 0x0092;
constexpr quint32 kGpsBypass = 0x0325;
constexpr quint32 kGpsTestData = 0x0326;
constexpr quint32 kResponse = 0x1000;
constexpr int kTextField = 256;

// The eight data bytes that follow the GPS test-data code.
QByteArray gpsTestData();

// "VERSION_CMD", ... ; empty for a code the terminal does not know.
QString codeName(quint32 code);
bool isKnown(quint32 code);
// Bytes of a whole request with that code: 4, 5, 8 or 12.
int requestLength(quint32 code);

QByteArray be32(qint32 value);
qint32 readBe32(const QByteArray& bytes, int offset);

// VERSION_RESPONSE: code, payload length, then the text with its NUL.
QByteArray versionResponse(const QString& text);
// A response that carries only its code: code, 4, status.
QByteArray plainResponse(quint32 code, qint32 status = 0);
// code, payload length, field8, field12, 256-byte text field (NUL padded).
QByteArray fieldResponse(quint32 code, qint32 field8, qint32 field12, const QByteArray& text);

// The normal answer as a fault turns it.
QByteArray applyFault(const QByteArray& normal, const ZingFault& fault);

}  // namespace qsim::zing
