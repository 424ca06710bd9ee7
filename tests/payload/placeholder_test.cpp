// Placeholders of destination directories and the special folders behind them.
#include "payload/compress_error.hpp"
#include "payload/placeholders.hpp"
#include "payload/shell_folder.hpp"
#include "payload/utf16.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>
#endif

namespace fs = boost::filesystem;
using namespace ov;
using namespace ov::test;

namespace {

#ifdef _WIN32
const fs::path root = u16path(u"C:\\racine é");
#else
const fs::path root = u16path(u"/racine é");
#endif

const int all_ids[] = {csidl::personal, csidl::desktop_directory, csidl::common_desktop_directory,
                       csidl::appdata, csidl::common_appdata, csidl::windows, csidl::system,
                       csidl::program_files, csidl::program_files_common, csidl::common_documents};

fs::path folder_of(int id) { return root / ("csidl " + std::to_string(id)); }

class Placeholders : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int id : all_ids)
            set_special_folder(id, folder_of(id));
    }
    void TearDown() override { clear_special_folders(); }

    fs::path expand(const std::u16string& directory) { return expand_placeholders(u16path(directory), folders_); }

    placeholder_folders folders_{root / u16path(u"Données"), u16path(u"Exemples"), root / "temp"};
};

TEST_F(Placeholders, EachPlaceholderNamesItsFolder)
{
    const std::pair<const char16_t*, fs::path> cases[] = {
        {u"<InstallPath>", folders_.installation},
        {u"<SamplePath>", folder_of(csidl::common_desktop_directory) / u16path(u"Exemples")},
        {u"<ProgramFiles>", folder_of(csidl::program_files)},
        {u"<ProgramCommon>", folder_of(csidl::program_files_common)},
        {u"<CommonData>", folder_of(csidl::common_appdata)},
        {u"<UserData>", folder_of(csidl::appdata)},
        {u"<CommonDocuments>", folder_of(csidl::common_documents)},
        {u"<Documents>", folder_of(csidl::personal)},
        {u"<CommonDesktop>", folder_of(csidl::common_desktop_directory)},
        {u"<Desktop>", folder_of(csidl::desktop_directory)},
        {u"<WinDir>", folder_of(csidl::windows)},
        {u"<System>", folder_of(csidl::system)},
        {u"<Temporary>", folders_.temporary},
    };
    for (const auto& [name, folder] : cases) {
        SCOPED_TRACE(utf8_from_utf16(name));
        EXPECT_EQ(expand(name), folder);
        EXPECT_EQ(expand(std::u16string(name) + u"\\Orvane & Drey\\日本"),
                  folder / "Orvane & Drey" / u16path(u"日本"));
        EXPECT_EQ(expand(std::u16string(name) + u"/a\\\\b\\"), folder / "a" / "b");
    }
}

TEST_F(Placeholders, OnlyALeadingPlaceholderIsReplaced)
{
    const std::u16string unchanged[] = {u"", u"Lang\\<InstallPath>", u"<InstallPath>x\\Lang", u"x<InstallPath>",
                                        u"plain\\dir", u"\\<InstallPath>"};
    for (const std::u16string& directory : unchanged)
        EXPECT_EQ(expand(directory), u16path(directory)) << utf8_from_utf16(directory);
    // A second placeholder stays a literal component.
    EXPECT_EQ(expand(u"<InstallPath>\\<Temporary>"), folders_.installation / "<Temporary>");
}

TEST_F(Placeholders, UnknownPlaceholderFails)
{
    for (const char16_t* directory : {u"<installpath>", u"<INSTALLPATH>\\x", u"<>", u"<Nowhere>\\Lang"})
        EXPECT_EQ(compress_code_of([&] { expand(directory); }), 7) << utf8_from_utf16(directory);
}

TEST_F(Placeholders, SampleAndTemporaryForms)
{
    folders_.sample.clear();
    EXPECT_EQ(expand(u"<SamplePath>"), folder_of(csidl::common_desktop_directory));
    folders_.sample = root / "samples";
    EXPECT_EQ(expand(u"<SamplePath>\\x"), root / "samples" / "x");
    folders_.temporary.clear();
    EXPECT_EQ(expand(u"<Temporary>\\t"), folders_.installation / "t");
    folders_.installation.clear(); // nothing checks an empty installation folder
    EXPECT_EQ(expand(u"<InstallPath>\\Lang"), fs::path("Lang"));
}

TEST_F(Placeholders, FallbacksAndMissingFolders)
{
    set_special_folder(csidl::common_appdata, {});
    set_special_folder(csidl::common_documents, {});
    set_special_folder(csidl::common_desktop_directory, {});
    EXPECT_EQ(expand(u"<CommonData>"), folder_of(csidl::appdata));
    EXPECT_EQ(expand(u"<CommonDocuments>"), folder_of(csidl::personal));
    EXPECT_EQ(expand(u"<CommonDesktop>"), folder_of(csidl::desktop_directory));
    EXPECT_EQ(expand(u"<SamplePath>"), folder_of(csidl::desktop_directory) / u16path(u"Exemples"));

    set_special_folder(csidl::appdata, {});
    set_special_folder(csidl::desktop_directory, {});
    set_special_folder(csidl::program_files, {});
    for (const char16_t* directory : {u"<CommonData>", u"<UserData>", u"<CommonDesktop>", u"<SamplePath>", u"<ProgramFiles>"})
        EXPECT_EQ(compress_code_of([&] { expand(directory); }), 7) << utf8_from_utf16(directory);
    // An absolute sample folder needs no desktop.
    folders_.sample = root / "samples";
    EXPECT_EQ(expand(u"<SamplePath>"), root / "samples");
}

#ifdef _WIN32
fs::path shell_answer(int id)
{
    wchar_t buffer[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, id, nullptr, 0, buffer);
    return fs::path(buffer);
}
#endif

TEST(ShellFolder, AsksTheShellUnlessTheProcessSuppliesTheFolders)
{
#ifdef _WIN32
    clear_special_folders();
    const fs::path common = shell_answer(CSIDL_COMMON_APPDATA);
    ASSERT_FALSE(common.empty()) << "the shell has no all-users application data folder";
    EXPECT_EQ(shell_folder(csidl::common_appdata), common);
    EXPECT_EQ(shell_folder(csidl::program_files), shell_answer(CSIDL_PROGRAM_FILES));
    EXPECT_EQ(expand_placeholders(u16path(u"<CommonData>\\Orvane & Drey"), {}), common / "Orvane & Drey");
    // A folder the shell does not know, with and without a fallback.
    EXPECT_EQ(compress_code_of([] { shell_folder(0x7E); }), 7);
    EXPECT_EQ(shell_folder(0x7E, csidl::common_appdata), common);

    // Once the process supplies folders, the shell is no longer asked.
    set_special_folder(csidl::personal, root);
    EXPECT_EQ(shell_folder(csidl::personal), root);
    EXPECT_EQ(compress_code_of([] { shell_folder(csidl::common_appdata); }), 7);
    clear_special_folders();
    EXPECT_EQ(shell_folder(csidl::common_appdata), common);
#else
    clear_special_folders();
    EXPECT_EQ(compress_code_of([] { shell_folder(csidl::common_appdata); }), 7); // no shell here
    set_special_folder(csidl::common_appdata, root);
    EXPECT_EQ(shell_folder(csidl::common_appdata), root);
    EXPECT_EQ(shell_folder(0x7E, csidl::common_appdata), root);
    clear_special_folders();
#endif
}

} // namespace
