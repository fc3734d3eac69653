// SPDX-License-Identifier: MIT
#include "scan/ScanStream.h"

#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::size_t kBufferBytes = ScanSink::kRoomBytes;
// Compressed input comes in these; a load should not pay for large ones in its memory.
constexpr std::size_t kInputBytes = std::size_t(256) << 10;
// Plain output below this much per compressed byte is never a bomb, however small the file.
constexpr std::uint64_t kExpansionAllowance = std::uint64_t(64) << 20;

bool endsWith(const std::string& text, const char* suffix)
{
    const std::size_t n = std::strlen(suffix);
    return text.size() > n && text.compare(text.size() - n, n, suffix) == 0;
}

std::string describe(int error)
{
    return error ? std::string(": ") + std::strerror(error) : std::string();
}

// The process's file creation mask, read without changing it (umask() would, for a
// moment, for every thread).
mode_t currentUmask()
{
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 022;
        while (std::fgets(line, sizeof line, status))
            if (std::sscanf(line, "Umask: %o", &mask) == 1)
                break;
        std::fclose(status);
        return mode_t(mask);
    }
    return 022;
}

} // namespace

// ---- writing ---------------------------------------------------------------------------

struct ScanSink::Codec {
    ScanCompression kind = ScanCompression::None;
    z_stream zlib {};
    ZSTD_CStream* zstd = nullptr;
    std::unique_ptr<char[]> out { new char[kBufferBytes] };

    ~Codec()
    {
        if (kind == ScanCompression::Gzip)
            deflateEnd(&zlib);
        ZSTD_freeCStream(zstd);
    }
};

ScanCompression ScanSink::compressionFor(const std::string& path)
{
    if (endsWith(path, ".gz"))
        return ScanCompression::Gzip;
    if (endsWith(path, ".zst"))
        return ScanCompression::Zstd;
    return ScanCompression::None;
}

ScanSink::ScanSink(std::string path)
    : m_path(std::move(path))
    , m_buffer(new char[kBufferBytes])
{
    m_cursor = m_buffer.get();
    m_end = m_cursor + kBufferBytes;
    if (m_path == "-") {
        m_fd = STDOUT_FILENO;
    } else {
        const std::size_t slash = m_path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : m_path.substr(0, slash + 1);
        const std::string base = slash == std::string::npos ? m_path : m_path.substr(slash + 1);
        if (base.empty()) {
            fail("not a file name", 0);
            return;
        }
        // Hidden and unique in the target folder, so that the rename stays on one volume.
        m_tempPath = folder + (slash == std::string::npos ? "/." : ".") + base.substr(0, 200) + ".XXXXXX";
        m_fd = ::mkostemp(m_tempPath.data(), O_CLOEXEC);
        if (m_fd < 0) {
            const int error = errno;
            m_tempPath.clear();
            fail("cannot create a file in " + folder, error);
            return;
        }
    }
    auto codec = std::make_unique<Codec>();
    codec->kind = m_path == "-" ? ScanCompression::None : compressionFor(m_path);
    if (codec->kind == ScanCompression::Gzip) {
        // 16 + 15: a gzip wrapper around the largest window.
        if (deflateInit2(&codec->zlib, 4, Z_DEFLATED, 16 + 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            codec->kind = ScanCompression::None;
            fail("cannot start gzip compression", 0);
        }
    } else if (codec->kind == ScanCompression::Zstd) {
        codec->zstd = ZSTD_createCStream();
        if (!codec->zstd || ZSTD_isError(ZSTD_initCStream(codec->zstd, 3)))
            fail("cannot start zstd compression", 0);
    }
    m_codec = std::move(codec);
    if (ok())
        startWriter();
}

ScanSink::~ScanSink()
{
    stopWriter();
    if (m_fd >= 0 && m_fd != STDOUT_FILENO)
        ::close(m_fd);
    if (!m_committed && !m_tempPath.empty())
        ::unlink(m_tempPath.c_str());
}

void ScanSink::fail(const std::string& what, int error)
{
    if (m_error.empty())
        m_error = (m_path == "-" ? std::string("standard output") : m_path) + ": " + what + describe(error);
    m_failed.store(true, std::memory_order_release);
}

void ScanSink::writeSlow(const char* data, std::size_t size)
{
    while (size) {
        if (m_cursor == m_end)
            flushBuffer();
        const std::size_t n = std::min(size, std::size_t(m_end - m_cursor));
        std::memcpy(m_cursor, data, n);
        m_cursor += n;
        data += n;
        size -= n;
    }
}

// Compression and the system's writes run on a thread of their own while the caller
// fills the next buffer. `busy` set, the thread owns `pending` and the codec.
struct ScanSink::Writer {
    std::thread thread;
    std::mutex mutex;
    std::condition_variable cond;
    std::unique_ptr<char[]> spare { new char[kBufferBytes] };
    const char* pending = nullptr;
    std::size_t pendingSize = 0;
    bool busy = false;
    bool stop = false;
};

void ScanSink::startWriter()
{
    try {
        auto writer = std::make_unique<Writer>();
        writer->thread = std::thread([this, raw = writer.get()] {
            std::unique_lock lock(raw->mutex);
            for (;;) {
                raw->cond.wait(lock, [raw] { return raw->busy || raw->stop; });
                if (!raw->busy)
                    return;
                lock.unlock();
                consume(raw->pending, raw->pendingSize);
                lock.lock();
                raw->busy = false;
                raw->cond.notify_all();
            }
        });
        m_writer = std::move(writer);
    } catch (const std::system_error&) {
        // Without a thread the caller compresses and writes itself.
    }
}

void ScanSink::waitForWriter()
{
    if (!m_writer)
        return;
    std::unique_lock lock(m_writer->mutex);
    m_writer->cond.wait(lock, [this] { return !m_writer->busy; });
}

void ScanSink::stopWriter()
{
    if (!m_writer || !m_writer->thread.joinable())
        return;
    {
        std::lock_guard lock(m_writer->mutex);
        m_writer->stop = true;
    }
    m_writer->cond.notify_all();
    m_writer->thread.join();
}

void ScanSink::flushBuffer()
{
    const std::size_t n = std::size_t(m_cursor - m_buffer.get());
    m_cursor = m_buffer.get();
    if (!ok() || n == 0)
        return;
    if (!m_writer) {
        consume(m_buffer.get(), n);
        return;
    }
    waitForWriter();
    std::lock_guard lock(m_writer->mutex);
    std::swap(m_buffer, m_writer->spare);
    m_writer->pending = m_writer->spare.get();
    m_writer->pendingSize = n;
    m_writer->busy = true;
    m_writer->cond.notify_all();
    m_cursor = m_buffer.get();
    m_end = m_cursor + kBufferBytes;
}

void ScanSink::consume(const char* data, std::size_t n)
{
    Codec& c = *m_codec;
    if (c.kind == ScanCompression::Gzip) {
        c.zlib.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        c.zlib.avail_in = uInt(n);
        while (c.zlib.avail_in && ok()) {
            c.zlib.next_out = reinterpret_cast<Bytef*>(c.out.get());
            c.zlib.avail_out = uInt(kBufferBytes);
            deflate(&c.zlib, Z_NO_FLUSH);
            deliver(c.out.get(), kBufferBytes - c.zlib.avail_out);
        }
    } else if (c.kind == ScanCompression::Zstd) {
        ZSTD_inBuffer in { data, n, 0 };
        while (in.pos < in.size && ok()) {
            ZSTD_outBuffer out { c.out.get(), kBufferBytes, 0 };
            if (ZSTD_isError(ZSTD_compressStream2(c.zstd, &out, &in, ZSTD_e_continue)))
                return fail("zstd compression failed", 0);
            deliver(c.out.get(), out.pos);
        }
    } else {
        deliver(data, n);
    }
}

void ScanSink::deliver(const char* data, std::size_t size)
{
    const auto start = off_t(m_written);
    while (size && ok()) {
        const ssize_t n = ::write(m_fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail("cannot write", n < 0 ? errno : ENOSPC);
        data += n;
        size -= std::size_t(n);
        m_written += std::uint64_t(n);
    }
    // The disk starts on each piece as it is written, so that commit()'s fsync finds
    // little left to wait for. Only a hint: fsync reports what failed.
    if (m_fd != STDOUT_FILENO && off_t(m_written) > start)
        (void)::sync_file_range(m_fd, start, off_t(m_written) - start, SYNC_FILE_RANGE_WRITE);
}

bool ScanSink::commit()
{
    flushBuffer();
    stopWriter();
    Codec& c = *m_codec;
    if (ok() && c.kind == ScanCompression::Gzip) {
        int result = Z_OK;
        while (result == Z_OK && ok()) {
            c.zlib.next_out = reinterpret_cast<Bytef*>(c.out.get());
            c.zlib.avail_out = uInt(kBufferBytes);
            result = deflate(&c.zlib, Z_FINISH);
            deliver(c.out.get(), kBufferBytes - c.zlib.avail_out);
        }
        if (result != Z_STREAM_END)
            fail("gzip compression failed", 0);
    } else if (ok() && c.kind == ScanCompression::Zstd) {
        ZSTD_inBuffer in { nullptr, 0, 0 };
        std::size_t left = 1;
        while (left && ok()) {
            ZSTD_outBuffer out { c.out.get(), kBufferBytes, 0 };
            left = ZSTD_compressStream2(c.zstd, &out, &in, ZSTD_e_end);
            if (ZSTD_isError(left))
                fail("zstd compression failed", 0);
            else
                deliver(c.out.get(), out.pos);
        }
    }
    if (!ok())
        return false;
    if (m_fd == STDOUT_FILENO)
        return true;
    // Durable before it takes the name: a crash must not leave an empty file there.
    if (::fchmod(m_fd, 0666 & ~currentUmask()) != 0 || ::fsync(m_fd) != 0) {
        fail("cannot write", errno);
        return false;
    }
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0) {
        fail("cannot write", errno);
        return false;
    }
    if (::rename(m_tempPath.c_str(), m_path.c_str()) != 0) {
        fail("cannot put the file in place", errno);
        return false;
    }
    m_committed = true;
    return true;
}

// ---- reading ---------------------------------------------------------------------------

struct ScanSource::Codec {
    ScanCompression kind = ScanCompression::None;
    z_stream zlib {};
    ZSTD_DStream* zstd = nullptr;
    bool frameOpen = false; // zstd: a frame started and not yet complete
    bool streamEnded = false; // gzip: the last member ended

    ~Codec()
    {
        if (kind == ScanCompression::Gzip)
            inflateEnd(&zlib);
        ZSTD_freeDStream(zstd);
    }
};

ScanSource::ScanSource(std::string path)
    : m_path(std::move(path))
    , m_in(new char[kInputBytes])
{
    if (m_path == "-") {
        m_fd = STDIN_FILENO;
        return;
    }
    m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        fail("cannot open", errno);
        return;
    }
    m_ownFd = true;
    struct stat st { };
    m_regular = ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode);
}

ScanSource::~ScanSource()
{
    if (m_ownFd)
        ::close(m_fd);
}

long ScanSource::fail(const std::string& what, int error)
{
    if (m_error.empty())
        m_error = (m_path == "-" ? std::string("standard input") : m_path) + ": " + what + describe(error);
    return -1;
}

long ScanSource::readFile(char* into, std::size_t size)
{
    for (;;) {
        const ssize_t n = ::read(m_fd, into, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail("cannot read", errno);
        m_inputEnded = n == 0;
        m_fileBytes += std::uint64_t(n);
        return long(n);
    }
}

long ScanSource::fill()
{
    m_inStart = m_inEnd = 0;
    const long n = readFile(m_in.get(), kInputBytes);
    m_inEnd = n > 0 ? std::size_t(n) : 0;
    return n;
}

long ScanSource::read(char* buffer, std::size_t size)
{
    if (!m_error.empty())
        return -1;
    if (!m_started) {
        m_started = true;
        // The magic numbers need at most four bytes; a pipe may deliver fewer at once.
        while (m_inEnd < 4 && !m_inputEnded) {
            const long n = readFile(m_in.get() + m_inEnd, kInputBytes - m_inEnd);
            if (n < 0)
                return -1;
            m_inEnd += std::size_t(n);
        }
        const auto* magic = reinterpret_cast<const unsigned char*>(m_in.get());
        auto codec = std::make_unique<Codec>();
        if (m_inEnd >= 2 && magic[0] == 0x1f && magic[1] == 0x8b) {
            codec->kind = ScanCompression::Gzip;
            if (inflateInit2(&codec->zlib, 16 + 15) != Z_OK) {
                codec->kind = ScanCompression::None;
                return fail("cannot start gzip decompression");
            }
        } else if (m_inEnd >= 4 && magic[0] == 0x28 && magic[1] == 0xb5 && magic[2] == 0x2f
            && magic[3] == 0xfd) {
            codec->kind = ScanCompression::Zstd;
            codec->zstd = ZSTD_createDStream();
            if (!codec->zstd || ZSTD_isError(ZSTD_initDStream(codec->zstd)))
                return fail("cannot start zstd decompression");
        }
        m_compression = codec->kind;
        m_codec = std::move(codec);
    }

    Codec& c = *m_codec;
    if (c.kind == ScanCompression::None) {
        // Past the bytes read to recognise the format, plain data goes straight to the caller.
        if (m_inStart == m_inEnd) {
            if (m_inputEnded)
                return 0;
            return readFile(buffer, size);
        }
        const std::size_t n = std::min(size, m_inEnd - m_inStart);
        std::memcpy(buffer, m_in.get() + m_inStart, n);
        m_inStart += n;
        return long(n);
    }

    for (;;) {
        if (m_inStart == m_inEnd && !m_inputEnded && fill() < 0)
            return -1;
        std::size_t produced = 0;
        if (c.kind == ScanCompression::Gzip) {
            if (c.streamEnded) {
                // Another gzip member may follow, as `cat a.gz b.gz` makes.
                if (m_inStart == m_inEnd)
                    return 0;
                inflateReset(&c.zlib);
                c.streamEnded = false;
            }
            c.zlib.next_in = reinterpret_cast<Bytef*>(m_in.get() + m_inStart);
            c.zlib.avail_in = uInt(m_inEnd - m_inStart);
            c.zlib.next_out = reinterpret_cast<Bytef*>(buffer);
            c.zlib.avail_out = uInt(std::min<std::size_t>(size, 1u << 30));
            const uInt room = c.zlib.avail_out;
            const int result = inflate(&c.zlib, Z_NO_FLUSH);
            m_inStart = m_inEnd - c.zlib.avail_in;
            produced = room - c.zlib.avail_out;
            if (result == Z_STREAM_END)
                c.streamEnded = true;
            else if (result == Z_BUF_ERROR && m_inputEnded && produced == 0)
                return fail("the gzip data ends early (truncated file)");
            else if (result != Z_OK && result != Z_BUF_ERROR)
                return fail("the gzip data is damaged");
        } else {
            ZSTD_inBuffer in { m_in.get(), m_inEnd, m_inStart };
            ZSTD_outBuffer out { buffer, size, 0 };
            const std::size_t result = ZSTD_decompressStream(c.zstd, &out, &in);
            if (ZSTD_isError(result))
                return fail(std::string("the zstd data is damaged (") + ZSTD_getErrorName(result) + ")");
            const bool progress = in.pos != m_inStart || out.pos != 0;
            m_inStart = in.pos;
            produced = out.pos;
            // With nothing consumed or produced the hint says nothing about the frame.
            if (progress)
                c.frameOpen = result != 0;
            if (!produced && !progress && m_inputEnded) {
                if (c.frameOpen)
                    return fail("the zstd data ends early (truncated file)");
                return 0;
            }
        }
        m_outBytes += produced;
        if (m_outBytes > kExpansionAllowance && m_outBytes / kMaxExpansion > m_fileBytes)
            return fail("the compressed data expands more than " + std::to_string(kMaxExpansion)
                + " times (a decompression bomb?)");
        if (produced)
            return long(produced);
        if (m_inputEnded && m_inStart == m_inEnd) {
            if (c.kind == ScanCompression::Gzip && !c.streamEnded)
                return fail("the gzip data ends early (truncated file)");
            if (c.kind == ScanCompression::Gzip || !c.frameOpen)
                return 0;
        }
    }
}
