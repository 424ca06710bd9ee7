// The uninstall log's reader: line splitting (encodings, the 1024-byte buffer, cut files) and
// the parsing of header and entry lines.
#include "engine/log_parser.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ov;

namespace {

// UTF-16 little-endian bytes of `text`, with a byte order mark when asked.
std::string Utf16(std::u16string_view text, bool mark = true) {
    std::string bytes;
    if (mark) {
        bytes += "\xFF\xFE";
    }
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

// Hands out its bytes a few at a time, and can fail after a number of bytes.
class TrickleSource : public LogByteSource {
public:
    TrickleSource(std::string bytes, std::size_t step, std::size_t fail_after = SIZE_MAX)
        : bytes_(std::move(bytes)), step_(step), fail_after_(fail_after) {}
    std::ptrdiff_t Read(unsigned char* buffer, std::size_t size) override {
        if (position_ >= fail_after_) {
            return -1;
        }
        std::size_t count = std::min({size, step_, bytes_.size() - position_, fail_after_ - position_});
        for (std::size_t i = 0; i < count; ++i) {
            buffer[i] = static_cast<unsigned char>(bytes_[position_ + i]);
        }
        position_ += count;
        return static_cast<std::ptrdiff_t>(count);
    }

private:
    std::string bytes_;
    std::size_t step_;
    std::size_t fail_after_;
    std::size_t position_ = 0;
};

std::vector<std::u16string> ReadLines(LogByteSource& source, LogLineStatus& last) {
    LogLineReader reader(source, DecodeWindows1252);
    std::vector<std::u16string> lines;
    std::u16string line;
    while ((last = reader.Next(line)) == LogLineStatus::Line) {
        lines.push_back(line);
    }
    return lines;
}

LogContents Parse(const std::string& bytes) {
    LogMemorySource source(bytes);
    return ParseUninstallLog(source);
}

const std::u16string kHeader =
    u"// Uninstall Log File v1\r\n"
    u"// ############ WARNING: Do not delete or modify this file. ############\r\n"
    u"// Install Vestrilo 1.22\r\n"
    u"// Install Path : C:\\Program Files\\Orvane & Drey\\Vestrilo 1\r\n"
    u"// Shortcut Path : C:\\Menu\\Orvane & Drey\\Vestrilo 1\r\n"
    u"// ---------------------------------------------\r\n";

} // namespace

// --- Line splitting ---------------------------------------------------------------------

TEST(LogLineReader, Utf16LinesKeepCharactersWhoseUnitsHoldTheByte0A) {
    // U+4E0A is the bytes 0A 4E and U+010A the bytes 0A 01: neither ends a line.
    const std::u16string text = u"a\u4E0Ab\r\nC:\\\u010A\u00E9\r\n\r\nlast\r\n";
    for (const std::size_t step : {std::size_t(1), std::size_t(3), std::size_t(4096)}) {
        TrickleSource source(Utf16(text), step);
        LogLineStatus last;
        const auto lines = ReadLines(source, last);
        EXPECT_EQ(last, LogLineStatus::End) << "step " << step;
        ASSERT_EQ(lines.size(), 4u) << "step " << step;
        EXPECT_EQ(lines[0], u"a\u4E0Ab\r");
        EXPECT_EQ(lines[1], u"C:\\\u010A\u00E9\r");
        EXPECT_EQ(lines[2], u"\r");
        EXPECT_EQ(lines[3], u"last\r");
    }
}

TEST(LogLineReader, AnsiWithoutMarkIsDecodedByTheCaller) {
    // é is E9 and € is 80 in code page 1252; a lone FF that is not followed by FE is ANSI too.
    struct Case {
        std::string bytes;
        std::vector<std::u16string> lines;
    } cases[] = {
        {"caf\xE9 \x80\r\nzwei\n", {u"caf\u00E9 \u20AC\r", u"zwei"}},
        {"\xFF\x41\r\n", {u"\u00FFA\r"}},
        {"\xFF\n", {u"\u00FF"}},
        {"\n\n", {u"", u""}},
        // UTF-16 without mark is taken as ANSI: every other byte is a zero.
        {Utf16(u"ab\n", false).substr(0, 5), {std::u16string(u"a\0b\0", 4)}},
    };
    for (const auto& c : cases) {
        LogMemorySource source(c.bytes);
        LogLineStatus last;
        EXPECT_EQ(ReadLines(source, last), c.lines) << c.bytes;
        EXPECT_EQ(last, LogLineStatus::End) << c.bytes;
    }
}

TEST(LogLineReader, TheBufferHolds1024BytesWithTheLineFeed) {
    struct Case {
        const char* what;
        std::string bytes;
        std::size_t good_lines;
        LogLineStatus last;
    } cases[] = {
        {"utf16 511 units", Utf16(std::u16string(511, u'x') + u"\n"), 1, LogLineStatus::End},
        {"utf16 512 units", Utf16(std::u16string(512, u'x') + u"\n"), 0, LogLineStatus::TooLong},
        {"utf16 second line long", Utf16(u"ok\n" + std::u16string(5000, u'y') + u"\n"), 1,
         LogLineStatus::TooLong},
        {"ansi 1023 bytes", std::string(1023, 'x') + "\n", 1, LogLineStatus::End},
        {"ansi 1024 bytes", std::string(1024, 'x') + "\n", 0, LogLineStatus::TooLong},
        {"ansi long without line feed", std::string(3000, 'x'), 0, LogLineStatus::TooLong},
    };
    for (const auto& c : cases) {
        TrickleSource source(c.bytes, 7);
        LogLineStatus last;
        const auto lines = ReadLines(source, last);
        EXPECT_EQ(lines.size(), c.good_lines) << c.what;
        EXPECT_EQ(last, c.last) << c.what;
        if (!lines.empty()) {
            EXPECT_LE(lines[0].size(), 1023u) << c.what;
        }
    }
}

TEST(LogLineReader, CutFilesAndReadErrorsAreReported) {
    struct Case {
        const char* what;
        std::string bytes;
        std::size_t fail_after;
        std::size_t good_lines;
        LogLineStatus last;
    } cases[] = {
        {"utf16 without final line feed", Utf16(u"one\r\ntwo"), SIZE_MAX, 1, LogLineStatus::Cut},
        {"utf16 odd byte", Utf16(u"one\n") + "x", SIZE_MAX, 1, LogLineStatus::Cut},
        {"ansi without final line feed", "one\r\ntw", SIZE_MAX, 1, LogLineStatus::Cut},
        {"mark only", "\xFF\xFE", SIZE_MAX, 0, LogLineStatus::End},
        {"empty file", "", SIZE_MAX, 0, LogLineStatus::End},
        {"fails at once", "abc\n", 0, 0, LogLineStatus::ReadError},
        {"fails on the second line", Utf16(u"one\ntwo\n"), 12, 1, LogLineStatus::ReadError},
    };
    for (const auto& c : cases) {
        TrickleSource source(c.bytes, 5, c.fail_after);
        LogLineStatus last;
        EXPECT_EQ(ReadLines(source, last).size(), c.good_lines) << c.what;
        EXPECT_EQ(last, c.last) << c.what;
    }
}

// --- Entry lines ------------------------------------------------------------------------

TEST(LogEntryLine, ParsesTheWrittenFormAndToleratesSpaceBeforeNumbers) {
    struct Case {
        std::u16string line;
        int kind, value;
        bool ok;
        std::u16string path;
    } cases[] = {
        {u"0000:00ff:1 -- C:\\Program Files\\Orvane & Drey", 0, -1, true, u"C:\\Program Files\\Orvane & Drey"},
        {u"0002:0102:1 -- C:\\A\\Uninstall.exe", 1, 2, true, u"C:\\A\\Uninstall.exe"},
        {u"0005:0105:0 -- C:\\A\\x", 1, 5, false, u"C:\\A\\x"},
        {u"0010:05ff:1 -- HKEY_LOCAL_MACHINE\\Software", 5, -1, true, u"HKEY_LOCAL_MACHINE\\Software"},
        {u"0011:06FF:0 -- HKEY_CLASSES_ROOT\\...", 6, -1, false, u"HKEY_CLASSES_ROOT\\..."},
        {u"12345:4ff:1 -- D:\\x", 4, -1, true, u"D:\\x"},
        {u"  7:\t 3ff:1\t--\t  C:\\a b ", 3, -1, true, u"C:\\a b "},
        {u"0001:0101:1 -- C:\\A -- B\\file -- x.txt", 1, 1, true, u"C:\\A -- B\\file -- x.txt"},
        {u"0001:0101:1-- C:\\a", 1, 1, true, u"C:\\a"},
        {u"+1:+0100:0 -- p", 1, 0, false, u"p"},
    };
    for (const auto& c : cases) {
        const auto entry = ParseLogEntryLine(c.line);
        ASSERT_TRUE(entry) << std::string(c.line.begin(), c.line.end());
        EXPECT_EQ(entry->kind, c.kind);
        EXPECT_EQ(entry->value, c.value);
        EXPECT_EQ(entry->ok, c.ok);
        EXPECT_EQ(entry->path, c.path);
    }
}

TEST(LogEntryLine, RefusesEveryMissingOrWrongPart) {
    const std::u16string bad[] = {
        u"",
        u"-1:00ff:1 -- C:\\a",          // negative index
        u"x:00ff:1 -- C:\\a",           // no index
        u"0000 00ff:1 -- C:\\a",        // no first ':'
        u"0000: :1 -- C:\\a",           // no hex field
        u"0000:-1:1 -- C:\\a",          // negative field
        u"0000:07ff:1 -- C:\\a",        // kind 7
        u"0000:0x1ff:1 -- C:\\a",       // no prefix form
        u"0000:ffffffff:1 -- C:\\a",    // does not fit 32 bits
        u"99999999999:00ff:1 -- C:\\a", // index does not fit 32 bits
        u"0000:00ff 1 -- C:\\a",        // no second ':'
        u"0000:00ff:2 -- C:\\a",        // ok not 0 or 1
        u"0000:00ff: 1 -- C:\\a",       // ok is a character, not a number
        u"0000:00ff:",                  // cut after the second ':'
        u"0000:00ff:1",                 // no word
        u"0000:00ff:1 - C:\\a",         // wrong word
        u"0000:00ff:1 --C:\\a",         // word runs into the path
        u"0000:00ff:10 -- C:\\a",       // ok followed by more
        u"0000:00ff:1 --",              // no path
        u"0000:00ff:1 --   ",           // only white space after the word
    };
    for (const auto& line : bad) {
        EXPECT_FALSE(ParseLogEntryLine(line)) << std::string(line.begin(), line.end());
    }
}

TEST(LogEntryLine, AShortcutThatWasNeverMadeHasNoPath) {
    // The installer writes "NNNN:02ff:0 -- " for a shortcut whose making failed (its path is
    // only known once made); a folder or file entry always has one.
    struct Case {
        std::u16string line;
        bool parsed;
        int kind;
    } cases[] = {
        {u"0008:02ff:0 --", true, 2},  {u"0009:03ff:0 --", true, 3}, {u"0010:04ff:0 --", true, 4},
        {u"0011:05ff:1 --", true, 5},  {u"0012:06ff:0 --", true, 6}, {u"0000:00ff:1 --", false, 0},
        {u"0001:0101:1 --", false, 1}, {u"0008:02ff:0", false, 2},
    };
    for (const auto& c : cases) {
        const auto entry = ParseLogEntryLine(c.line);
        ASSERT_EQ(entry.has_value(), c.parsed) << std::string(c.line.begin(), c.line.end());
        if (entry) {
            EXPECT_EQ(entry->kind, c.kind);
            EXPECT_EQ(entry->path, u"");
            EXPECT_EQ(entry->value, -1);
        }
    }
}

// --- Whole logs -------------------------------------------------------------------------

TEST(ParseUninstallLog, ReadsHeaderAndEntriesOfAWrittenLog) {
    const std::string bytes = Utf16(kHeader +
                                    u"0000:00ff:1 -- C:\\Program Files\\Orvane & Drey\r\n"
                                    u"0001:0102:0 -- C:\\Program Files\\Orvane & Drey\\Vestrilo 1\\Uninstall.exe\r\n"
                                    u"0002:05ff:1 -- HKEY_LOCAL_MACHINE\\Software\\x\r\n");
    const LogContents log = Parse(bytes);
    EXPECT_EQ(log.stop, LogStop::EndOfFile);
    EXPECT_EQ(log.stop_line, 0u);
    EXPECT_EQ(log.version, 1);
    EXPECT_EQ(log.title, u"Vestrilo 1.22");
    EXPECT_EQ(log.install_folder, u"C:\\Program Files\\Orvane & Drey\\Vestrilo 1");
    EXPECT_EQ(log.shortcut_folder, u"C:\\Menu\\Orvane & Drey\\Vestrilo 1");
    ASSERT_EQ(log.entries.size(), 3u);
    EXPECT_EQ(log.entries[1].kind, 1);
    EXPECT_EQ(log.entries[1].value, 2);
    EXPECT_FALSE(log.entries[1].ok);
    EXPECT_EQ(log.entries[1].path, u"C:\\Program Files\\Orvane & Drey\\Vestrilo 1\\Uninstall.exe");
    EXPECT_EQ(log.entries[2].kind, 5);
}

TEST(ParseUninstallLog, TitleKeepsOnlyTheTextBeforeTheUpdatePart) {
    struct Case {
        std::u16string line;
        std::u16string title;
    } cases[] = {
        {u"// Install Vestrilo 1.21 -- Update (Vestrilo 1.20)", u"Vestrilo 1.21"},
        {u"//// \t Install   Vestrilo 1.22   ", u"Vestrilo 1.22"},
        {u"// Install", u""},
        {u"// Install -- Update (x)", u""},
    };
    for (const auto& c : cases) {
        std::u16string text = u"// Uninstall Log File v1\r\n// w\r\n" + c.line + u"\r\n";
        const LogContents log = Parse(Utf16(text));
        EXPECT_EQ(log.title, c.title);
        EXPECT_EQ(log.stop, LogStop::EndOfFile);
    }
}

TEST(ParseUninstallLog, StopsWhereTheLogGoesWrongAndKeepsWhatCameBefore) {
    const std::u16string entry0 = u"0000:00ff:1 -- C:\\A\r\n";
    const std::u16string entry1 = u"0001:0101:1 -- C:\\A\\b.exe\r\n";
    struct Case {
        const char* what;
        std::string bytes;
        LogStop stop;
        std::size_t stop_line;
        std::size_t entries;
        bool has_version, has_title, has_install, has_shortcut;
    } cases[] = {
        {"first line is not the version line", Utf16(u"// Something else\r\n" + entry0), LogStop::NoVersionLine, 1, 0,
         false, false, false, false},
        {"first line is an entry", Utf16(entry0), LogStop::NoVersionLine, 1, 0, false, false, false, false},
        {"version 2", Utf16(u"// Uninstall Log File v2\r\n// w\r\n" + entry0), LogStop::UnsupportedVersion, 1, 0,
         true, false, false, false},
        {"version without number", Utf16(u"// Uninstall Log File vX\r\n"), LogStop::NoVersionLine, 1, 0, false,
         false, false, false},
        {"no Install label", Utf16(u"// Uninstall Log File v1\r\n// w\r\n// Setup x\r\n"), LogStop::NoTitleLine, 3,
         0, true, false, false, false},
        {"no install path label",
         Utf16(u"// Uninstall Log File v1\r\n// w\r\n// Install V\r\n// Path C:\\\r\n"), LogStop::NoInstallPathLine,
         4, 0, true, true, false, false},
        {"kind 7 after two entries", Utf16(kHeader + entry0 + entry1 + u"0002:07ff:1 -- C:\\x\r\n" + entry0),
         LogStop::BadEntryLine, 9, 2, true, true, true, true},
        {"empty line between entries", Utf16(kHeader + entry0 + u"\r\n" + entry1), LogStop::BadEntryLine, 8, 1, true,
         true, true, true},
        {"truncated inside the last entry", Utf16(kHeader + entry0 + u"0001:0101:1 -- C:\\A\\b.e"),
         LogStop::CutLine, 8, 1, true, true, true, true},
        {"truncated inside a header line", Utf16(u"// Uninstall Log File v1\r\n// w\r\n// Install Vest"),
         LogStop::CutLine, 3, 0, true, false, false, false},
        {"over-long entry", Utf16(kHeader + entry0 + u"0001:0101:1 -- C:\\" + std::u16string(600, u'z') + u"\r\n"),
         LogStop::LineTooLong, 8, 1, true, true, true, true},
        {"empty file", "", LogStop::EndOfFile, 0, 0, false, false, false, false},
    };
    for (const auto& c : cases) {
        const LogContents log = Parse(c.bytes);
        EXPECT_EQ(log.stop, c.stop) << c.what;
        EXPECT_EQ(log.stop_line, c.stop_line) << c.what;
        EXPECT_EQ(log.entries.size(), c.entries) << c.what;
        EXPECT_EQ(log.version.has_value(), c.has_version) << c.what;
        EXPECT_EQ(log.title.has_value(), c.has_title) << c.what;
        EXPECT_EQ(log.install_folder.has_value(), c.has_install) << c.what;
        EXPECT_EQ(log.shortcut_folder.has_value(), c.has_shortcut) << c.what;
    }
}

TEST(ParseUninstallLog, ReadsPastAShortcutThatWasNeverMade) {
    // As the installer writes it: the failed shortcut's line ends in "-- " before CR LF.
    const LogContents log = Parse(Utf16(kHeader +
                                        u"0000:0101:1 -- C:\\A\\b.exe\r\n"
                                        u"0001:02ff:0 -- \r\n"
                                        u"0002:03ff:1 -- C:\\Menu\\Uninstall Vestrilo.lnk\r\n"
                                        u"0003:05ff:1 -- HKEY_LOCAL_MACHINE\\Software\\x\r\n"));
    EXPECT_EQ(log.stop, LogStop::EndOfFile);
    ASSERT_EQ(log.entries.size(), 4u);
    EXPECT_EQ(log.entries[1].kind, 2);
    EXPECT_FALSE(log.entries[1].ok);
    EXPECT_EQ(log.entries[1].path, u"");
    EXPECT_EQ(log.entries[2].path, u"C:\\Menu\\Uninstall Vestrilo.lnk");
}

TEST(ParseUninstallLog, ReadsAnAnsiLogWithoutMark) {
    const std::string bytes =
        "// Uninstall Log File v1\r\n// w\r\n// Install Vestrilo 1.22\r\n"
        "// Install Path : C:\\Donn\xE9" "es\\Vestrilo 1\r\n// Shortcut Path : C:\\M\r\n// ----\r\n"
        "0000:0101:1 -- C:\\Donn\xE9" "es\\Vestrilo 1\\\x80.txt\r\n";
    const LogContents log = Parse(bytes);
    EXPECT_EQ(log.stop, LogStop::EndOfFile);
    EXPECT_EQ(log.install_folder, u"C:\\Donn\u00E9es\\Vestrilo 1");
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].path, u"C:\\Donn\u00E9es\\Vestrilo 1\\\u20AC.txt");
}

TEST(ParseUninstallLog, UsesTheCallersAnsiDecoder) {
    // A Cyrillic-style decoder: bytes C0..FF become U+0410..U+044F, the rest stays.
    const AnsiDecoder cyrillic = [](std::string_view bytes) {
        std::u16string text;
        for (const char c : bytes) {
            const auto b = static_cast<unsigned char>(c);
            text.push_back(static_cast<char16_t>(b >= 0xC0 ? 0x410 + (b - 0xC0) : b));
        }
        return text;
    };
    LogMemorySource source("// Uninstall Log File v1\r\n// w\r\n// Install \xC0\xC1\r\n");
    const LogContents log = ParseUninstallLog(source, cyrillic);
    EXPECT_EQ(log.stop, LogStop::EndOfFile);
    EXPECT_EQ(log.title, u"\u0410\u0411");
}

TEST(ParseUninstallLog, LaterCommentLinesAreIgnored) {
    const LogContents log = Parse(Utf16(kHeader + u"// a note\r\n0000:00ff:1 -- C:\\A\r\n// another\r\n"));
    EXPECT_EQ(log.stop, LogStop::EndOfFile);
    EXPECT_EQ(log.entries.size(), 1u);
}
