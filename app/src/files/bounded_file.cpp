#include "files/bounded_file.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace boundedfile {

namespace {

QString kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return QStringLiteral("a folder");
    if (S_ISFIFO(mode)) return QStringLiteral("a pipe");
    if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("a device");
    if (S_ISSOCK(mode)) return QStringLiteral("a socket");
    return QStringLiteral("not a plain file");
}

} // namespace

bool Open(QFile& file, const QString& path, QString* error) {
    file.close();
    const auto fail = [&](const QString& why) {
        if (error) *error = QStringLiteral("\"%1\": %2").arg(path, why);
        return false;
    };
    if (path.isEmpty()) return fail(QStringLiteral("no file name"));
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking: opening a pipe with no writer would otherwise wait for one.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return fail(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int saved = errno;
        const bool statFailed = !S_ISREG(st.st_mode) && st.st_mode == 0;
        ::close(fd);
        return fail(statFailed ? QString::fromLocal8Bit(std::strerror(saved))
                               : QStringLiteral("is %1, not a file").arg(kindOf(st.st_mode)));
    }
    // A regular file never blocks; reads go the usual way from here.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(file.errorString());
    }
    return true;
}

bool Readable(const QString& path) {
    QFile f;
    return Open(f, path);
}

bool LineReader::Next(QByteArray& line) {
    cut_ = false;
    if (lines_ >= limits_.lines || bytes_ >= limits_.totalBytes) {
        limitReached_ = !file_.atEnd();
        return false;
    }
    line = file_.readLine(limits_.lineBytes + 1);
    if (line.isEmpty()) return false;
    bytes_ += line.size();
    if (!line.endsWith('\n') && !file_.atEnd()) {
        // Longer than the cap: the rest of the line is skipped, counted but not kept.
        cut_ = true;
        line.truncate(limits_.lineBytes);
        char buf[4096];
        for (;;) {
            if (bytes_ >= limits_.totalBytes) break;
            const qint64 n = file_.readLine(buf, sizeof buf);
            if (n <= 0) break;
            bytes_ += n;
            if (buf[n - 1] == '\n') break;
        }
    }
    ++lines_;
    if (line.endsWith('\n')) line.chop(1);
    if (line.endsWith('\r')) line.chop(1);
    return true;
}

bool ReadText(const QString& path, const Limits& limits, QByteArray& text, QString* error) {
    text.clear();
    QFile file;
    if (!Open(file, path, error)) return false;
    if (file.size() > limits.totalBytes) {
        if (error)
            *error = QStringLiteral("\"%1\": too large (%2 bytes; at most %3 are read)")
                         .arg(path)
                         .arg(file.size())
                         .arg(limits.totalBytes);
        return false;
    }
    LineReader reader(file, limits);
    QByteArray line;
    while (reader.Next(line)) {
        text += line;
        text += '\n';
    }
    if (reader.LimitReached()) {
        if (error) *error = QStringLiteral("\"%1\": too large").arg(path);
        return false;
    }
    return true;
}

} // namespace boundedfile
