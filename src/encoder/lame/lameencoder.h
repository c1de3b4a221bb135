#pragma once

#include "encoder/encoder.h"
#include "encoder/lame/encodercommandline.h"

// The LAME MP3 encoder: the application's own link to it among the resources ("lame_intel"),
// else the lame program on the PATH (Debian's lame package). Every LAME fact the rip relies on lives behind this class: the resource's
// name, where "fast" goes in a preset, the fixed options, the tag options, the progress report
// and the genre list.
class LameEncoder : public Encoder {
public:
    // "lame_intel" on little-endian hosts, "lame_ppc" on big-endian ones.
    static QString resourceName();
    // The resource's full path, or a null string when the application does not carry it.
    static QString resourcePath();
    // The resource when it can be run, else lame on the PATH; a null string when neither is there.
    static QString program();

    QString executable() const override { return program(); }
    QString whereMissing() const override;
    QString howToInstall() const override;
    QString fileExtension() const override { return QStringLiteral(".mp3"); }
    QStringList sessionArguments(const std::optional<QStringList>& basicWords, const QStringList& expertWords,
                                 bool faster) const override;
    QStringList trackArguments(const QStringList& sessionArguments, const EncoderInput& input,
                               const QString& outputPath, const std::optional<TrackTags>& tags) const override;
    std::optional<EncoderEstimate> estimate(const QByteArray& chunk) const override;
    QString fittedTagValue(const QString& value) const override { return EncoderCommandLine::fittedTagValue(value); }
    bool acceptsGenre(const QString& genre) const override;
    QStringList genreListArguments() const override { return {QStringLiteral("--genre-list")}; }
    QStringList genres(const QByteArray& output) const override;

    // A basic preset's words with "fast" where LAME takes it: directly after "--preset" when a
    // named VBR preset (medium, standard, extreme) follows. Presets holding "insane" or
    // "vbr-new" never get it.
    static QStringList fasterPresetWords(const QStringList& words);
    // The options that make LAME read raw CD audio from its standard input.
    static QStringList rawSoundInputArguments();
};
