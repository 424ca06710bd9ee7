// open_resource_stream against the real resources of this executable, under Wine.
#include "payload/extract.hpp"
#include "payload/payload_extractor.hpp"
#include "payload/resource_stream.hpp"
#include "payload/shell_folder.hpp"
#include "support/language.hpp"
#include "test_support.hpp"

#include <boost/filesystem/operations.hpp>

#include <gtest/gtest.h>

namespace fs = boost::filesystem;
using namespace ov;
using namespace ov::test;

namespace {

const fs::path data_folder = fs::path(OV_SOURCE_DIR) / "tests" / "payload" / "data";

std::string all_of(std::istream& in) { return std::string(std::istreambuf_iterator<char>(in), {}); }

class ResourceStream : public ::testing::Test {
protected:
    void TearDown() override
    {
        SetResourceModule(nullptr);
        clear_special_folders();
    }
};

TEST_F(ResourceStream, ReadsThePayloadInPlace)
{
    auto stream = open_resource_stream(MAKEINTRESOURCEW(payload_resource_type),
                                       MAKEINTRESOURCEW(payload_resource_name));
    ASSERT_TRUE(stream);
    const std::string expected = read_file(data_folder / "product.bz2");
    // The bytes are those of the mapped resource, not a copy.
    HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(134), MAKEINTRESOURCEW(260));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(stream->data().data(), static_cast<const char*>(LockResource(LoadResource(nullptr, info))));
    EXPECT_EQ(all_of(*stream), expected);
}

TEST_F(ResourceStream, MissingOrEmptyResourceGivesAnEmptyStream)
{
    for (int name : {135, 999}) {
        auto stream = open_resource_stream(MAKEINTRESOURCEW(260), MAKEINTRESOURCEW(name));
        ASSERT_TRUE(stream);
        EXPECT_EQ(stream->get(), std::char_traits<char>::eof()) << name;
        stream->clear();
        stream->seekg(0);
        EXPECT_FALSE(verify_payload(*stream)) << name;
    }
}

TEST_F(ResourceStream, FallsBackToTheProgramWhenTheCatalogueModuleLacksIt)
{
    SetResourceModule(GetModuleHandleW(L"kernel32.dll"));
    ASSERT_NE(GetResourceModule(), GetModuleHandleW(nullptr));
    auto stream = open_resource_stream(MAKEINTRESOURCEW(260), MAKEINTRESOURCEW(134));
    EXPECT_EQ(all_of(*stream), read_file(data_folder / "product.bz2"));
}

TEST_F(ResourceStream, InstallsFromTheResourceAsTheInstallerDoes)
{
    scratch_folder scratch;
    set_special_folder(csidl::common_appdata, scratch.path() / "common");
    set_special_folder(csidl::common_desktop_directory, scratch.path() / "desktop");
    auto stream = open_resource_stream(MAKEINTRESOURCEW(260), MAKEINTRESOURCEW(134));
    ASSERT_TRUE(verify_payload(*stream));
    stream->clear();
    stream->seekg(0);
    recorder r;
    ASSERT_TRUE(extract_payload(*stream, scratch.path() / "app", L"Vestrilo Examples", {}, r.observer()));
    EXPECT_EQ(r.of(ev_file_end).size(), 5u);
    EXPECT_EQ(read_file(scratch.path() / "app" / "Uninstall.exe"), "MZ");
    EXPECT_EQ(read_file(scratch.path() / "desktop" / "Vestrilo Examples" / u16path(u"日本.txt")), "sample");
    EXPECT_EQ(fs::file_size(scratch.path() / "common" / "Modules" / "shared.dat"), 0u);
}

} // namespace
