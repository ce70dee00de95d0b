#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// ZING wire format: request bytes, code names and the field readers of a
// response. Pure functions; nothing here touches a socket.
namespace zing {

// Never sent: currZingCmd holds it once a reset request has gone out.
inline constexpr int32_t RESET_DONE = 0x0000;

inline constexpr int32_t VERSION_CMD = 0x0004;
inline constexpr int32_t RESET_CMD = 0x000D;
inline constexpr int32_t RESTORE_FACTORY_DEFAULTS = 0x0013;
inline constexpr int32_t CHKDSK_CMD = 0x0032;
inline constexpr int32_t HALT_GPRS_STACK = 0x0033;
inline constexpr int32_t UPGRADE_ANT_FW = 0x0090;
inline constexpr int32_t ANT_FW_INFO = 0x0091;
inline constexpr int32_t RELEASE_INFO = 0x0092;
inline constexpr int32_t GPS_BYPASS_MODE_CMD = 0x0325;
inline constexpr int32_t GPS_TEST_DATA_CMD = 0x0326;

// A response code is its request code plus 0x1000.
inline constexpr int32_t VERSION_RESPONSE = 0x1004;
inline constexpr int32_t RESTORE_FACTORY_DEFAULTS_CNF = 0x1013;
inline constexpr int32_t CHKDSK_RESPONSE = 0x1032;
inline constexpr int32_t HALT_GPRS_STACK_RESPONSE = 0x1033;
inline constexpr int32_t UPGRADE_ANT_FW_CNF = 0x1090;
inline constexpr int32_t ANT_FW_INFO_CNF = 0x1091;
inline constexpr int32_t RELEASE_INFO_CNF = 0x1092;
inline constexpr int32_t GPS_BYPASS_MODE_RESPONSE = 0x1325;
inline constexpr int32_t GPS_TEST_DATA_RESPONSE = 0x1326;

// Fixed response offsets.
inline constexpr int kCodeOffset = 0;
inline constexpr int kStatusOrLengthOffset = 8;
inline constexpr int kTextLengthOffset = 12;
inline constexpr int kTextOffset = 16;
inline constexpr int kTextWidth = 256;
inline constexpr int kVersionTextOffset = 8;

// Upper-case hex without leading zeros; a negative value shows its 32 bits.
QString hexUpper(int32_t value);

// The log name of a code, or "Unknown(ID=&h<hex>)".
QString Util_ZingCmdName(int32_t code);

// Request forms. The code goes out as a big-endian 32-bit field; every code
// in use is below 0x10000, so it starts 00 00.
QByteArray plainRequest(int32_t code);
QByteArray requestWithByte(int32_t code, quint8 param);
QByteArray requestWithLong(int32_t code, int32_t param);
QByteArray gpsTestDataRequest();

// INF line written when a request with a 32-bit parameter goes out.
QString longRequestLogLine(int32_t code, int32_t param);

// Big-endian signed 32 bits at offset. Fewer than four bytes there (or a
// negative offset): 0 and *ok false.
int32_t Util_BytesToLong(const QByteArray& data, int offset, bool* ok = nullptr);

// Single-byte (Latin-1) characters from offset up to the first NUL, width
// bytes or the end of the data, whichever comes first. The offset moves on by
// width whether or not a NUL was met; a negative width reads nothing and
// leaves the offset where it was.
QString Util_BytesToString(const QByteArray& data, int width, int& offset);

// One receive event taken as one whole response. Each reader gives nullopt
// when the data ends before its field, so the handler can log and ignore.
struct ZingResponse {
    QByteArray bytes;
    int32_t code = 0;
    bool hasCode = false;  // at least the four code bytes arrived

    // Offset 8: status (1090, 1091, 1325) or length (1092).
    std::optional<int32_t> statusOrLength() const;
    // Offset 12: text length (1090, 1091).
    std::optional<int32_t> textLength() const;
    // Offset 16, at most 256 bytes; nullopt when not one byte of it arrived.
    std::optional<QString> text() const;
    // VERSION_RESPONSE: offset 8 to the end; nullopt below 8 bytes.
    std::optional<QString> versionText() const;
};

ZingResponse decodeResponse(const QByteArray& bytes);

// ERR line for a response that ends before the field at fieldOffset.
QString shortResponseNote(const ZingResponse& response, int fieldOffset);

}  // namespace zing
