#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Reads a file whole only when it is an ordinary file of a sane size: a FIFO, a device such as
// /dev/zero, a folder or a link to one of them would hang the reader or fill memory. The file is
// opened without blocking, and what is read is checked against what it said it holds.
class RegularFile {
public:
    RegularFile() = delete;

    // The file's bytes, or nothing with the reason in *problem (when given).
    static std::optional<QByteArray> read(const QString& path, qint64 maxBytes, QString* problem = nullptr);
};
