#include "core/lkmsg.h"

#include <QLocale>
#include <QString>

namespace {

// The table: 19 rows of 139 entries, the words of one language lying
// together, every entry empty until something sets it. Created on first use,
// so it is valid whenever another unit's start-up code asks for a word.
using TMessages = String[LKMsgLanguageCount][LKMsgWordCount];
TMessages& lkMessages() {
  static TMessages messages;
  return messages;
}

// Set once the built-in words have been stored. A lookup or change made by
// another unit's start-up code before this unit's own start-up stores them
// first, so nobody ever sees the empty table.
constinit bool gDefaultsStored = false;

// The row msSystem reads, and whether it has been taken from a locale yet.
constinit TMsgLanguage gSystemRow = msEnglish;
constinit bool gSystemRowChosen = false;

void EnsureDefaults() {
  if (gDefaultsStored) return;
  gDefaultsStored = true;  // first, since storing the words calls back here
  LKSetDefaultTranslationWords();
}

bool InTable(TMsgLanguage language, TMsgLanguageWords word) {
  return static_cast<int>(language) < LKMsgLanguageCount &&
         static_cast<int>(word) < LKMsgWordCount;
}

// The row of a locale's language. Chinese is split by territory the way
// locale identifiers split it into sublanguages: Taiwan reads the traditional
// row, China the simplified row, and every other Chinese territory English.
TMsgLanguage RowOfLocale(const QLocale& locale) {
  switch (locale.language()) {
    case QLocale::Chinese:
      switch (locale.territory()) {
        case QLocale::Taiwan: return msChineseTraditional;
        case QLocale::China: return msChinese;
        default: return msEnglish;
      }
    case QLocale::Czech: return msCzech;
    case QLocale::German: return msGerman;
    case QLocale::Greek: return msGreek;
    case QLocale::English: return msEnglish;
    case QLocale::Spanish: return msSpanish;
    case QLocale::Finnish: return msFinnish;
    case QLocale::French: return msFrench;
    case QLocale::Italian: return msItalian;
    case QLocale::Japanese: return msJapanese;
    case QLocale::Dutch: return msDutch;
    case QLocale::Polish: return msPolish;
    case QLocale::Portuguese: return msPortuguese;
    case QLocale::Russian: return msRussian;
    case QLocale::Swedish: return msSwedish;
    case QLocale::Persian: return msFarsi;
    default: return msEnglish;
  }
}

TMsgLanguage SystemRow() {
  if (!gSystemRowChosen) {
    gSystemRow = RowOfLocale(QLocale::system());
    gSystemRowChosen = true;
  }
  return gSystemRow;
}

// Library start-up: the built-in words are in place and the locale's row is
// chosen before any component or dialog exists.
struct LkmsgUnit {
  LkmsgUnit() {
    EnsureDefaults();
    SystemRow();
  }
};
const LkmsgUnit lkmsgUnit;

}  // namespace

void LKSetTranslationWord(TMsgLanguage language, TMsgLanguageWords word, const String& text) {
  if (!InTable(language, word)) return;
  EnsureDefaults();
  lkMessages()[language][word] = text;
}

String lkmsg(TMsgLanguageWords word, TMsgLanguage language) {
  if (!InTable(language, word)) return String();
  EnsureDefaults();
  if (language == msSystem) return lkMessages()[SystemRow()][word];
  const TMessages& messages = lkMessages();
  const String& entry = messages[language][word];
  return entry.empty() ? messages[msEnglish][word] : entry;
}

TMsgLanguage LKMsgLanguageOfLocale(const String& localeName) {
  return RowOfLocale(QLocale(QString::fromStdString(localeName)));
}

TMsgLanguage LKMsgSystemLanguage() { return SystemRow(); }

void LKSetMsgSystemLocale(const String& localeName) {
  gSystemRow = localeName.empty() ? RowOfLocale(QLocale::system())
                                  : LKMsgLanguageOfLocale(localeName);
  gSystemRowChosen = true;
}
