#pragma once

#include <QString>
#include <QTemporaryFile>
#include <memory>

// A copy of a file made beside it, to be changed instead of the file and then renamed over it.
// The original is never written to: whatever fails on the way (a full disk, a crash) leaves it
// as it was, and the copy is removed unless it took the original's place.
class ScratchCopy {
public:
    explicit ScratchCopy(const QString& original);
    ~ScratchCopy();
    ScratchCopy(const ScratchCopy&) = delete;
    ScratchCopy& operator=(const ScratchCopy&) = delete;

    // Copies the original's bytes and permissions into a new hidden file in its folder.
    bool make(QString& failure);
    QString path() const;
    // Puts the copy, flushed to the disk, in the original's place.
    bool replaceOriginal(QString& failure);

private:
    QString m_original;
    std::unique_ptr<QTemporaryFile> m_copy;
};
