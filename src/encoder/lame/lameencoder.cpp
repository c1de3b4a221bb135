#include "encoder/lame/lameencoder.h"

#include "common/resources.h"
#include "encoder/lame/encodercommandline.h"
#include "encoder/lame/genrelistparser.h"
#include "encoder/lame/lameprogress.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <cstdint>
#include <cstring>

QString LameEncoder::resourceName()
{
    const std::uint32_t probe = 0x02000001;
    unsigned char lowest = 0;
    std::memcpy(&lowest, &probe, 1);
    return lowest == 1 ? QStringLiteral("lame_intel") : QStringLiteral("lame_ppc");
}

QString LameEncoder::resourcePath()
{
    return Resources::pathForResource(resourceName(), QString());
}

QString LameEncoder::program()
{
    const QString bundled = resourcePath();
    if (!bundled.isEmpty() && QFileInfo(bundled).isExecutable())
        return bundled;
    return QStandardPaths::findExecutable(QStringLiteral("lame"));
}

QString LameEncoder::whereMissing() const
{
    return QStringLiteral("neither \"%1\" in %2 nor lame on the PATH can be run")
        .arg(resourceName(), Resources::resourceDirectory());
}

QString LameEncoder::howToInstall() const
{
    return QStringLiteral("Vesk encodes with LAME, which is not installed. Please install the lame package "
                          "(for example: apt install lame).");
}

QStringList LameEncoder::fasterPresetWords(const QStringList& words)
{
    if (words.join(QLatin1Char(' ')).contains(QStringLiteral("insane")) ||
        words.join(QLatin1Char(' ')).contains(QStringLiteral("vbr-new")))
        return words;
    // LAME 3.100 reads "fast" only as the first word after "--preset", and only before a named
    // VBR preset; anywhere else it rejects the whole command line and every track would fail.
    static const QStringList named{QStringLiteral("medium"), QStringLiteral("standard"),
                                   QStringLiteral("extreme")};
    QStringList faster = words;
    for (qsizetype i = 0; i + 1 < faster.size(); ++i) {
        if (faster.at(i) == QStringLiteral("--preset") && named.contains(faster.at(i + 1))) {
            faster.insert(i + 1, QStringLiteral("fast"));
            break;
        }
    }
    return faster;
}

QStringList LameEncoder::sessionArguments(const std::optional<QStringList>& basicWords,
                                          const QStringList& expertWords, bool faster) const
{
    std::optional<QStringList> preset = basicWords;
    if (preset && faster)
        preset = fasterPresetWords(*preset);
    return EncoderCommandLine::commonArguments(preset, expertWords);
}

QStringList LameEncoder::rawSoundInputArguments()
{
    // Two channels are what LAME assumes of raw sound; the preset keeps choosing the stereo mode.
    return {QStringLiteral("-r"),         QStringLiteral("-s"), QStringLiteral("44.1"),
            QStringLiteral("--bitwidth"), QStringLiteral("16"), QStringLiteral("--signed"),
            QStringLiteral("--little-endian")};
}

QStringList LameEncoder::trackArguments(const QStringList& sessionArguments, const EncoderInput& input,
                                        const QString& outputPath, const std::optional<TrackTags>& tags) const
{
    QStringList arguments = sessionArguments;
    if (input.rawSoundOnStandardInput)
        arguments << rawSoundInputArguments() << QStringLiteral("-");
    else if (input.rawSoundFile)
        arguments << rawSoundInputArguments() << input.path;
    else
        arguments << input.path;
    arguments << outputPath;
    if (tags)
        arguments << EncoderCommandLine::id3TagArguments(*tags);
    return arguments;
}

std::optional<EncoderEstimate> LameEncoder::estimate(const QByteArray& chunk) const
{
    return LameProgress::fromChunk(QString::fromLatin1(chunk));
}

bool LameEncoder::acceptsGenre(const QString& genre) const
{
    return EncoderCommandLine::encoderAcceptsGenre(genre);
}

QStringList LameEncoder::genres(const QByteArray& output) const
{
    return GenreListParser::parse(GenreListParser::textFromBytes(output));
}
