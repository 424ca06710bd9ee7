// Reader of the uninstall log ("Uninstall.ulog"): splits the file into lines and takes the
// header and the entry lines apart. Plain C++ with no system calls, so that the installer
// (ReadLog), the maker's tool (`ovpack log`) and the fuzzer share one reader.
//
// The file is UTF-16 little-endian with a byte order mark as the installer writes it, or,
// without the mark, text in an ANSI code page that the caller decodes. Each line is held in a
// buffer of 1024 bytes, its line feed included; the reader never looks past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ov {

// The bytes of a log file, read front to back. Read places up to `size` bytes in `buffer`
// and answers how many (0 at the end of the file), or -1 when reading failed.
class LogByteSource {
public:
    virtual ~LogByteSource() = default;
    virtual std::ptrdiff_t Read(unsigned char* buffer, std::size_t size) = 0;
};

// A log held in memory (tests, the fuzzer, tools that read a whole file).
class LogMemorySource : public LogByteSource {
public:
    explicit LogMemorySource(std::string_view bytes) : bytes_(bytes) {}
    std::ptrdiff_t Read(unsigned char* buffer, std::size_t size) override;

private:
    std::string_view bytes_;
    std::size_t position_ = 0;
};

// Turns one line of ANSI bytes (no line feed) into UTF-16.
using AnsiDecoder = std::function<std::u16string(std::string_view)>;

// The Western European ANSI code page (1252), the usual ANSI code page of the systems the
// log comes from. Bytes that the code page leaves undefined keep their value as code point,
// as the system's own conversion does.
std::u16string DecodeWindows1252(std::string_view bytes);

// What reading one line gave.
enum class LogLineStatus {
    Line,      // a line, ended by its line feed
    End,       // the end of the file, no byte read
    ReadError, // the source failed
    TooLong,   // the line does not fit the 1024-byte buffer
    Cut,       // the file ends inside a line (no line feed): a truncated write
};

// Splits a log into lines. The first line decides the encoding: UTF-16 when its first two
// bytes are FF FE (the mark is not part of the text), ANSI otherwise. In UTF-16 a line ends
// with the code unit 000A, so a character such as U+4E0A (bytes 0A 4E) never ends a line.
class LogLineReader {
public:
    static constexpr std::size_t kLineBufferBytes = 1024;

    LogLineReader(LogByteSource& source, AnsiDecoder decode);

    // Reads the next line into `line` (its text without the line feed; a CR stays).
    LogLineStatus Next(std::u16string& line);

    bool IsUtf16() const { return encoding_ == Encoding::Utf16; }

private:
    enum class Encoding { Undecided, Utf16, Ansi };
    static constexpr int kEnd = -1;
    static constexpr int kError = -2;

    int NextByte();
    LogLineStatus NextUtf16(std::u16string& line);
    LogLineStatus NextAnsiFrom(std::u16string& line, std::size_t filled);

    LogByteSource& source_;
    AnsiDecoder decode_;
    Encoding encoding_ = Encoding::Undecided;
    unsigned char chunk_[4096];
    std::size_t chunk_position_ = 0;
    std::size_t chunk_size_ = 0;
    bool source_done_ = false;
    bool source_failed_ = false;
    unsigned char line_[kLineBufferBytes];
};

// One entry line of the log.
struct LogEntryLine {
    std::int32_t kind = 0;  // 0..6, the journal's entry kinds
    std::int32_t value = 0; // the low byte of the kind-and-value field, ff read as -1
    bool ok = false;
    std::u16string path;    // as written (for kinds 5 and 6 a fixed registry text)
};

// Why the reading ended.
enum class LogStop {
    EndOfFile,          // every line was read
    ReadError,          // the file could not be read further
    LineTooLong,        // a line longer than the reader's buffer
    CutLine,            // the file ends inside a line
    NoVersionLine,      // the first line is not "// Uninstall Log File vN"
    UnsupportedVersion, // a format version other than 1
    NoTitleLine,        // the third header line lacks "Install"
    NoInstallPathLine,  // the fourth header line lacks "Install Path : "
    NoShortcutPathLine, // the fifth header line lacks "Shortcut Path : "
    BadEntryLine,       // an entry line that does not parse
};

// A short English description of a LogStop, for the tools.
const char* DescribeLogStop(LogStop stop);

// What the reader took from a log, in the order it found it. A header item is present only
// when the reader got as far as its line and found its label.
struct LogContents {
    std::optional<int> version;
    std::optional<std::u16string> title;           // the product title before any "--"
    std::optional<std::u16string> install_folder;  // as written; ReadLog checks that it exists
    std::optional<std::u16string> shortcut_folder; // as written
    std::vector<LogEntryLine> entries;
    LogStop stop = LogStop::EndOfFile;
    std::size_t stop_line = 0; // 1-based number of the line that ended the reading; 0 at the end
};

// Reads a whole log. Reading ends at the end of the file or at the first line that is wrong;
// what was read before stays in the result.
LogContents ParseUninstallLog(LogByteSource& source, const AnsiDecoder& decode = DecodeWindows1252);

// Parses one entry line (trailing white space already removed):
//   INDEX ':' HEX ':' OK WORD PATH
// INDEX a decimal number >= 0 (unused), HEX a hexadecimal number >= 0 whose high part is the
// kind (at most 6) and whose low byte is the value (ff is -1), OK '0' or '1', WORD exactly
// "--", PATH the rest with leading white space removed (not empty for a folder or file entry;
// a shortcut that was never made has none). White space may precede the two numbers. Nothing
// when any part is missing or wrong.
std::optional<LogEntryLine> ParseLogEntryLine(std::u16string_view line);

// White space for trimming log lines: blank, tab, line feed, vertical tab, form feed, CR.
bool IsLogSpace(char16_t c);

} // namespace ov
