#pragma once
// AudioWriter: one encoder and container per output format, behind TAudioFile2.
// Counts are interleaved int16 samples in the writer's own format
// (sample_rate() Hz x channels()). One thread at a time; every call blocks
// until the encoded bytes it produced are handed to the OS, so a killed
// process loses at most the encoder's look-ahead.
// Errors: open, write and close throw EngineError with a message a user can
// read. After a failed write, close() still finishes what was written before.

#include "audio_types.h"

#include <QFile>
#include <QString>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

class AudioWriter
{
public:
    virtual ~AudioWriter() = default;
    virtual void open(const QString &path) = 0;
    virtual void write(const int16_t *samples, size_t count) = 0;
    virtual void close() = 0;
    virtual uint32_t sample_rate() const = 0;
    virtual int channels() const = 0;
    // Samples that still fit into the file; -1 when its size has no limit.
    virtual int64_t room() const { return -1; }
};

// Unbuffered output file for encoders that hand us finished bytes: nothing
// waits in a user-space buffer when the process dies.
class RawOutputFile
{
public:
    RawOutputFile() = default;
    RawOutputFile(const RawOutputFile &) = delete;
    RawOutputFile &operator=(const RawOutputFile &) = delete;
    ~RawOutputFile() { close(); }

    void open(const QString &path)
    {
        close();
        m_path = path;
        m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                      0644);
        if (m_fd < 0)
            throw EngineError(QStringLiteral("Cannot create %1: %2")
                                  .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    bool is_open() const { return m_fd >= 0; }

    void write(const void *data, size_t size)
    {
        auto p = static_cast<const char *>(data);
        while (size > 0) {
            const ssize_t n = ::write(m_fd, p, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                fail(n < 0 ? errno : ENOSPC);
            p += n;
            size -= static_cast<size_t>(n);
        }
    }

    void write_at(off_t offset, const void *data, size_t size)
    {
        auto p = static_cast<const char *>(data);
        while (size > 0) {
            const ssize_t n = ::pwrite(m_fd, p, size, offset);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                fail(n < 0 ? errno : ENOSPC);
            p += n;
            offset += n;
            size -= static_cast<size_t>(n);
        }
    }

    // For encoders that go back to finish a header (FLAC's stream info).
    void seek(off_t offset)
    {
        if (::lseek(m_fd, offset, SEEK_SET) < 0)
            fail(errno);
    }
    off_t tell() const { return ::lseek(m_fd, 0, SEEK_CUR); }

    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    [[noreturn]] void fail(int error)
    {
        throw EngineError(QStringLiteral("Cannot write to %1: %2")
                              .arg(m_path, QString::fromLocal8Bit(std::strerror(error))));
    }

    int m_fd = -1;
    QString m_path;
};
