// vesk-cdread SOURCE                 the disc's tracks, CD-Text, ISRCs, catalogue number, identifiers
// vesk-cdread SOURCE TRACK [OUTPUT]  reads the track (raw CD audio to OUTPUT, else nowhere) and
//                                    prints how reading went and its CRC-32
// Options: --fast (no paranoia), --offset N (the drive's read offset in samples).
#include "disc/cdiodisc.h"
#include "disc/cdiotracksource.h"
#include "disc/discerror.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <discid/discid.h>

namespace {
QTextStream out(stdout);
QTextStream err(stderr);

void describe(const CdioDisc& disc)
{
    const DiscTOC& toc = disc.toc();
    out << "Source: " << disc.source() << (disc.isImage() ? " (image)" : " (drive)") << '\n';
    out << "Album: " << disc.performer() << " / " << disc.title() << '\n';
    out << "Catalogue number: " << disc.mediaCatalogNumber() << '\n';
    out << "Pregap before track 1: " << disc.pregapSectors() << " sectors\n";
    for (const CdioDisc::Track& track : disc.tracks()) {
        out << QStringLiteral("%1 %2 sectors %3-%4 (%5)%6  ISRC %7  %8 / %9\n")
                   .arg(track.number, 2)
                   .arg(track.audio ? QStringLiteral("audio") : QStringLiteral("data "))
                   .arg(track.firstSector, 6)
                   .arg(track.lastSector, 6)
                   .arg(track.sectors())
                   .arg(track.preemphasis ? QStringLiteral(" pre-emphasis") : QString())
                   .arg(track.audio ? disc.isrc(track.number) : QString())
                   .arg(disc.performer(track.number), disc.title(track.number));
    }
    out << QStringLiteral("CDDB id %1, %2 session(s), lead-out %3\n")
               .arg(toc.cddbDiscId(), 8, 16, QLatin1Char('0'))
               .arg(toc.numSessions())
               .arg(toc.leadoutBlock());
}

int readTrack(const std::shared_ptr<CdioDisc>& disc, int number, const ReadOptions& options,
              const QString& output)
{
    const CdioTrackSource source(disc, number, options);
    if (!source.problem().isEmpty()) {
        err << source.name() << ' ' << source.problem() << '\n';
        return 2;
    }
    const std::unique_ptr<CdioSoundDevice> sound = source.openReader();
    QFile file(output);
    if (!output.isEmpty() && !file.open(QIODevice::WriteOnly)) {
        err << output << ": " << file.errorString() << '\n';
        return 2;
    }
    qint64 bytes = 0;
    for (QByteArray block; !(block = sound->read(1 << 16)).isEmpty(); bytes += block.size()) {
        if (file.isOpen())
            file.write(block);
    }
    const ReadReport& report = sound->report();
    out << QStringLiteral("%1: %2 of %3 sample frames, CRC-32 %4%5\n")
               .arg(source.name())
               .arg(bytes / 4)
               .arg(source.sampleFrames())
               .arg(report.crc32, 8, 16, QLatin1Char('0'))
               .arg(report.exact() ? QStringLiteral(", exact") : QStringLiteral(", NOT exact"));
    out << QStringLiteral(
               "sectors read %1, rereads %2, read errors %3, skips %4, scratches %5, jitter fixes %6, "
               "unreadable %7\n")
               .arg(report.sectorsRead)
               .arg(report.rereads)
               .arg(report.readErrors)
               .arg(report.skips)
               .arg(report.scratches)
               .arg(report.jitterFixes)
               .arg(report.unreadableSectors);
    if (!report.failure.isEmpty())
        err << report.failure << '\n';
    return report.finished ? 0 : 1;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Reads a CD or disc image the way Vesk does."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("source"),
                                 QStringLiteral("A drive (/dev/sr0), .cue or .toc file."));
    parser.addPositionalArgument(QStringLiteral("track"), QStringLiteral("The track to read."),
                                 QStringLiteral("[track]"));
    parser.addPositionalArgument(QStringLiteral("output"), QStringLiteral("Where its raw sound goes."),
                                 QStringLiteral("[output]"));
    const QCommandLineOption fast(QStringLiteral("fast"), QStringLiteral("Plain reads, no paranoia."));
    const QCommandLineOption offset(QStringLiteral("offset"), QStringLiteral("Read offset in samples."),
                                    QStringLiteral("samples"), QStringLiteral("0"));
    parser.addOption(fast);
    parser.addOption(offset);
    parser.process(app);
    const QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty() || arguments.size() > 3)
        parser.showHelp(2);
    try {
        const std::shared_ptr<CdioDisc> disc = CdioDisc::open(arguments[0]);
        if (arguments.size() == 1) {
            describe(*disc);
            return 0;
        }
        ReadOptions options;
        options.mode = parser.isSet(fast) ? ReadOptions::Mode::Fast : ReadOptions::Mode::Paranoia;
        options.offset = parser.value(offset).toInt();
        return readTrack(disc, arguments[1].toInt(), options, arguments.value(2));
    } catch (const DiscError& error) {
        err << error.reason() << '\n';
        return 1;
    }
}
