// Reader of the uninstall log: line splitting and the parsing of header and entry lines.
#include "engine/log_parser.hpp"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

namespace ov {

std::ptrdiff_t LogMemorySource::Read(unsigned char* buffer, std::size_t size) {
    const std::size_t count = std::min(size, bytes_.size() - position_);
    if (count != 0) {
        std::memcpy(buffer, bytes_.data() + position_, count);
    }
    position_ += count;
    return static_cast<std::ptrdiff_t>(count);
}

std::u16string DecodeWindows1252(std::string_view bytes) {
    // 0x80..0x9F; the five undefined bytes map to themselves.
    static const char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    std::u16string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text.push_back(b >= 0x80 && b < 0xA0 ? high[b - 0x80] : static_cast<char16_t>(b));
    }
    return text;
}

bool IsLogSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

// --- Line splitting -------------------------------------------------------------------

LogLineReader::LogLineReader(LogByteSource& source, AnsiDecoder decode)
    : source_(source), decode_(std::move(decode)) {}

int LogLineReader::NextByte() {
    if (chunk_position_ == chunk_size_) {
        if (source_failed_) {
            return kError;
        }
        if (source_done_) {
            return kEnd;
        }
        const std::ptrdiff_t got = source_.Read(chunk_, sizeof chunk_);
        if (got < 0 || static_cast<std::size_t>(got) > sizeof chunk_) {
            source_failed_ = true;
            return kError;
        }
        if (got == 0) {
            source_done_ = true;
            return kEnd;
        }
        chunk_position_ = 0;
        chunk_size_ = static_cast<std::size_t>(got);
    }
    return chunk_[chunk_position_++];
}

LogLineStatus LogLineReader::Next(std::u16string& line) {
    line.clear();
    if (encoding_ == Encoding::Undecided) {
        const int first = NextByte();
        if (first == kEnd) {
            return LogLineStatus::End;
        }
        if (first == kError) {
            return LogLineStatus::ReadError;
        }
        if (first == 0xFF) {
            const int second = NextByte();
            if (second == 0xFE) {
                encoding_ = Encoding::Utf16;
                return NextUtf16(line);
            }
            // Not a mark: the file is ANSI and both bytes belong to the first line.
            encoding_ = Encoding::Ansi;
            line_[0] = 0xFF;
            if (second == kError) {
                return LogLineStatus::ReadError;
            }
            if (second == kEnd) {
                return LogLineStatus::Cut;
            }
            line_[1] = static_cast<unsigned char>(second);
            if (second == '\n') {
                line = decode_(std::string_view(reinterpret_cast<const char*>(line_), 1));
                return LogLineStatus::Line;
            }
            return NextAnsiFrom(line, 2);
        }
        encoding_ = Encoding::Ansi;
        line_[0] = static_cast<unsigned char>(first);
        if (first == '\n') {
            line = decode_(std::string_view());
            return LogLineStatus::Line;
        }
        return NextAnsiFrom(line, 1);
    }
    return encoding_ == Encoding::Utf16 ? NextUtf16(line) : NextAnsiFrom(line, 0);
}

LogLineStatus LogLineReader::NextUtf16(std::u16string& line) {
    // Code units of the line, the line feed included, fill at most the whole buffer.
    const std::size_t capacity = kLineBufferBytes / 2;
    std::size_t units = 0;
    for (;;) {
        const int low = NextByte();
        if (low == kError) {
            return LogLineStatus::ReadError;
        }
        if (low == kEnd) {
            return units == 0 ? LogLineStatus::End : LogLineStatus::Cut;
        }
        const int high = NextByte();
        if (high == kError) {
            return LogLineStatus::ReadError;
        }
        if (high == kEnd) {
            return LogLineStatus::Cut; // half a code unit
        }
        if (units == capacity) {
            return LogLineStatus::TooLong;
        }
        line_[2 * units] = static_cast<unsigned char>(low);
        line_[2 * units + 1] = static_cast<unsigned char>(high);
        ++units;
        if (low == 0x0A && high == 0x00) {
            break;
        }
    }
    const std::size_t text_units = units - 1;
    line.resize(text_units);
    for (std::size_t i = 0; i < text_units; ++i) {
        line[i] = static_cast<char16_t>(line_[2 * i] | (line_[2 * i + 1] << 8));
    }
    return LogLineStatus::Line;
}

LogLineStatus LogLineReader::NextAnsiFrom(std::u16string& line, std::size_t filled) {
    // `filled` bytes of this line are in the buffer already, none of them a line feed.
    std::size_t size = filled;
    for (;;) {
        const int byte = NextByte();
        if (byte == kError) {
            return LogLineStatus::ReadError;
        }
        if (byte == kEnd) {
            return size == 0 ? LogLineStatus::End : LogLineStatus::Cut;
        }
        if (size == kLineBufferBytes) {
            return LogLineStatus::TooLong;
        }
        line_[size++] = static_cast<unsigned char>(byte);
        if (byte == '\n') {
            break;
        }
    }
    line = decode_(std::string_view(reinterpret_cast<const char*>(line_), size - 1));
    return LogLineStatus::Line;
}

// --- Parsing ----------------------------------------------------------------------------

namespace {

void TrimEnd(std::u16string& text) {
    std::size_t end = text.size();
    while (end != 0 && IsLogSpace(text[end - 1])) {
        --end;
    }
    text.resize(end);
}

void TrimStart(std::u16string& text) {
    std::size_t start = 0;
    while (start != text.size() && IsLogSpace(text[start])) {
        ++start;
    }
    text.erase(0, start);
}

void Trim(std::u16string& text) {
    TrimEnd(text);
    TrimStart(text);
}

// The text after the first occurrence of `label`, or nothing when the label is missing.
std::optional<std::u16string> After(const std::u16string& text, std::u16string_view label) {
    const std::size_t at = text.find(label);
    if (at == std::u16string::npos) {
        return std::nullopt;
    }
    return text.substr(at + label.size());
}

void SkipSpace(std::u16string_view text, std::size_t& at) {
    while (at < text.size() && IsLogSpace(text[at])) {
        ++at;
    }
}

int DigitValue(char16_t c, int base) {
    int digit = 99;
    if (c >= u'0' && c <= u'9') {
        digit = c - u'0';
    } else if (c >= u'a' && c <= u'f') {
        digit = c - u'a' + 10;
    } else if (c >= u'A' && c <= u'F') {
        digit = c - u'A' + 10;
    }
    return digit < base ? digit : -1;
}

// A 32-bit signed number in `base` after optional white space and sign, as a C++ stream
// reads it; nothing on no digits or overflow.
std::optional<std::int32_t> ReadNumber(std::u16string_view text, std::size_t& at, int base) {
    SkipSpace(text, at);
    bool negative = false;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) {
        negative = text[at] == u'-';
        ++at;
    }
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(INT32_MIN) : INT32_MAX;
    std::int64_t number = 0;
    std::size_t digits = 0;
    while (at < text.size()) {
        const int digit = DigitValue(text[at], base);
        if (digit < 0) {
            break;
        }
        number = number * base + digit;
        if (number > limit) {
            return std::nullopt;
        }
        ++at;
        ++digits;
    }
    if (digits == 0) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -number : number);
}

bool Expect(std::u16string_view text, std::size_t& at, char16_t c) {
    if (at < text.size() && text[at] == c) {
        ++at;
        return true;
    }
    return false;
}

} // namespace

std::optional<LogEntryLine> ParseLogEntryLine(std::u16string_view line) {
    std::size_t at = 0;
    const auto index = ReadNumber(line, at, 10);
    if (!index || *index < 0 || !Expect(line, at, u':')) {
        return std::nullopt;
    }
    const auto field = ReadNumber(line, at, 16);
    if (!field || *field < 0 || (*field >> 8) > 6 || !Expect(line, at, u':')) {
        return std::nullopt;
    }
    LogEntryLine entry;
    entry.kind = *field >> 8;
    entry.value = (*field & 0xFF) == 0xFF ? -1 : (*field & 0xFF);
    if (at >= line.size() || (line[at] != u'0' && line[at] != u'1')) {
        return std::nullopt;
    }
    entry.ok = line[at++] == u'1';
    SkipSpace(line, at);
    const std::size_t word = at;
    while (at < line.size() && !IsLogSpace(line[at])) {
        ++at;
    }
    if (line.substr(word, at - word) != u"--") {
        return std::nullopt;
    }
    SkipSpace(line, at);
    // A shortcut whose making failed is written without a path (it only gets one once made),
    // and the registry entries' paths are not read; a folder or file entry always has one.
    if (at == line.size() && entry.kind <= 1) {
        return std::nullopt;
    }
    entry.path.assign(line.substr(at));
    return entry;
}

const char* DescribeLogStop(LogStop stop) {
    switch (stop) {
    case LogStop::EndOfFile: return "end of file";
    case LogStop::ReadError: return "read error";
    case LogStop::LineTooLong: return "line longer than the reader's buffer";
    case LogStop::CutLine: return "file ends inside a line";
    case LogStop::NoVersionLine: return "no version line";
    case LogStop::UnsupportedVersion: return "unsupported format version";
    case LogStop::NoTitleLine: return "no \"Install\" line";
    case LogStop::NoInstallPathLine: return "no \"Install Path : \" line";
    case LogStop::NoShortcutPathLine: return "no \"Shortcut Path : \" line";
    case LogStop::BadEntryLine: return "malformed entry line";
    }
    return "?";
}

LogContents ParseUninstallLog(LogByteSource& source, const AnsiDecoder& decode) {
    LogContents log;
    LogLineReader reader(source, decode);
    std::u16string line;
    std::size_t counter = 0;  // lines processed (the header's line numbers)
    std::size_t physical = 0; // lines read, for the stop position
    auto stop = [&](LogStop why) {
        log.stop = why;
        log.stop_line = physical;
        return log;
    };
    for (;;) {
        const LogLineStatus status = reader.Next(line);
        ++physical;
        switch (status) {
        case LogLineStatus::Line: break;
        case LogLineStatus::End: return log;
        case LogLineStatus::ReadError: return stop(LogStop::ReadError);
        case LogLineStatus::TooLong: return stop(LogStop::LineTooLong);
        case LogLineStatus::Cut: return stop(LogStop::CutLine);
        }
        TrimEnd(line);
        if (line.size() >= 2 && line[0] == u'/' && line[1] == u'/') {
            std::size_t slashes = 0;
            while (slashes < line.size() && line[slashes] == u'/') {
                ++slashes;
            }
            line.erase(0, slashes);
            TrimStart(line);
            if (counter == 0) {
                const auto rest = After(line, u"Uninstall Log File v");
                if (!rest) {
                    return stop(LogStop::NoVersionLine);
                }
                std::size_t at = 0;
                const auto version = ReadNumber(*rest, at, 10);
                if (!version) {
                    return stop(LogStop::NoVersionLine);
                }
                log.version = *version;
                if (*version != 1) {
                    return stop(LogStop::UnsupportedVersion);
                }
            } else if (counter == 2) {
                auto rest = After(line, u"Install");
                if (!rest) {
                    return stop(LogStop::NoTitleLine);
                }
                const std::size_t update = rest->find(u"--");
                if (update != std::u16string::npos) {
                    rest->resize(update);
                }
                Trim(*rest);
                log.title = std::move(*rest);
            } else if (counter == 3 || counter == 4) {
                auto rest = After(line, counter == 3 ? u"Install Path : " : u"Shortcut Path : ");
                if (!rest) {
                    return stop(counter == 3 ? LogStop::NoInstallPathLine : LogStop::NoShortcutPathLine);
                }
                Trim(*rest);
                (counter == 3 ? log.install_folder : log.shortcut_folder) = std::move(*rest);
            }
        } else {
            if (log.version != 1) {
                return stop(LogStop::NoVersionLine);
            }
            auto entry = ParseLogEntryLine(line);
            if (!entry) {
                return stop(LogStop::BadEntryLine);
            }
            log.entries.push_back(std::move(*entry));
        }
        ++counter;
    }
}

} // namespace ov
