// The language catalogue against the real string resources of this test program (the
// program's string tables plus fallback_texts.rc) and the real locale answers of the system.
#include "support/language.hpp"
#include "tests/support_language/catalogue_cases.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <clocale>
#include <locale>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace ov;
using catalogue_cases::Languages;
using catalogue_cases::TextNumbers;

// Every test leaves French current again, as the program starts.
class Catalogue : public ::testing::Test {
protected:
  void TearDown() override { SetLanguage(LanguageFrench); }
};

// The inserts %1..%9 a text uses, in order of their numbers.
std::set<wchar_t> InsertsOf(const std::wstring& text) {
  std::set<wchar_t> inserts;
  for (size_t i = 0; i + 1 < text.size(); ++i)
    if (text[i] == L'%' && text[i + 1] >= L'1' && text[i + 1] <= L'9') inserts.insert(text[i + 1]);
  return inserts;
}

size_t Count(const std::wstring& text, const std::wstring& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      char buffer[12];
      snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(c));
      out += buffer;
    }
  }
  return out;
}

TEST_F(Catalogue, LanguageTableGivesIdsBlocksTranslationAndFlags) {
  for (const auto& language : Languages()) {
    SCOPED_TRACE(language.index);
    EXPECT_EQ(LanguageIdOf(language.index), language.language_id);
    EXPECT_EQ(BlockBaseOf(language.index), language.block_base);
    EXPECT_EQ(HasInterfaceTranslation(language.index), language.translated);
    EXPECT_EQ(FlagIconOf(language.index), language.flag_icon);
  }
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
  reinterpret_cast<std::vector<LANGID>*>(found)->push_back(language);
  return TRUE;
}

TEST_F(Catalogue, EveryStringBlockCarriesItsLanguageAsResourceLanguage) {
  for (const auto& language : Languages()) {
    std::set<UINT> blocks;
    for (UINT n : TextNumbers()) blocks.insert((language.block_base + n) / 16 + 1);
    for (UINT block : blocks) {
      SCOPED_TRACE(testing::Message() << "language " << language.index << ", block " << block);
      std::vector<LANGID> found;
      ::EnumResourceLanguagesW(nullptr, RT_STRING, MAKEINTRESOURCEW(block), CollectLanguage,
                               reinterpret_cast<LONG_PTR>(&found));
      EXPECT_EQ(found, std::vector<LANGID>{language.language_id});
      EXPECT_NE(::FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(block), language.language_id), nullptr);
    }
  }
}

TEST_F(Catalogue, TranslatedBlocksHoldEveryTextWithTheEnglishInsertsAndLineBreaks) {
  for (const auto& language : Languages()) {
    if (!language.translated) continue;
    for (UINT n : TextNumbers()) {
      SCOPED_TRACE(testing::Message() << "language " << language.index << ", text " << n);
      const std::wstring english = LoadResourceString(2000 + n);
      const std::wstring text = LoadResourceString(language.block_base + n);
      ASSERT_FALSE(english.empty());
      EXPECT_FALSE(text.empty());
      EXPECT_NE(text, L"#");
      EXPECT_EQ(InsertsOf(text), InsertsOf(english)) << Narrow(text);
      EXPECT_EQ(Count(text, L"\r\n"), Count(english, L"\r\n")) << Narrow(text);
      EXPECT_EQ(Count(text, L"\n"), Count(text, L"\r\n")) << "a line feed without carriage return";
    }
  }
}

TEST_F(Catalogue, UntranslatedBlocksHoldOnlyTheMissingMark) {
  for (const auto& language : Languages()) {
    if (language.translated) continue;
    for (UINT n : TextNumbers()) {
      SCOPED_TRACE(testing::Message() << "language " << language.index << ", text " << n);
      EXPECT_EQ(LoadResourceString(language.block_base + n), L"#");
    }
  }
}

TEST_F(Catalogue, NumbersWithoutTextAreEmptyInEveryBlock) {
  const std::vector<UINT> numbers = TextNumbers();
  for (const auto& language : Languages()) {
    for (UINT n = 0; n < 200; ++n) {
      if (std::find(numbers.begin(), numbers.end(), n) != numbers.end()) continue;
      SCOPED_TRACE(testing::Message() << "language " << language.index << ", text " << n);
      EXPECT_EQ(LoadResourceString(language.block_base + n), L"");
    }
  }
}

struct QuotedText {
  UINT id;
  const wchar_t* text;
};

// Written with escapes so that the expectation does not depend on how this file is read.
const QuotedText quoted_texts[] = {
    {1000, L"Installeur"},
    {2000, L"Installer"},
    {1003, L"\u00C0 propos de '%1'"},
    {1012, L"\u00C9chec"},
    {1110, L"L'installation n'est pas achev\u00E9e.\r\n\r\n\u00CAtes-vous certain de vouloir quitter l'installeur ?"},
    {2110, L"Installation is not complete.\r\n\r\nDo you still confirm exit Installation ?"},
    {1112, L"Cr\u00E9er un raccourci dans le menu suivant\u00A0:"},
    {2115, L"Copying File  %1..."},
    {2129, L"'%1' will be installed in the selected Langage, but the Installer, still under translation,  shall run in "
           L"English."},
    {3005, L"Zur\u00FCck"},
    {3009, L"Startmen\u00FC"},
    {3127, L"Bitte schlie\u00DFen Sie '%1', bevor Sie mit der Installation fortfahren."},
    {4104, L"\u00BFConfirma que desea reinstalar?"},
    {5010, L"Sele\u00E7\u00E3o da pasta de instala\u00E7\u00E3o"},
    {6102, L"'%1' \u00E8 gi\u00E0 installato."},
    {9002, L"\u0130ptal"},
    {9004, L"\u00C7\u0131k\u0131\u015F"},
    {9012, L"Ba\u015Far\u0131s\u0131z"},
    {9112, L"A\u015Fa\u011F\u0131daki men\u00FCde bir k\u0131sayol olu\u015Ftur:"},
    {12004, L"Ie\u0219ire"},
    {12122, L"Op\u021Biuni de instalare"},
    {12115, L"Se copiaz\u0103 fi\u0219ierul %1..."},
};

TEST_F(Catalogue, AccentedTextsAndLineBreaksComeOutAsWritten) {
  for (const auto& quoted : quoted_texts) {
    SCOPED_TRACE(quoted.id);
    EXPECT_EQ(LoadResourceString(quoted.id), quoted.text) << Narrow(LoadResourceString(quoted.id));
  }
}

struct WordingCase {
  UINT n;
  const wchar_t* english;
  const wchar_t* french;
};

// The English and French wording of every text, character for character (the French block is
// the last fall-back of every language, the English one that of the untranslated languages).
const WordingCase english_and_french[] = {
    {0, L"Installer",
     L"Installeur"},
    {1, L"OK",
     L"OK"},
    {2, L"Cancel",
     L"Annuler"},
    {3, L"About '%1'",
     L"\u00C0 propos de '%1'"},
    {4, L"Exit",
     L"Quitter"},
    {5, L"Back",
     L"Pr\u00E9c\u00E9dent"},
    {6, L"Next",
     L"Suivant"},
    {7, L"Install",
     L"Installer"},
    {8, L"Browse...",
     L"Parcourir..."},
    {9, L"Start menu",
     L"Menu D\u00E9marrer"},
    {10, L"Installation Folder Selection",
     L"S\u00E9lection du dossier d'installation"},
    {11, L"OK",
     L"OK"},
    {12, L"Failed",
     L"\u00C9chec"},
    {13, L"Uninstall %1",
     L"D\u00E9sinstaller %1"},
    {14, L"Select Installation Langage",
     L"S\u00E9lectionnez la langue d'installation"},
    {15, L"Installation Method",
     L"M\u00E9thode d'installation"},
    {16, L"Quick Installation (Recommended)",
     L"Installation rapide (recommand\u00E9e)"},
    {17, L"Advanced Installation",
     L"Installation personnalis\u00E9e"},
    {18, L"%1 Examples",
     L"Exemples %1"},
    {100, L"'%1' Installation.",
     L"Installation de '%1'."},
    {101, L"Update from '%1' to '%2'.",
     L"Mise \u00E0 jour de '%1' vers '%2'."},
    {102, L"'%1' is already installed.",
     L"'%1' est d\u00E9j\u00E0 install\u00E9."},
    {103, L"A more recent Version (%1) is already installed.",
     L"Une version plus r\u00E9cente (%1) est d\u00E9j\u00E0 install\u00E9e."},
    {104, L"Do you confirm Reinstallation ?",
     L"Souhaitez-vous vraiment effectuer une r\u00E9installation ?"},
    {105, L"Click on '%1' to continue or on '%2' to exit Installation.",
     L"Cliquez sur '%1' pour continuer ou sur '%2' pour quitter l'installeur."},
    {106, L"Click on '%1' to continue.",
     L"Cliquez sur '%1' pour continuer."},
    {107, L"Click on '%1' to exit Installation.",
     L"Cliquez sur '%1' pour quitter l'installeur."},
    {108, L"Click on '%1' to start Installation.",
     L"Cliquez sur '%1' pour d\u00E9marrer l'installation."},
    {110, L"Installation is not complete.\r\n\r\nDo you still confirm exit Installation ?",
     L"L'installation n'est pas achev\u00E9e.\r\n\r\n\u00CAtes-vous certain de vouloir quitter l'installeur ?"},
    {111, L"Select '%1' Installation Folder.",
     L"S\u00E9lectionnez le dossier dans lequel vous voulez installer '%1'."},
    {112, L"Create a Shortcut in the following Menu:",
     L"Cr\u00E9er un raccourci dans le menu suivant\u00A0:"},
    {113, L"Create a Shortcut on the Desktop.",
     L"Cr\u00E9er un raccourci sur le bureau."},
    {114, L"Preparing Installation...",
     L"Pr\u00E9paration de l'installation..."},
    {115, L"Copying File  %1...",
     L"Copie du fichier %1..."},
    {117, L"Shortcuts Creation...",
     L"Cr\u00E9ation des raccourcis..."},
    {118, L"Registry Data Writing...",
     L"Inscription dans la base de registre..."},
    {119, L"Installation Data Writing...",
     L"Enregistrement des informations d'installation..."},
    {120, L"Installation is complete.",
     L"L'installation est termin\u00E9e."},
    {121, L"Installation failed (Error Code %1).",
     L"\u00C9chec de l'installation (code d'erreur %1)."},
    {122, L"Installation Options",
     L"Options d'installation"},
    {123, L"Installation Folder: %1.",
     L"Dossier d'installation\u00A0: %1."},
    {124, L"Creating a Shortcut in the Start Menu (Folder %1).",
     L"Cr\u00E9ation d'un raccourci dans le menu D\u00E9marrer (dossier %1)."},
    {125, L"Creating a Shortcut on the Desktop.",
     L"Cr\u00E9ation d'un raccourci sur le bureau."},
    {126, L"You should have Administrator Rights in order to proceed to Installation.",
     L"Vous devez disposer de privil\u00E8ges d'administrateur sur cet ordinateur pour pouvoir effectuer l'installation."},
    {127, L"You should close '%1' before continuing Installation.",
     L"Vous devez fermer '%1' avant de poursuivre l'installation."},
    {129, L"'%1' will be installed in the selected Langage, but the Installer, still under translation,  shall run in English.",
     L"'%1' sera install\u00E9 dans la langue choisie, mais l'installeur, en cours de traduction, s'ex\u00E9cutera en fran\u00E7ais."},
};

TEST_F(Catalogue, EnglishAndFrenchTextsAreWordForWord) {
  for (const auto& c : english_and_french) {
    SCOPED_TRACE(c.n);
    EXPECT_EQ(LoadResourceString(2000 + c.n), c.english) << Narrow(LoadResourceString(2000 + c.n));
    EXPECT_EQ(LoadResourceString(1000 + c.n), c.french) << Narrow(LoadResourceString(1000 + c.n));
  }
  // Every text the program uses is in the table above or is one of the program's own additions.
  for (UINT n : TextNumbers()) {
    const bool listed = std::any_of(std::begin(english_and_french), std::end(english_and_french),
                                    [n](const WordingCase& c) { return c.n == n; });
    EXPECT_TRUE(listed || n == 109 || n == 128) << "text " << n << " has no required wording";
  }
}

struct TextIdCase {
  int language;
  UINT base_id;
  UINT expected_id;
};

TEST_F(Catalogue, TextIdPicksTheBlockOfTheCurrentLanguage) {
  const TextIdCase cases[] = {
      {0, 1110, 1110},  {1, 1110, 2110},  {2, 1110, 3110},  {3, 1110, 4110},  {4, 1110, 5110},
      {11, 1110, 6110}, {7, 1110, 9110},  {9, 1110, 12110}, {5, 1110, 2110},  {6, 1110, 2110},
      {10, 1110, 2110}, {16, 1110, 2110}, {17, 1000, 2000}, {2, 1000, 3000},  {9, 1129, 12129},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "language " << c.language << ", base " << c.base_id);
    SetLanguage(c.language);
    EXPECT_EQ(TextId(c.base_id), c.expected_id);
    EXPECT_EQ(LoadText(c.base_id), LoadResourceString(c.expected_id));
  }
}

struct FallBackCase {
  int language;
  UINT base_id;
  UINT expected_id;
  const wchar_t* expected_text;
};

// Texts 900-904 of fallback_texts.rc: missing ("#") in some blocks.
TEST_F(Catalogue, MissingTextsFallBackToEnglishThenFrench) {
  const FallBackCase cases[] = {
      {1, 1900, 1900, L"fr-900"},  // English "#": French
      {2, 1900, 1900, L"fr-900"},  // German and English "#": French
      {16, 1900, 1900, L"fr-900"}, // untranslated language, English "#": French
      {3, 1900, 4900, L"es-900"},  // present in Spanish
      {2, 1901, 2901, L"en-901"},  // German "#": English
      {3, 1901, 2901, L"en-901"},  // Spanish "#": English
      {2, 1902, 3902, L"de-902"},  // present in German
      {5, 1902, 2902, L"en-902"},  // Dutch runs in English: its own block is not read
      {5, 1900, 1900, L"fr-900"},  // ... and English "#" leads to French, not to Dutch
      {0, 1903, 1903, L"#"},       // French texts are taken as they are
      {1, 1903, 2903, L"en-903"},
      {2, 1904, 3904, L""},        // no text anywhere: the current block's id, an empty text
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "language " << c.language << ", base " << c.base_id);
    SetLanguage(c.language);
    EXPECT_EQ(TextId(c.base_id), c.expected_id);
    EXPECT_EQ(LoadText(c.base_id), c.expected_text);
  }
}

TEST_F(Catalogue, LoadTextFillsTheInsertsInTheCurrentLanguage) {
  SetLanguage(LanguageEnglish);
  EXPECT_EQ(LoadText(TextBaseId + 105, {L"Next", L"Cancel"}),
            L"Click on 'Next' to continue or on 'Cancel' to exit Installation.");
  SetLanguage(LanguageGerman);
  EXPECT_EQ(LoadText(TextBaseId + 101, {L"1.10", L"Vestrilo 1.22"}), L"Aktualisierung von '1.10' auf 'Vestrilo 1.22'.");
  SetLanguage(LanguageFrench);
  EXPECT_EQ(LoadText(TextBaseId + 121, {L"5"}), L"\u00C9chec de l'installation (code d'erreur 5).");
  SetLanguage(7);
  EXPECT_EQ(LoadText(TextBaseId + 115, {L"a.txt"}), L"a.txt dosyas\u0131 kopyalan\u0131yor...");
}

struct FormatCase {
  const wchar_t* pattern;
  std::vector<std::wstring> inserts;
  const wchar_t* expected;
};

TEST_F(Catalogue, FormatTextReplacesPositionalInserts) {
  const FormatCase cases[] = {
      {L"%1 and %2", {L"a", L"b"}, L"a and b"},
      {L"%2 before %1", {L"a", L"b"}, L"b before a"},
      {L"%1%1", {L"x"}, L"xx"},
      {L"%1", {L"%2"}, L"%2"},            // an insert is not scanned again
      {L"%1 of %3", {L"a"}, L"a of %3"},  // no insert for %3: kept as written
      {L"100%% done", {}, L"100% done"},
      {L"ends with %", {L"a"}, L"ends with %"},
      {L"%x stays", {L"a"}, L"%x stays"},
      {L"", {L"a"}, L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.pattern));
    std::vector<std::wstring_view> views(c.inserts.begin(), c.inserts.end());
    std::wstring result;
    switch (views.size()) {
      case 0: result = FormatText(c.pattern, {}); break;
      case 1: result = FormatText(c.pattern, {views[0]}); break;
      default: result = FormatText(c.pattern, {views[0], views[1]}); break;
    }
    EXPECT_EQ(result, c.expected);
  }
}

TEST_F(Catalogue, SetLanguageMakesTheLanguageCurrentWithItsLocaleId) {
  for (int index : {2, 4, 16, 10, 1, 0}) {
    SCOPED_TRACE(index);
    SetLanguage(index);
    EXPECT_EQ(GetLanguage(), index);
    EXPECT_EQ(GetLanguageSettings().locale_id, LocaleIdOf(index));
    EXPECT_EQ(GetLanguageId(), LANGIDFROMLCID(LocaleIdOf(index)));
    EXPECT_EQ(GetResourceModule(), ::GetModuleHandleW(nullptr));
  }
  // Nothing in the program widens the languages LanguageFromUser may pick without a mask.
  EXPECT_EQ(GetLanguageSettings().eligible_mask, 1u);
}

TEST_F(Catalogue, OnlyHebrewIsWrittenRightToLeft) {
  LOCALESIGNATURE signature{};
  const bool answered = ::GetLocaleInfoW(0x040D, LOCALE_FONTSIGNATURE, reinterpret_cast<LPWSTR>(&signature), 16) > 0;
  for (const auto& language : Languages()) {
    SCOPED_TRACE(language.index);
    EXPECT_EQ(IsRightToLeft(language.index), language.index == LanguageHebrew);
  }
  SetLanguage(LanguageHebrew);
  EXPECT_FALSE(IsLeftToRight());
  SetLanguage(LanguageEnglish);
  EXPECT_TRUE(IsLeftToRight());
  if (!answered) GTEST_SKIP() << "the system gives no font signature: only the Hebrew fall-back was exercised";
}

struct NativeNameCase {
  int index;
  const wchar_t* name;
};

TEST_F(Catalogue, NativeLanguageNamesAreTheSystemsNamesWithACapital) {
  const NativeNameCase cases[] = {
      {0, L"Fran\u00E7ais"},
      {1, L"English"},
      {2, L"Deutsch"},
      {3, L"Espa\u00F1ol"},
      {7, L"T\u00FCrk\u00E7e"},
      {8, L"\u0411\u044A\u043B\u0433\u0430\u0440\u0441\u043A\u0438"},  // first letter made upper case
      {14, L"\u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC"},
      {16, L"\u05E2\u05D1\u05E8\u05D9\u05EA"},
  };
  for (int ui : {LanguageEnglish, LanguageFrench}) {
    SetLanguage(ui);
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << "interface " << ui << ", language " << c.index);
      EXPECT_EQ(NativeLanguageName(c.index), c.name) << Narrow(NativeLanguageName(c.index));
    }
  }
  for (const auto& language : Languages()) {
    SCOPED_TRACE(language.index);
    std::wstring name = NativeLanguageName(language.index);
    ASSERT_FALSE(name.empty());
    std::wstring upper = name.substr(0, 1);
    ::CharUpperBuffW(upper.data(), 1);
    EXPECT_EQ(name[0], upper[0]);
  }
}

// A module of its own as resource module: texts come from it first, then from the program.
class ResourceModule : public Catalogue {
protected:
  void SetUp() override {
    wchar_t path[MAX_PATH] = {};
    DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    folder.erase(folder.find_last_of(L"\\/") + 1);
    module_ = ::LoadLibraryW((folder + L"support_language_texts.dll").c_str());
    ASSERT_NE(module_, nullptr) << "support_language_texts.dll next to the test program";
  }
  void TearDown() override {
    Catalogue::TearDown();
    if (module_) ::FreeLibrary(module_);
  }
  HMODULE module_ = nullptr;
};

TEST_F(ResourceModule, StringsComeFromTheModuleThenFromTheProgram) {
  SetLanguage(LanguageEnglish);
  SetResourceModule(module_);
  EXPECT_EQ(GetResourceModule(), module_);
  EXPECT_EQ(LoadResourceString(2000), L"module-2000");
  EXPECT_EQ(LoadResourceString(2110), L"Installation is not complete.\r\n\r\nDo you still confirm exit Installation ?");
  // 2002 lies in a block the module has: its entry is empty there, which is the answer.
  EXPECT_EQ(LoadResourceString(2002), L"");
  EXPECT_EQ(LoadResourceString(65000), L"");
  // The framework's string loading reads the same module.
  EXPECT_EQ(LoadText(TextBaseId + 1), L"module-2001");
}

TEST_F(ResourceModule, SetLanguageGoesBackToTheProgramsModule) {
  SetLanguage(LanguageGerman);
  SetResourceModule(module_);
  SetLanguage(LanguageGerman);  // the same language again
  EXPECT_EQ(GetResourceModule(), ::GetModuleHandleW(nullptr));
  EXPECT_EQ(LoadResourceString(2000), L"Installer");
  SetLanguage(LanguageEnglish);
  SetResourceModule(module_);
  SetLanguage(LanguageSpanish);
  EXPECT_EQ(GetResourceModule(), ::GetModuleHandleW(nullptr));
  EXPECT_EQ(LoadText(TextBaseId + 0), L"Instalador");
}

std::string CategoryName(int category) {
  const char* name = std::setlocale(category, nullptr);
  return name ? name : "";
}

// Whether the runtime library accepts `name` for LC_CTYPE (the setting is put back).
bool RuntimeAccepts(const std::string& name) {
  const std::string before = CategoryName(LC_CTYPE);
  const bool accepted = std::setlocale(LC_CTYPE, name.c_str()) != nullptr;
  std::setlocale(LC_CTYPE, before.c_str());
  return accepted;
}

std::string LocaleNameOf(LCID lcid) {
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  ::GetLocaleInfoW(lcid, LOCALE_SNAME, name, LOCALE_NAME_MAX_LENGTH);
  std::string narrow;
  for (const wchar_t* c = name; *c; ++c) narrow += static_cast<char>(*c);
  return narrow;
}

// A language other than the user's: classification and collation take its locale name, when
// the runtime library knows it, and everything else is "C".
TEST_F(Catalogue, RuntimeLocalesFollowTheInterfaceLanguage) {
  const LANGID user = PRIMARYLANGID(::GetUserDefaultLangID());
  int other = LanguageGerman;
  if (user == LANG_GERMAN) other = LanguageSpanish;
  SetLanguage(LanguageFrench);
  SetLanguage(other);
  const std::string name = LocaleNameOf(LocaleIdOf(other));
  ASSERT_FALSE(name.empty());
  EXPECT_EQ(CategoryName(LC_NUMERIC), "C");
  EXPECT_EQ(CategoryName(LC_MONETARY), "C");
  EXPECT_EQ(CategoryName(LC_CTYPE), CategoryName(LC_COLLATE));
  if (RuntimeAccepts(name)) {
    EXPECT_NE(CategoryName(LC_CTYPE), "C");
  } else {
    // The runtime library refuses names like "de-DE": the categories stay "C".
    EXPECT_EQ(CategoryName(LC_CTYPE), "C");
  }
}

TEST_F(Catalogue, TheSameLanguageAgainLeavesTheRuntimeLocalesAlone) {
  SetLanguage(LanguageGerman);
  ASSERT_NE(std::setlocale(LC_MONETARY, ""), nullptr);
  const std::string monetary = CategoryName(LC_MONETARY);
  ASSERT_NE(monetary, "C");
  GetLanguageSettings().locale_id = 0;
  SetLanguage(LanguageGerman);
  EXPECT_EQ(CategoryName(LC_MONETARY), monetary);
  EXPECT_EQ(GetLanguageSettings().locale_id, LocaleIdOf(LanguageGerman));
  SetLanguage(LanguageSpanish);
  EXPECT_EQ(CategoryName(LC_MONETARY), "C");
}

// The standard library of this toolchain knows no named locale but "C": neither the locale
// names of the languages nor the user's default may stop a language change.
TEST_F(Catalogue, LanguageChangesSurviveAStandardLibraryWithoutNamedLocales) {
  bool refused = false;
  try {
    std::locale users("");
  } catch (const std::runtime_error&) {
    refused = true;
  }
  for (int index : {LanguageGerman, LanguageEnglish, LanguageHebrew, LanguageFrench}) {
    SCOPED_TRACE(index);
    EXPECT_NO_THROW(SetLanguage(index));
    EXPECT_EQ(GetLanguage(), index);
  }
  if (!refused) GTEST_SKIP() << "the standard library knows the user's locale here: the refusal path was not taken";
}

// One process-wide runtime locale: a language change on this thread is what every thread sees.
TEST_F(Catalogue, RuntimeLocalesAreSharedByEveryThread) {
  const LANGID user = PRIMARYLANGID(::GetUserDefaultLangID());
  int own = -1;
  for (int index = 0; index < LanguageCount; ++index)
    if (PRIMARYLANGID(LanguageIdOf(index)) == user) own = index;
  if (own == -1) GTEST_SKIP() << "the user's language is not in the catalogue";
  SetLanguage(own == LanguageFrench ? LanguageEnglish : LanguageFrench);
  SetLanguage(own);
  const std::string here = CategoryName(LC_CTYPE);
  ASSERT_NE(here, "C");
  std::string there;
  std::thread([&] { there = CategoryName(LC_CTYPE); }).join();
  EXPECT_EQ(there, here);
}

}  // namespace
