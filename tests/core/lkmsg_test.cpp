#include "core/lkmsg.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

// Every named language with a locale that reads its row; msSystem returns a
// row's entry without falling back to English, so it shows the stored text.
struct LanguageLocale {
  TMsgLanguage language;
  const char* locale;
};
constexpr LanguageLocale kNamedLanguages[] = {
    {msEnglish, "en_US"},   {msItalian, "it_IT"},  {msGerman, "de_DE"},
    {msSpanish, "es_ES"},   {msFrench, "fr_FR"},   {msPortuguese, "pt_BR"},
    {msGreek, "el_GR"},     {msRussian, "ru_RU"},  {msDutch, "nl_NL"},
    {msSwedish, "sv_SE"},   {msPolish, "pl_PL"},   {msJapanese, "ja_JP"},
    {msCzech, "cs_CZ"},     {msFinnish, "fi_FI"},  {msFarsi, "fa_IR"},
    {msChinese, "zh_CN"},   {msChineseTraditional, "zh_TW"},
};

TMsgLanguageWords Word(int w) { return static_cast<TMsgLanguageWords>(w); }

// True when `s` is well-formed UTF-8: no stray continuation bytes, no
// truncated, overlong or surrogate sequences, nothing above U+10FFFF.
bool IsValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int extra;
    char32_t cp;
    if (c < 0x80) { ++i; continue; }
    if (c >= 0xC2 && c <= 0xDF) { extra = 1; cp = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) { extra = 2; cp = c & 0x0F; }
    else if (c >= 0xF0 && c <= 0xF4) { extra = 3; cp = c & 0x07; }
    else return false;
    if (i + extra >= s.size()) return false;  // truncated sequence
    for (int k = 1; k <= extra; ++k) {
      const unsigned char d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if ((extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += extra + 1;
  }
  return true;
}

// Runs before any test has touched the table (ctest starts each test in a
// process of its own): the library's start-up has stored the built-in words.
TEST(MsgStartUp, BuiltInWordsInPlaceBeforeFirstUse) {
  EXPECT_EQ(lkmsg(LKMSG_PREVIEW, msGerman), "Vorschau");
  EXPECT_EQ(lkmsg(LKMSG_CHANNELS, msEnglish), "Channels");
  EXPECT_EQ(lkmsg(LKMSG_RATE, msPolish), "Rate");
  EXPECT_EQ(lkmsg(LKMSG_OK, msUser), "OK");
}

// The table is process-wide: each test starts from the built-in words with an
// empty msUser row and leaves it so, and gives msSystem back its locale.
class MsgTable : public ::testing::Test {
 protected:
  void SetUp() override { Restore(); }
  void TearDown() override { Restore(); }
  static void Restore() {
    LKSetDefaultTranslationWords();
    LKSetTranslationWord(msPolish, LKMSG_RATE, "");
    for (int w = 0; w < LKMsgWordCount; ++w) LKSetTranslationWord(msUser, Word(w), "");
    LKSetMsgSystemLocale("");
  }
};

TEST_F(MsgTable, EnglishWordsAsBuiltIn) {
  struct Row {
    TMsgLanguageWords word;
    const char* text;
  };
  const Row rows[] = {
      {LKMSG_PREVIEW, "Preview"},
      {LKMSG_SOURCE, "Original"},
      {LKMSG_OK, "OK"},
      {LKMSG_COPYRESULTTOSOURCE, "Copy Result to Original"},
      {LKMSG_VALUE, "Value"},
      {LKMSG_SCANNDEDDOCUMENTINFO, "Scanned document info"},
      {LKMSG_OF, "of"},
      {LKMSG_HORIZPOSITIONINCH, "Horiz. Position (inch)"},
      {LKMSG_OPEN, "Opening"},
      {LKMSG_CLOSE, "Closing"},
      {LKMSG_SELECTTHEREGIONTOCLEAR, "Select the region to clean"},
      {LKMSG_INCHES, "inches"},
      {LKMSG_VALUE2, "Value"},
      {LKMSG_LOCATIONSIZE, "Location/size"},
      {LKMSG_CLOSE2, "Close"},
      {LKMSG_RATE, "Rate"},
      {LKMSG_VIDEOFORWINDOWS, "Video for Windows"},
      {LKMSG_MEM, "Mem"},
      {LKMSG_LOCKPREVIEWHINT,
       "Automatically updates your preview with the changes you have selected"},
      {LKMSG_ALLFILES, "All Files"},
      {LKMSG_CHANNELS, "Channels"},
  };
  for (const Row& r : rows) EXPECT_EQ(lkmsg(r.word, msEnglish), r.text) << int(r.word);
}

TEST_F(MsgTable, EveryLanguageHasEveryWordButPolishRate) {
  for (const LanguageLocale& l : kNamedLanguages) {
    LKSetMsgSystemLocale(l.locale);
    ASSERT_EQ(LKMsgSystemLanguage(), l.language) << l.locale;
    int differsFromEnglish = 0;
    for (int w = 0; w < LKMsgWordCount; ++w) {
      const String text = lkmsg(Word(w), msSystem);
      EXPECT_TRUE(IsValidUtf8(text)) << l.locale << " word " << w;
      if (l.language == msPolish && w == LKMSG_RATE) {
        EXPECT_EQ(text, "") << "the Polish rate has no built-in text";
      } else {
        EXPECT_NE(text, "") << l.locale << " word " << w;
        EXPECT_EQ(text, lkmsg(Word(w), l.language)) << l.locale << " word " << w;
      }
      if (text != lkmsg(Word(w), msEnglish)) ++differsFromEnglish;
    }
    // A translated row that is mostly English was left untranslated.
    if (l.language != msEnglish) {
      EXPECT_GT(differsFromEnglish, 100) << l.locale;
    }
  }
}

TEST_F(MsgTable, TranslationsAreDistinctRows) {
  // No row is a copy of another: the long hint differs in every language.
  std::set<String> hints;
  for (const LanguageLocale& l : kNamedLanguages)
    hints.insert(lkmsg(LKMSG_LOCKPREVIEWHINT, l.language));
  EXPECT_EQ(hints.size(), std::size(kNamedLanguages));
  EXPECT_EQ(lkmsg(LKMSG_CANCEL, msGerman), "Abbrechen");
  EXPECT_EQ(lkmsg(LKMSG_PREVIEW, msJapanese), "プレビュー");
  EXPECT_EQ(lkmsg(LKMSG_PRINT, msChinese), "打印");
  EXPECT_EQ(lkmsg(LKMSG_PRINT, msChineseTraditional), "列印");
}

TEST_F(MsgTable, EmptyEntryOfNamedLanguageFallsBackToEnglish) {
  EXPECT_EQ(lkmsg(LKMSG_RATE, msPolish), "Rate");
  LKSetMsgSystemLocale("pl_PL");
  EXPECT_EQ(lkmsg(LKMSG_RATE, msSystem), "");

  LKSetTranslationWord(msGerman, LKMSG_HUE, "");
  EXPECT_EQ(lkmsg(LKMSG_HUE, msGerman), "Hue");

  // With the English entry cleared there is nothing to fall back to.
  LKSetTranslationWord(msEnglish, LKMSG_CANCEL, "");
  EXPECT_EQ(lkmsg(LKMSG_CANCEL, msEnglish), "");
  EXPECT_EQ(lkmsg(LKMSG_CANCEL, msUser), "");
  EXPECT_EQ(lkmsg(LKMSG_CANCEL, msGerman), "Abbrechen");
}

TEST_F(MsgTable, UserRowReadsEnglishUntilFilled) {
  for (int w = 0; w < LKMsgWordCount; ++w)
    EXPECT_EQ(lkmsg(Word(w), msUser), lkmsg(Word(w), msEnglish)) << w;

  LKSetTranslationWord(msUser, LKMSG_OK, "Jes");
  EXPECT_EQ(lkmsg(LKMSG_OK, msUser), "Jes");
  EXPECT_EQ(lkmsg(LKMSG_OK, msEnglish), "OK");
  EXPECT_EQ(lkmsg(LKMSG_CANCEL, msUser), "Cancel");

  // The stored text is a copy.
  String text = "Nuligi";
  LKSetTranslationWord(msUser, LKMSG_CANCEL, text);
  text = "changed";
  EXPECT_EQ(lkmsg(LKMSG_CANCEL, msUser), "Nuligi");
}

TEST_F(MsgTable, SetTranslationWordReplacesAndDefaultsRestore) {
  LKSetTranslationWord(msFrench, LKMSG_SAVE, "Sauvegarder");
  EXPECT_EQ(lkmsg(LKMSG_SAVE, msFrench), "Sauvegarder");
  EXPECT_EQ(lkmsg(LKMSG_LOAD, msFrench), "Charger");
  LKSetDefaultTranslationWords();
  EXPECT_EQ(lkmsg(LKMSG_SAVE, msFrench), "Enregistrer");
  // The defaults leave the Polish rate as the application set it.
  LKSetTranslationWord(msPolish, LKMSG_RATE, "Współczynnik");
  LKSetDefaultTranslationWords();
  EXPECT_EQ(lkmsg(LKMSG_RATE, msPolish), "Współczynnik");
}

TEST_F(MsgTable, SystemRowWordsNeverAppear) {
  LKSetMsgSystemLocale("de_DE");
  LKSetTranslationWord(msSystem, LKMSG_OK, "from the msSystem row");
  EXPECT_EQ(lkmsg(LKMSG_OK, msSystem), "OK");
  EXPECT_EQ(lkmsg(LKMSG_CANCEL, msSystem), "Abbrechen");
  LKSetTranslationWord(msSystem, LKMSG_OK, "");
}

TEST(MsgLocale, LocaleChoosesRow) {
  struct Row {
    const char* locale;
    TMsgLanguage row;
  };
  const Row rows[] = {
      {"en_US", msEnglish},   {"en_GB", msEnglish},     {"de_DE", msGerman},
      {"de_AT", msGerman},    {"fr_FR", msFrench},      {"fr_CA", msFrench},
      {"it_IT", msItalian},   {"es_MX", msSpanish},     {"pt_PT", msPortuguese},
      {"pt_BR", msPortuguese}, {"el_GR", msGreek},      {"ru_RU", msRussian},
      {"nl_BE", msDutch},     {"sv_FI", msSwedish},     {"pl_PL", msPolish},
      {"ja_JP", msJapanese},  {"cs_CZ", msCzech},       {"fi_FI", msFinnish},
      {"fa_IR", msFarsi},     {"zh_TW", msChineseTraditional},
      {"zh_CN", msChinese},   {"zh_HK", msEnglish},     {"zh_SG", msEnglish},
      {"zh_MO", msEnglish},   {"ko_KR", msEnglish},     {"tr_TR", msEnglish},
      {"hu_HU", msEnglish},   {"de_DE.UTF-8", msGerman}, {"C", msEnglish},
      {"", msEnglish},        {"xx_YY", msEnglish},     {"not a locale", msEnglish},
  };
  for (const Row& r : rows) EXPECT_EQ(LKMsgLanguageOfLocale(r.locale), r.row) << r.locale;
}

TEST(MsgLocale, OutOfRangeArgumentsAreHarmless) {
  EXPECT_EQ(lkmsg(static_cast<TMsgLanguageWords>(139), msEnglish), "");
  EXPECT_EQ(lkmsg(LKMSG_OK, static_cast<TMsgLanguage>(19)), "");
  LKSetTranslationWord(static_cast<TMsgLanguage>(200), LKMSG_OK, "x");
  LKSetTranslationWord(msEnglish, static_cast<TMsgLanguageWords>(255), "x");
  EXPECT_EQ(lkmsg(LKMSG_OK, msEnglish), "OK");
}

TEST(MsgUtf8, ValidatorRejectsMalformedText) {
  EXPECT_TRUE(IsValidUtf8("Größe 预览 پیش‌نمایش"));
  EXPECT_FALSE(IsValidUtf8("Gr\xF6\xDF" "e"));  // Windows-1252 bytes
  EXPECT_FALSE(IsValidUtf8("\xC3"));            // truncated sequence
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));        // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));    // surrogate
}

}  // namespace
