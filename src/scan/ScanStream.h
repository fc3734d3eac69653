// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

// The bytes of a saved scan on their way to or from a file: plain, gzip or zstd.
enum class ScanCompression : std::uint8_t { None, Gzip, Zstd };

// Where a saved scan is written. A FILE is written to a temporary file in its own folder
// and renamed over FILE by commit(), so that a failed or abandoned write never leaves a
// truncated file under the chosen name; "-" is standard output. The compression follows
// the name: ".gz" gzip, ".zst" zstd, anything else plain.
//
// Threads: one caller at a time; compression and writing run on a thread of the object's
// own, ended by commit() or the destructor.
class ScanSink {
public:
    explicit ScanSink(std::string path);
    // Removes the temporary file unless commit() succeeded.
    ~ScanSink();
    ScanSink(const ScanSink&) = delete;
    ScanSink& operator=(const ScanSink&) = delete;

    // False once anything failed; error() then says what, naming the file.
    [[nodiscard]] bool ok() const { return !m_failed.load(std::memory_order_acquire); }
    // Complete once commit() returned.
    [[nodiscard]] const std::string& error() const { return m_error; }

    void write(const char* data, std::size_t size)
    {
        if (size <= std::size_t(m_end - m_cursor)) {
            std::memcpy(m_cursor, data, size);
            m_cursor += size;
            return;
        }
        writeSlow(data, size);
    }
    void put(char c)
    {
        if (m_cursor == m_end)
            flushBuffer();
        *m_cursor++ = c;
    }
    // Where the next `size` bytes (at most kRoomBytes) may be written directly; advance()
    // then takes what was used. Lets a caller format in place, without a copy.
    static constexpr std::size_t kRoomBytes = std::size_t(1) << 20;
    [[nodiscard]] char* room(std::size_t size)
    {
        if (size > std::size_t(m_end - m_cursor))
            flushBuffer();
        return m_cursor;
    }
    void advance(char* to) { m_cursor = to; }

    // Ends the stream, makes it durable and puts it in place. False (and error()) when
    // any step failed; the chosen name then still holds what it held before.
    [[nodiscard]] bool commit();

    [[nodiscard]] static ScanCompression compressionFor(const std::string& path);
    // The file written until commit(); empty for standard output.
    [[nodiscard]] const std::string& temporaryPath() const { return m_tempPath; }

private:
    void writeSlow(const char* data, std::size_t size);
    void flushBuffer();
    void consume(const char* data, std::size_t size);
    void startWriter();
    void waitForWriter();
    void stopWriter();
    void deliver(const char* data, std::size_t size);
    void fail(const std::string& what, int error);

    struct Codec;
    std::string m_path;
    std::string m_tempPath;
    int m_fd = -1;
    std::uint64_t m_written = 0; // bytes given to the file so far
    bool m_committed = false;
    std::unique_ptr<Codec> m_codec;
    std::unique_ptr<char[]> m_buffer;
    char* m_cursor = nullptr;
    char* m_end = nullptr;
    std::string m_error; // written once, before m_failed is set
    std::atomic<bool> m_failed { false };
    struct Writer;
    std::unique_ptr<Writer> m_writer; // last: stopped before the buffers go
};

// Where a saved scan is read from: a file or, for "-", standard input. gzip and zstd
// are recognised by their first bytes, whatever the name.
class ScanSource {
public:
    explicit ScanSource(std::string path);
    ~ScanSource();
    ScanSource(const ScanSource&) = delete;
    ScanSource& operator=(const ScanSource&) = delete;

    // Up to `size` bytes of the (decompressed) content: the count, 0 at its end, or -1
    // on failure (error() says what, naming the file).
    [[nodiscard]] long read(char* buffer, std::size_t size);
    [[nodiscard]] const std::string& error() const { return m_error; }
    [[nodiscard]] const std::string& path() const { return m_path; }
    [[nodiscard]] bool isRegularFile() const { return m_regular; }
    [[nodiscard]] ScanCompression compression() const { return m_compression; }
    // Bytes taken from the file itself so far (compressed bytes when compressed).
    [[nodiscard]] std::uint64_t fileBytes() const { return m_fileBytes; }

    // More than this many times the compressed size, past a first allowance, is taken
    // for a decompression bomb: no scan compresses that well.
    static constexpr std::uint64_t kMaxExpansion = 250;

private:
    // read() of the file itself, EINTR retried; the count or -1 (error() set).
    long readFile(char* into, std::size_t size);
    long fill();
    long fail(const std::string& what, int error = 0);

    struct Codec;
    std::string m_path;
    int m_fd = -1;
    bool m_ownFd = false;
    bool m_regular = false;
    bool m_started = false;
    bool m_inputEnded = false;
    ScanCompression m_compression = ScanCompression::None;
    std::unique_ptr<Codec> m_codec;
    std::unique_ptr<char[]> m_in;
    std::size_t m_inStart = 0;
    std::size_t m_inEnd = 0;
    std::uint64_t m_fileBytes = 0;
    std::uint64_t m_outBytes = 0;
    std::string m_error;
};
