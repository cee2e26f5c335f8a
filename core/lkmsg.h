// The library's message table: every user-visible word of its dialogs (captions,
// labels, button texts, file-type filter texts, hints) in 19 languages. Texts are
// UTF-8. The built-in words are stored at library start-up; an application adds
// its own language in the row msUser or replaces any word with
// LKSetTranslationWord.
#pragma once

#include "platform/system.h"

/// Language of a lookup in the message table (one byte).
enum TMsgLanguage : Byte {
  msSystem = 0,  ///< the language of the user's locale, chosen at start-up
  msEnglish = 1,
  msItalian = 2,
  msGerman = 3,
  msSpanish = 4,
  msFrench = 5,
  msPortuguese = 6,
  msGreek = 7,
  msRussian = 8,
  msDutch = 9,
  msSwedish = 10,
  msPolish = 11,
  msJapanese = 12,
  msCzech = 13,
  msFinnish = 14,
  msFarsi = 15,
  msChinese = 16,             ///< simplified characters
  msChineseTraditional = 17,  ///< traditional characters
  msUser = 18,                ///< the row reserved for the application
};

/// Number of rows of the message table (msSystem and msUser included).
inline constexpr int LKMsgLanguageCount = 19;

/// A word of the message table (one byte). LKMSG_OPEN and LKMSG_CLOSE are the
/// morphological "Opening" and "Closing"; LKMSG_CLOSE2 is the button "Close".
enum TMsgLanguageWords : Byte {
  LKMSG_PREVIEW = 0,
  LKMSG_SOURCE = 1,
  LKMSG_RESULT = 2,
  LKMSG_OK = 3,
  LKMSG_CANCEL = 4,
  LKMSG_LOCKPREVIEW = 5,
  LKMSG_COPYRESULTTOSOURCE = 6,
  LKMSG_CONTRAST = 7,
  LKMSG_BRIGHTNESS = 8,
  LKMSG_HUE = 9,
  LKMSG_SATURATION = 10,
  LKMSG_VALUE = 11,
  LKMSG_BASECOLOR = 12,
  LKMSG_NEWCOLOR = 13,
  LKMSG_LUMINOSITY = 14,
  LKMSG_RED = 15,
  LKMSG_GREEN = 16,
  LKMSG_BLUE = 17,
  LKMSG_FILTERVALUES = 18,
  LKMSG_PRESETS = 19,
  LKMSG_DIVISOR = 20,
  LKMSG_LOAD = 21,
  LKMSG_SAVE = 22,
  LKMSG_EQUALIZATION = 23,
  LKMSG_THRESHOLD = 24,
  LKMSG_EQUALIZE = 25,
  LKMSG_HISTOGRAM = 26,
  LKMSG_GRAY = 27,
  LKMSG_LIGHT = 28,
  LKMSG_LEFT = 29,
  LKMSG_TOP = 30,
  LKMSG_WIDTH = 31,
  LKMSG_HEIGHT = 32,
  LKMSG_COLOR = 33,
  LKMSG_SOURCEIMAGEQUANTITY = 34,
  LKMSG_LENS = 35,
  LKMSG_REFRACTION = 36,
  LKMSG_PARAMETERSPREVIEW = 37,
  LKMSG_QUALITY = 38,
  LKMSG_DCTMETHOD = 39,
  LKMSG_SMOOTHINGFACTOR = 40,
  LKMSG_GRAYSCALE = 41,
  LKMSG_OPTIMALHUFFMAN = 42,
  LKMSG_ORIGINALSIZE = 43,
  LKMSG_COMPRESSEDSIZE = 44,
  LKMSG_ADVANCED = 45,
  LKMSG_PROGRESSIVE = 46,
  LKMSG_COMPRESSION = 47,
  LKMSG_IMAGEINDEX = 48,
  LKMSG_PHOTOMETRIC = 49,
  LKMSG_SCANNDEDDOCUMENTINFO = 50,
  LKMSG_NAME = 51,
  LKMSG_DESCRIPTION = 52,
  LKMSG_PAGENAME = 53,
  LKMSG_PAGENUMBER = 54,
  LKMSG_OF = 55,
  LKMSG_HORIZPOSITIONINCH = 56,
  LKMSG_VERTPOSITIONINCH = 57,
  LKMSG_COLORS = 58,
  LKMSG_TRANSPARENT = 59,
  LKMSG_TRANSPARENTCOLOR = 60,
  LKMSG_INTERLACED = 61,
  LKMSG_BACKGROUND = 62,
  LKMSG_HORIZPOSITION = 63,
  LKMSG_VERTPOSITION = 64,
  LKMSG_DELAYTIME = 65,
  LKMSG_FILTER = 66,
  LKMSG_WAVE = 67,
  LKMSG_AMPLITUDE = 68,
  LKMSG_WAVELENGTH = 69,
  LKMSG_PHASE = 70,
  LKMSG_REFLECTIVE = 71,
  LKMSG_USERFILTER = 72,
  LKMSG_MORPHFILTER = 73,
  LKMSG_WINDOWSIZE = 74,
  LKMSG_MAXIMUM = 75,
  LKMSG_MINIMUM = 76,
  LKMSG_OPEN = 77,
  LKMSG_CLOSE = 78,
  LKMSG_ROTATE = 79,
  LKMSG_FLIP = 80,
  LKMSG_FLIPHOR = 81,
  LKMSG_FLIPVER = 82,
  LKMSG_FREQUENCYDOMAINIMAGE = 83,
  LKMSG_SELECTTHEREGIONTOCLEAR = 84,
  LKMSG_CLEAR = 85,
  LKMSG_RESET = 86,
  LKMSG_ANIMATE = 87,
  LKMSG_LOADFILTER = 88,
  LKMSG_SAVEFILTER = 89,
  LKMSG_BUMPMAP = 90,
  LKMSG_PRINT = 91,
  LKMSG_MARGINS = 92,
  LKMSG_INCHES = 93,
  LKMSG_RIGHT = 94,
  LKMSG_BOTTOM = 95,
  LKMSG_POSITION = 96,
  LKMSG_SIZE = 97,
  LKMSG_NORMAL = 98,
  LKMSG_FITTOPAGE = 99,
  LKMSG_STRETCHTOPAGE = 100,
  LKMSG_SPECIFIEDSIZE = 101,
  LKMSG_GAMMACORRECTION = 102,
  LKMSG_VALUE2 = 103,
  LKMSG_PRINTSETUP = 104,
  LKMSG_LEFTMARGIN = 105,
  LKMSG_TOPMARGIN = 106,
  LKMSG_RIGHTMARGIN = 107,
  LKMSG_BOTTOMMARGIN = 108,
  LKMSG_LOCATIONSIZE = 109,
  LKMSG_TOPLEFT = 110,
  LKMSG_TOPCENTER = 111,
  LKMSG_TOPRIGHT = 112,
  LKMSG_CENTERLEFT = 113,
  LKMSG_CENTER = 114,
  LKMSG_CENTERRIGHT = 115,
  LKMSG_BOTTOMLEFT = 116,
  LKMSG_BOTTOMCENTER = 117,
  LKMSG_BOTTOMRIGHT = 118,
  LKMSG_CLOSE2 = 119,
  LKMSG_APPLY = 120,
  LKMSG_MEASUREUNITS = 121,
  LKMSG_UNITS = 122,
  LKMSG_RATE = 123,
  LKMSG_ALLGRAPHICS = 124,
  LKMSG_VIDEOFORWINDOWS = 125,
  LKMSG_FILE = 126,
  LKMSG_MEM = 127,
  LKMSG_LOCKPREVIEWHINT = 128,
  LKMSG_PRINTALL = 129,
  LKMSG_PRINTSELECTED = 130,
  LKMSG_COMMONGRAPHICFILES = 131,
  LKMSG_ALLFILES = 132,
  LKMSG_HSV = 133,
  LKMSG_HSL = 134,
  LKMSG_RGB = 135,
  LKMSG_FFT = 136,
  LKMSG_SHARPEN = 137,
  LKMSG_CHANNELS = 138,
};

/// Number of words of each language of the message table.
inline constexpr int LKMsgWordCount = 139;
static_assert(LKMSG_CHANNELS + 1 == LKMsgWordCount);

/// Replaces the entry of `language` and `word` with a copy of `text`. Any row
/// may be written; an empty text clears the entry, so that a lookup in a named
/// language falls back to English. A language or word outside its enumeration
/// is ignored.
void LKSetTranslationWord(TMsgLanguage language, TMsgLanguageWords word, const String& text);

/// The text of `word` in `language`. For a named language (msUser included) an
/// empty entry gives the English entry instead. msSystem reads the row of the
/// locale's language (LKMsgSystemLanguage) and returns its entry unchanged,
/// even when empty. Never fails: a text that was never set, or a language or
/// word outside its enumeration, gives an empty string.
String lkmsg(TMsgLanguageWords word, TMsgLanguage language);

/// Stores the built-in words of the 17 languages msEnglish to
/// msChineseTraditional, overwriting any replacement made before. The Polish
/// LKMSG_RATE has no built-in text and is left as it is; the rows msSystem and
/// msUser are not touched. The library calls it at start-up.
void LKSetDefaultTranslationWords();

/// The row a locale reads: the language of the locale named `localeName`
/// ("de_DE", "zh_TW", "pt_BR.UTF-8", ...), msChineseTraditional for Chinese of
/// Taiwan, msChinese for Chinese of China, and msEnglish for other Chinese
/// locales (Hong Kong, Singapore, Macau, ...), for languages the table has no
/// row for, and for names that are not a locale. Never msSystem or msUser.
TMsgLanguage LKMsgLanguageOfLocale(const String& localeName);

/// The row that msSystem reads, taken from the system locale at start-up.
TMsgLanguage LKMsgSystemLanguage();

/// Makes msSystem read the row of the locale named `localeName` instead of the
/// system locale's (for tests and for programs that run under a locale of
/// their own); an empty name takes the system locale again.
void LKSetMsgSystemLocale(const String& localeName);
