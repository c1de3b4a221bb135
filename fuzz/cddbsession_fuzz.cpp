// Feeds arbitrary command lines to one CDDB server conversation over the shared test entries.

#include "cddbsession.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

std::unique_ptr<QTemporaryDir> s_tree;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    s_tree = std::make_unique<QTemporaryDir>();
    const QString entries = QStringLiteral(VESK_SHARED_TESTDATA_DIR "/cddb-entries/");
    const QDir root(s_tree->path());
    for (const QString& name : QDir(entries).entryList({QStringLiteral("*-*")}, QDir::Files)) {
        const QStringList parts = name.split(QLatin1Char('-'));
        root.mkpath(parts[0]);
        QFile::copy(entries + name, root.filePath(parts[0] + QLatin1Char('/') + parts[1]));
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const CddbDatabase database(s_tree->path());
    CddbSession session(database, QStringLiteral("fuzz"));
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QByteArray& line : input.split('\n')) {
        const CddbSession::Reply reply = session.handle(CddbDatabase::decode(line.trimmed()));
        // Every reply is whole lines with a status code.
        if (!reply.bytes.endsWith("\r\n") || reply.bytes.size() < 5)
            __builtin_trap();
        if (reply.close)
            break;
    }
    return 0;
}
