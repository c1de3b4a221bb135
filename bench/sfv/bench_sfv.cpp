// Prints how fast the release files' CRC-32 is, how long writing an SFV list takes next to
// cksfv, and how much memory writing the SFV of a folder with one 1 GiB file needs.
//
//   bench_sfv [work-folder]        (default: the system's temporary folder)
#include "common/crc32.h"
#include "output/veskfilegenerator.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

namespace {
using Clock = std::chrono::steady_clock;

double secondsOf(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Best of several runs: the figure least disturbed by other work on the machine.
double bestOf(int runs, const std::function<void()>& work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i)
        best = std::min(best, secondsOf(work));
    return best;
}

QByteArray randomBytes(qsizetype size, unsigned seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    std::mt19937_64 random(seed);
    for (qsizetype i = 0; i + 8 <= size; i += 8) {
        const quint64 word = random();
        std::memcpy(bytes.data() + i, &word, 8);
    }
    for (qsizetype i = size & ~qsizetype(7); i < size; ++i)
        bytes[i] = char(random());
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& pattern, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (qint64 written = 0; written < size;) {
        const qint64 n = std::min<qint64>(pattern.size(), size - written);
        if (file.write(pattern.constData(), n) != n)
            return false;
        written += n;
    }
    return true;
}

// Runs work repeatedly for at least half a second and keeps the fastest run.
double fastestRun(const std::function<void()>& work)
{
    double best = 1e300, total = 0;
    for (int runs = 0; runs < 3 || total < 0.5; ++runs) {
        const double t = secondsOf(work);
        best = std::min(best, t);
        total += t;
    }
    return best;
}

void throughput()
{
    const qsizetype size = 64 << 20;
    const QByteArray buffer = randomBytes(size, 1);
    const double mb = double(size) / 1e6;
    quint32 ours = 0, sliced = 0, bytewise = 0, zlib = 0;
    const double tOurs = fastestRun([&] { ours = Crc32::checksum(buffer); });
    const double tSliced = fastestRun([&] { sliced = Crc32::checksumSliced(buffer); });
    const double tBytewise = fastestRun([&] { bytewise = Crc32::checksumBytewise(buffer); });
    const double tZlib = fastestRun([&] {
        zlib = quint32(crc32_z(crc32_z(0, nullptr, 0), reinterpret_cast<const Bytef*>(buffer.constData()),
                               z_size_t(buffer.size())));
    });
    std::printf("CRC-32 over a %.0f MB buffer in memory (fastest of repeated runs)\n", mb);
    std::printf("  ours, as the SFV writer uses it  %7.0f MB/s  crc %08x\n", mb / tOurs, ours);
    std::printf("  ours, 16-byte table steps only   %7.0f MB/s  crc %08x\n", mb / tSliced, sliced);
    std::printf("  byte-at-a-time table             %7.0f MB/s  crc %08x\n", mb / tBytewise, bytewise);
    std::printf("  zlib %-9s crc32             %7.0f MB/s  crc %08x\n", zlibVersion(), mb / tZlib, zlib);
    std::printf("  ours / byte-at-a-time %.1fx (table steps only %.1fx), ours / zlib %.2fx, values %s\n\n",
                tBytewise / tOurs, tBytewise / tSliced, tZlib / tOurs,
                ours == sliced && ours == bytewise && ours == zlib ? "agree" : "DIFFER");
}

void againstCksfv(const QString& work)
{
    const QString folder = work + QStringLiteral("/album");
    QDir().mkpath(folder);
    QStringList names;
    const int files = 30;
    const qint64 fileSize = 10'000'000;
    for (int i = 1; i <= files; ++i) {
        const QString name = QStringLiteral("%1 - Track.mp3").arg(i, 2, 10, QLatin1Char('0'));
        if (!writeFile(folder + QLatin1Char('/') + name, randomBytes(fileSize, unsigned(i)), fileSize)) {
            std::printf("could not write the test folder\n");
            return;
        }
        names << name;
    }
    auto runCksfv = [&] {
        QProcess cksfv;
        cksfv.setWorkingDirectory(folder);
        cksfv.setStandardOutputFile(QProcess::nullDevice());
        cksfv.start(QStringLiteral("cksfv"), QStringList{QStringLiteral("-q")} + names);
        cksfv.waitForFinished(-1);
    };
    VeskFileGenerator generator;
    const QString sfv = QStringLiteral("00-Bench-Album.sfv");
    runCksfv(); // both then read from the page cache
    const double tOurs = bestOf(5, [&] { generator.makeSFVFile(folder, sfv, false); });
    const double tCksfv = bestOf(5, runCksfv);
    const double mb = double(files * fileSize) / 1e6;
    std::printf("SFV of a folder of %d files, %.0f MB in all (page cache warm, best of 5)\n", files, mb);
    std::printf("  Vesk makeSFVFile   %6.3f s  (%5.0f MB/s)\n", tOurs, mb / tOurs);
    std::printf("  cksfv              %6.3f s  (%5.0f MB/s)\n", tCksfv, mb / tCksfv);
    const int verified = QProcess::execute(QStringLiteral("cksfv"),
                                           {QStringLiteral("-q"), QStringLiteral("-g"), folder + '/' + sfv});
    std::printf("  Vesk / cksfv speed %.2fx; cksfv -g on our list: %s\n\n", tCksfv / tOurs,
                verified == 0 ? "all files OK" : "FAILED");
    QDir(folder).removeRecursively();
}

// Peak resident memory (KiB) of a child that writes the SFV of folder, as wait4 reports it.
long childPeakKiB(const QString& folder)
{
    const QByteArray self = QFile::encodeName(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
    const QByteArray path = QFile::encodeName(folder);
    const pid_t child = fork();
    if (child == 0) {
        execl(self.constData(), self.constData(), "--write-sfv", path.constData(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

void peakMemory(const QString& work)
{
    const QString empty = work + QStringLiteral("/empty");
    const QString big = work + QStringLiteral("/big");
    QDir().mkpath(empty);
    QDir().mkpath(big);
    const qint64 size = qint64(1) << 30;
    if (!writeFile(big + QStringLiteral("/1 - Long.mp3"), randomBytes(16 << 20, 7), size)) {
        std::printf("could not write the 1 GiB file\n");
        return;
    }
    const long base = childPeakKiB(empty);
    long peak = 0;
    const double seconds = secondsOf([&] { peak = childPeakKiB(big); });
    QFile written(big + QStringLiteral("/peak.sfv"));
    const QByteArray list = written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
    std::printf("Peak memory writing an SFV (child process, ru_maxrss)\n");
    std::printf("  empty folder            %7.1f MB\n", double(base) / 1024);
    std::printf("  folder with one 1 GiB file %4.1f MB  (difference %.1f MB)\n", double(peak) / 1024,
                double(peak - base) / 1024);
    std::printf("  its SFV (written in %.2f s): %s", seconds,
                list.isEmpty() ? "MISSING\n"
                               : list.split('\n').value(2).replace('\r', "").append('\n').constData());
    QDir(big).removeRecursively();
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--write-sfv") == 0) {
        VeskFileGenerator().makeSFVFile(QFile::decodeName(argv[2]), QStringLiteral("peak.sfv"), false);
        return 0;
    }
    QTemporaryDir work(argc > 1 ? QFile::decodeName(argv[1]) + QStringLiteral("/bench-sfv-XXXXXX")
                                : QDir::tempPath() + QStringLiteral("/bench-sfv-XXXXXX"));
    if (!work.isValid()) {
        std::printf("cannot make a work folder\n");
        return 1;
    }
    throughput();
    againstCksfv(work.path());
    peakMemory(work.path());
    return 0;
}
