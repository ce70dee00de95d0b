// The fetched image descriptor: its check, the file name taken from the
// executable it names, and the descriptor this program writes back.
#include "FuzzSupport.h"
#include "ftp/FtpLogic.h"

namespace {

void checkDescriptor(const QByteArray& content)
{
    const ftp::ImageCheck c = ftp::checkImage(content);
    if (!c.valid) {
        FUZZ_CHECK(c.executable == ftp::kDefaultExecutable);
        return;
    }
    FUZZ_CHECK(content.size() <= ftp::kMaxImageBytes);
    FUZZ_CHECK(c.executable.size() <= content.size());
    FUZZ_CHECK(!c.executable.contains(QLatin1Char('\r')) && !c.executable.contains(QLatin1Char('\n')));
    const qsizetype bin = c.executable.indexOf(QLatin1String("/bin/"));
    FUZZ_CHECK(bin >= 0 && bin < c.executable.indexOf(QLatin1String(".bin")));

    const QString name = ftp::safeFileName(c.executable);
    if (!name.isEmpty()) {
        FUZZ_CHECK(!name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')));
        FUZZ_CHECK(name != QLatin1String("..") && name != QLatin1String("."));
        FUZZ_CHECK(c.executable.endsWith(name));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray content = fuzz::bytes(data, size);
    checkDescriptor(content);

    // Whatever version text goes into a descriptor we write, it reads back as written.
    QString version = fuzz::latin1(content.left(256));
    version.remove(QLatin1Char('\r'));
    version.remove(QLatin1Char('\n'));
    const QByteArray written = ftp::imageContent(version);
    const ftp::ImageCheck back = ftp::checkImage(written);
    FUZZ_CHECK(back.valid);
    FUZZ_CHECK(back.executable == fuzz::latin1(written));
    checkDescriptor(written);
    return 0;
}
