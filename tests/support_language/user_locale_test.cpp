// The answers that depend on the user's locale. ctest runs this program once per user locale
// (LC_ALL of the Wine process) with OV_EXPECT_USER_LANGID naming the LANGID that locale must
// give, and the filter UserLocale.*; without that variable the tests take the user locale the
// program finds.
#include "support/language.hpp"
#include "tests/support_language/catalogue_cases.hpp"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using namespace ov;

// Taken while static objects are constructed, before anything uses the catalogue.
const LCID thread_locale_at_start = ::GetThreadLocale();

struct MaskCase {
  std::uint32_t mask;
  int expected;
};

struct UserLocaleCase {
  LANGID user;
  std::vector<MaskCase> masks;
};

constexpr std::uint32_t all_languages = 0x3FFFF;
constexpr std::uint32_t first_four = 0xF;

const UserLocaleCase user_locale_cases[] = {
    // English: English wherever English may be picked, else French.
    {0x0409, {{0, 0}, {first_four, 1}, {all_languages, 1}, {0x1, 0}, {0x4, 0}}},
    // German (Germany and Austria): German when allowed; the fall-back depends on bit 1.
    {0x0407, {{0, 0}, {first_four, 2}, {all_languages, 2}, {0x1, 0}, {0x4, 2}, {0x2, 1}, {0x3, 1}}},
    {0x0C07, {{0, 0}, {first_four, 2}, {0x1, 0}, {0x2, 1}}},
    // Italian (index 11) is not among the first four.
    {0x0410, {{0, 0}, {first_four, 1}, {all_languages, 11}, {1u << 11, 11}, {0x1, 0}}},
    // Hebrew (index 16).
    {0x040D, {{0, 0}, {first_four, 1}, {all_languages, 16}, {0x1, 0}}},
    // Chinese of Taiwan (sub-language 1) is not the catalogue's Chinese: always the fall-back.
    {0x0404, {{0, 0}, {first_four, 1}, {all_languages, 1}, {1u << 10, 0}, {0x1, 0}}},
    // Chinese of the PRC (sub-language 2) is index 10.
    {0x0804, {{0, 0}, {first_four, 1}, {all_languages, 10}, {1u << 10, 10}, {0x1, 0}, {0x3, 1}}},
};

// The LANGID the run was started for; the user's own when the run names none.
LANGID ExpectedUserLanguage() {
  wchar_t value[16] = {};
  if (!::GetEnvironmentVariableW(L"OV_EXPECT_USER_LANGID", value, 16)) return ::GetUserDefaultLangID();
  return static_cast<LANGID>(std::wcstoul(value, nullptr, 16));
}

class UserLocale : public ::testing::Test {
protected:
  void SetUp() override {
    expected_ = ExpectedUserLanguage();
    // Without this the cases below could pass for the wrong locale.
    ASSERT_EQ(::GetUserDefaultLangID(), expected_) << "the Wine process did not take the locale of LC_ALL";
  }
  void TearDown() override { SetLanguage(LanguageFrench); }
  LANGID expected_ = 0;
};

TEST_F(UserLocale, LanguageFromUserPicksTheUsersLanguageWithinTheMask) {
  const UserLocaleCase* found = nullptr;
  for (const auto& c : user_locale_cases)
    if (c.user == expected_) found = &c;
  if (!found) GTEST_SKIP() << "no cases for the user locale 0x" << std::hex << expected_;
  for (const auto& c : found->masks) {
    SCOPED_TRACE(testing::Message() << "mask 0x" << std::hex << c.mask);
    EXPECT_EQ(LanguageFromUser(c.mask), c.expected);
  }
}

TEST_F(UserLocale, LocaleIdKeepsTheUsersLcidOnlyForTheUsersOwnLanguage) {
  const LCID user = ::GetUserDefaultLCID();
  for (const auto& language : catalogue_cases::Languages()) {
    SCOPED_TRACE(language.index);
    const LCID expected =
        LANGIDFROMLCID(user) == language.language_id ? user : MAKELCID(language.language_id, SORT_DEFAULT);
    EXPECT_EQ(LocaleIdOf(language.index), expected);
  }
}

TEST_F(UserLocale, FirstUseSetsTheThreadLocaleToFrench) {
  GetLanguageSettings();
  EXPECT_EQ(::GetThreadLocale(), LocaleIdOf(LanguageFrench));
  // The thread started in the user's locale: the change above is the catalogue's doing.
  EXPECT_EQ(thread_locale_at_start, ::GetUserDefaultLCID());
}

std::string CategoryName(int category) {
  const char* name = std::setlocale(category, nullptr);
  return name ? name : "";
}

// The user's own language takes the runtime library's default locale (the empty name).
TEST_F(UserLocale, TheUsersLanguageTakesTheUsersRuntimeLocale) {
  int own = -1;
  for (int index = 0; index < LanguageCount; ++index)
    if (PRIMARYLANGID(LanguageIdOf(index)) == PRIMARYLANGID(expected_)) own = index;
  if (own == -1) GTEST_SKIP() << "the user's language is not in the catalogue";

  const std::string before = CategoryName(LC_CTYPE);
  ASSERT_NE(std::setlocale(LC_CTYPE, ""), nullptr);
  const std::string users = CategoryName(LC_CTYPE);
  std::setlocale(LC_CTYPE, before.c_str());
  ASSERT_NE(users, "C");

  SetLanguage(own == LanguageFrench ? LanguageEnglish : LanguageFrench);
  SetLanguage(own);
  EXPECT_EQ(CategoryName(LC_CTYPE), users);
  EXPECT_EQ(CategoryName(LC_COLLATE), users);
  EXPECT_EQ(CategoryName(LC_NUMERIC), "C");
  EXPECT_EQ(CategoryName(LC_TIME), "C");
}

}  // namespace
