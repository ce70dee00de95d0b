// The end of a package executable: the compatibility level it carries.
// Input: file bytes RS file name.
#include "FuzzSupport.h"
#include "ident/VersionText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> f = fuzz::fields(fuzz::bytes(data, size), 2);
    const QByteArray& file = f[0];
    const QString name = fuzz::latin1(f[1]);

    const ident::PackageLevel p = ident::packageLevelFromTail(file, name);
    FUZZ_CHECK(!p.log.isEmpty());
    FUZZ_CHECK(p.log.last().text.contains(name));
    FUZZ_CHECK(p.log.last().text.endsWith(QStringLiteral(" is ") + QString::number(p.level)));

    // Only the 16-byte field 18 bytes before the end counts: a whole file and
    // its last 18 bytes give the same level, and a short file gives 0.
    FUZZ_CHECK(ident::packageLevelFromTail(file.right(18), name).level == p.level);
    if (file.size() < 18) {
        FUZZ_CHECK(p.level == 0);
    } else {
        const QByteArray field = file.right(18).left(16);
        const QByteArray text = field.left(field.indexOf('\0') < 0 ? 16 : field.indexOf('\0'));
        if (!text.contains("bootcomp="))
            FUZZ_CHECK(p.level == 0);
    }
    return 0;
}
