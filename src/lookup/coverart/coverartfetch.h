#pragma once

#include "lookup/cancellableloop.h"

#include <QByteArray>
#include <QString>
#include <QUrl>


// The front cover of a MusicBrainz release from the Cover Art Archive (or a stand-in at another
// address): one GET of <root>/release/<release id>/front-500, which the archive answers with a
// redirect to the host that keeps the image. Redirects are followed to other hosts, at most
// maxRedirects of them and never from https to http. The call blocks in a local event loop on
// the calling thread, which may be a worker thread, for at most the time-out in all; a cancel
// from another thread ends it at once. Only a JPEG or PNG image, known by its first bytes
// whatever the server calls it, and no larger than maxImageSize, is taken.
class CoverArtFetch {
public:
    static constexpr int defaultTimeout = 30000;
    static constexpr qsizetype maxImageSize = 10 * 1024 * 1024;
    static constexpr int maxRedirects = 5;

    // The image, or why there is none.
    struct FrontCover {
        QByteArray image;
        // "image/jpeg" or "image/png"; empty with the image.
        QString mimeType;
        // Words for the log ("no front cover", "the Cover Art Archive answered HTTP 503"); empty
        // when there is an image.
        QString problem;

        bool found() const { return !image.isEmpty(); }
    };

    // root: "https://coverartarchive.org"; "coverartarchive.org" means the same.
    explicit CoverArtFetch(QString root = defaultRoot());
    static QString defaultRoot() { return QStringLiteral("https://coverartarchive.org"); }

    // The release's front cover. releaseId is a MusicBrainz release id; anything else is not
    // asked for.
    FrontCover fetchFront(const QString& releaseId);
    // May be called from any thread: a running fetch ends soon without an image, and a later one
    // does not start.
    void cancel();
    // Longest wait for the whole answer, redirects included, in milliseconds.
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }

    // The address first asked for the release's front cover.
    QUrl requestUrl(const QString& releaseId) const;
    // "image/jpeg" or "image/png" when the bytes start as such an image does, else an empty text.
    static QString imageType(const QByteArray& bytes);

private:

    QString m_root;
    int m_timeout = defaultTimeout;

    CancellableLoop m_loop; // cancel() reaches it from other threads
};
