// A name listing from the terminal and the name to keep: the executables
// found, what gets deleted, and the names taken from terminal paths.
// Input: listing RS name to keep.
#include "FuzzSupport.h"
#include "ftp/FtpLogic.h"
#include "ident/Platform.h"

namespace {

bool plainName(const QString& name)
{
    for (QChar c : name)
        if (c.unicode() < 32 || c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char('"'))
            return false;
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..");
}

// A name that may be joined to a local folder: one plain component, no wildcard.
void checkSafeName(const QString& path)
{
    const QString name = ftp::safeFileName(path);
    if (name.isEmpty())
        return;
    FUZZ_CHECK(plainName(name));
    FUZZ_CHECK(!name.contains(QLatin1Char('*')) && !name.contains(QLatin1Char('?')));
    FUZZ_CHECK(path.endsWith(name));

    // The backup and package readings of a name agree on its version.
    const QString backup = ftp::backupVersion(name);
    const ident::PackageVersion package = ident::packageVersionFromFileName(name);
    if (package.usable())
        FUZZ_CHECK(backup == package.version);
    if (!backup.isEmpty()) {
        FUZZ_CHECK(name.compare(QStringLiteral("qorax_") + backup + QStringLiteral(".bin"), Qt::CaseInsensitive) == 0);
        for (QChar c : backup)
            FUZZ_CHECK(fuzz::isAsciiDigit(c) || c == QLatin1Char('_'));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> f = fuzz::fields(fuzz::bytes(data, size), 2);
    const QString raw = fuzz::latin1(f[0]);
    const QString keep = fuzz::latin1(f[1]);

    const ftp::BinFileList list = ftp::parseBinFileList(raw);
    FUZZ_CHECK(!list.entries.isEmpty());
    FUZZ_CHECK(!list.listing.startsWith(QLatin1Char(' ')) && !list.listing.endsWith(QLatin1Char(' ')));
    FUZZ_CHECK(list.listing.size() <= raw.size());
    const bool none = list.entries.size() == 1 && list.entries.first().isEmpty();
    for (const QString& e : list.entries) {
        FUZZ_CHECK(!e.contains(QLatin1Char('\r')) && !e.contains(QLatin1Char('\n')));
        FUZZ_CHECK(!e.startsWith(QLatin1Char(' ')) && !e.endsWith(QLatin1Char(' ')));
        if (!none)
            FUZZ_CHECK(e.contains(QLatin1String("qorax")) && e.contains(QLatin1String(".bin")));
    }

    const QList<ftp::Deletion> plan = ftp::planDeletions(list.entries, keep);
    FUZZ_CHECK(plan.size() == list.entries.size());
    for (qsizetype i = 0; i < plan.size(); ++i) {
        const ftp::Deletion& d = plan[i];
        FUZZ_CHECK(d.entry == list.entries[i]);
        if (d.action == ftp::Deletion::Keep)
            FUZZ_CHECK(keep.contains(d.entry));
        if (d.action == ftp::Deletion::Delete) {
            // Only a plain name of the working folder ever reaches a delete command.
            FUZZ_CHECK(!keep.contains(d.entry));
            FUZZ_CHECK(plainName(d.entry));
            const QString arg = ftp::deleteArgument(d.entry);
            FUZZ_CHECK(arg == d.entry || arg == ftp::quoted(d.entry));
        }
        checkSafeName(d.entry);
    }

    checkSafeName(keep);
    // Every raw line as a path and as an entry, whether the listing kept it or not.
    const QStringList lines = raw.split(QLatin1Char('\n'));
    for (const QString& line : lines)
        checkSafeName(line);
    for (const ftp::Deletion& d : ftp::planDeletions(lines, keep))
        if (d.action == ftp::Deletion::Delete)
            FUZZ_CHECK(plainName(d.entry));
    return 0;
}
