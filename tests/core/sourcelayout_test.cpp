// Reads the source tree itself: the folders keep the order src/CMakeLists.txt gives them, and
// each preferences key is spelled in one place.
#include "support/testenvironment.h"

#include <QDirIterator>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {
const QString sourceRoot = QStringLiteral(VESK_SOURCE_DIR);

QStringList filesUnder(const QString& folder, const QStringList& patterns)
{
    QStringList files;
    QDirIterator it(folder, patterns, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    return files;
}

bool isGui(const QString& folder)
{
    return folder == u"gui" || folder.endsWith(u"/gui") || folder.contains(u"/gui/");
}

QString areaOf(const QString& folder)
{
    return folder.section(QLatin1Char('/'), 0, 0);
}

// Every folder under src/ and the folders its files include, from the quoted includes that
// name a file under src/.
QHash<QString, QSet<QString>> folderIncludes(QStringList& offences)
{
    static const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s+\"([^\"]+)\""),
                                            QRegularExpression::MultilineOption);
    const QString src = sourceRoot + QStringLiteral("/src/");
    QHash<QString, QSet<QString>> graph;
    for (const QString& path : filesUnder(src, {QStringLiteral("*.h"), QStringLiteral("*.cpp")})) {
        const QString relative = path.mid(src.size());
        const QString from = QFileInfo(relative).path(); // "lookup/cddb" for lookup/cddb/freedbaccess.cpp
        graph[from];
        auto matches = include.globalMatch(QString::fromUtf8(readTestFile(path)));
        while (matches.hasNext()) {
            const QString target = matches.next().captured(1);
            if (!QFileInfo::exists(src + target))
                continue; // generated (ui_*.h, *.moc) or beside the file
            const QString to = QFileInfo(target).path();
            if (to != from)
                graph[from].insert(to);
            if (isGui(to) && !isGui(from))
                offences.append(relative + QStringLiteral(" includes ") + target);
        }
    }
    return graph;
}
} // namespace

TEST(SourceLayout, FoldersIncludeOnlyFoldersBelowThemAndNoCircles)
{
    const QStringList layers = QStringLiteral(VESK_SOURCE_LAYERS).split(QLatin1Char(','));
    QStringList offences;
    const QHash<QString, QSet<QString>> graph = folderIncludes(offences);
    ASSERT_GT(graph.size(), 10);

    for (auto it = graph.constBegin(); it != graph.constEnd(); ++it) {
        const qsizetype fromLayer = layers.indexOf(areaOf(it.key()));
        EXPECT_GE(fromLayer, 0) << it.key().toStdString() << " is not in the layer list";
        for (const QString& to : it.value()) {
            const qsizetype toLayer = layers.indexOf(areaOf(to));
            // settings, for one, sits below disc, lookup, rip and app.
            if (toLayer > fromLayer)
                offences.append(it.key() + QStringLiteral(" includes ") + to +
                                QStringLiteral(", a folder above it"));
        }
    }

    // Subfolders of one area (lookup, lookup/cddb, lookup/gui) must not go round a circle either.
    QHash<QString, int> state; // 1: on the current path, 2: done
    std::function<void(const QString&, QStringList)> visit = [&](const QString& folder, QStringList path) {
        path.append(folder);
        state[folder] = 1;
        for (const QString& next : graph.value(folder)) {
            if (state.value(next) == 1)
                offences.append(QStringLiteral("circle: ") + path.join(QStringLiteral(" -> ")) +
                                QStringLiteral(" -> ") + next);
            else if (state.value(next) == 0)
                visit(next, path);
        }
        state[folder] = 2;
    };
    for (auto it = graph.constBegin(); it != graph.constEnd(); ++it)
        if (state.value(it.key()) == 0)
            visit(it.key(), {});

    EXPECT_TRUE(offences.isEmpty()) << offences.join(QLatin1Char('\n')).toStdString();
}

TEST(SourceLayout, EveryPreferencesKeyIsSpelledOnce)
{
    static const QRegularExpression key(QStringLiteral("<key>([^<]+)</key>"));
    QStringList keys;
    auto matches = key.globalMatch(
        QString::fromUtf8(readTestFile(sourceRoot + QStringLiteral("/resources/Default.cfg"))));
    while (matches.hasNext())
        keys.append(matches.next().captured(1));
    ASSERT_GE(keys.size(), 16);

    QString code;
    for (const QString& folder : {QStringLiteral("/src"), QStringLiteral("/tools")})
        for (const QString& path :
             filesUnder(sourceRoot + folder, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}))
            code += QString::fromUtf8(readTestFile(path));
    for (const QString& name : keys)
        EXPECT_EQ(code.count(QLatin1Char('"') + name + QLatin1Char('"')), 1) << name.toStdString();
}
