// Bytes of an FTP control connection: the replies the parser makes of them,
// fed whole and in pieces, and the passive-mode readers on every reply.
// The first byte picks the piece sizes.
#include "FuzzSupport.h"
#include "platform/FtpReply.h"

#include <vector>

namespace {

std::vector<FtpReply> drain(FtpReplyParser& parser)
{
    std::vector<FtpReply> out;
    while (std::optional<FtpReply> r = parser.next())
        out.push_back(std::move(*r));
    return out;
}

void checkPassive(const QString& text)
{
    quint32 address = 0;
    if (const std::optional<quint16> port = parsePasvReply(text, &address))
        FUZZ_CHECK(*port != 0);
    // Reading the address or not gives the same port.
    FUZZ_CHECK(parsePasvReply(text) == parsePasvReply(text, &address));
    if (const std::optional<quint16> port = parseEpsvReply(text))
        FUZZ_CHECK(*port != 0);
}

void checkReply(const FtpReply& r)
{
    FUZZ_CHECK(r.code >= 100 && r.code <= 599);
    // Every reply starts with its own three digits.
    FUZZ_CHECK(r.text.startsWith(QString::number(r.code)));
    FUZZ_CHECK(r.text.size() <= FtpReplyParser::kMaxText);
    FUZZ_CHECK(int(r.preliminary()) + int(r.positive()) + int(r.intermediate()) + int(r.negative()) == 1);
    checkPassive(r.text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray stream = fuzz::bytes(data + 1, size - 1);

    FtpReplyParser whole;
    whole.feed(stream);
    const std::vector<FtpReply> replies = drain(whole);
    for (const FtpReply& r : replies)
        checkReply(r);

    // However the bytes are split, the same replies come out.
    FtpReplyParser pieces;
    uint32_t x = data[0] | 0x100u;
    std::vector<FtpReply> again;
    for (qsizetype from = 0; from < stream.size();) {
        x = x * 1103515245u + 12345u;
        const qsizetype n = std::min<qsizetype>(stream.size() - from, 1 + (x >> 16) % 64);
        pieces.feed(stream.mid(from, n));
        from += n;
        if (x & 0x8000)
            for (FtpReply& r : drain(pieces))
                again.push_back(std::move(r));
    }
    for (FtpReply& r : drain(pieces))
        again.push_back(std::move(r));
    FUZZ_CHECK(again.size() == replies.size());
    for (size_t i = 0; i < replies.size(); ++i)
        FUZZ_CHECK(again[i].code == replies[i].code && again[i].text == replies[i].text);
    FUZZ_CHECK(pieces.ignoredLines() == whole.ignoredLines());

    // A reset in the middle of anything leaves a parser that reads a fresh reply.
    pieces.reset();
    pieces.feed("200 ok\r\n");
    const std::vector<FtpReply> fresh = drain(pieces);
    FUZZ_CHECK(fresh.size() == 1 && fresh[0].code == 200 && fresh[0].text == QStringLiteral("200 ok"));

    checkPassive(fuzz::latin1(stream));
    checkPassive(QString::fromUtf8(stream));
    return 0;
}
