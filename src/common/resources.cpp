#include "common/resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
QString& overrideDirectory()
{
    static QString directory;
    return directory;
}

QString defaultDirectory()
{
    const QString exeDir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                        : QDir::currentPath();
    const QString beside = exeDir + QStringLiteral("/resources");
    if (QFileInfo(beside).isDir())
        return beside;
    return QDir::cleanPath(exeDir + QStringLiteral("/../") + QStringLiteral(VESK_INSTALL_DATA_RELDIR));
}
} // namespace

QString Resources::resourceDirectory()
{
    return overrideDirectory().isEmpty() ? defaultDirectory() : overrideDirectory();
}

void Resources::setResourceDirectory(const QString& directory)
{
    overrideDirectory() = directory;
}

QString Resources::pathForResource(const QString& name, const QString& type, const QString& subdirectory)
{
    QString path = resourceDirectory();
    if (!subdirectory.isEmpty())
        path += QLatin1Char('/') + subdirectory;
    path += QLatin1Char('/') + name;
    if (!type.isEmpty())
        path += QLatin1Char('.') + type;
    return QFileInfo::exists(path) ? path : QString();
}
