#include "io/lktagreads.h"

Integer TLKTagReads::GetInteger(Word Tag) const { return TIFFReadSingleValDef(FEnv, Tag, 0); }

Integer TLKTagReads::GetIntegerIndexed(Word Tag, Integer Index) const { return TIFFReadIndexValN(FEnv, Tag, Index); }

Integer TLKTagReads::GetIntegerArray(Word Tag, std::vector<Integer>& Values) const {
  return TIFFReadArrayIntegers(FEnv, Values, Tag);
}

double TLKTagReads::GetRational(Word Tag) const { return TIFFReadSingleRational(FEnv, Tag); }

double TLKTagReads::GetRationalIndexed(Word Tag, Integer Index) const {
  return TIFFReadRationalIndex(FEnv, Tag, Index);
}

String TLKTagReads::GetString(Word Tag) const {
  String s;
  TIFFReadString(FEnv, Tag, s);
  return s;
}

String TLKTagReads::GetMiniString(Word Tag) const {
  String s;
  TIFFReadMiniString(FEnv, Tag, s);
  return s;
}

std::vector<Byte> TLKTagReads::GetRawData(Word Tag) const {
  std::vector<Byte> data;
  TIFFReadRawData(FEnv, Tag, data);
  return data;
}

Integer TLKTagReads::TagLength(Word Tag) const { return static_cast<Integer>(TIFFGetDataLength(FEnv, Tag)); }

bool TLKTagReads::TagExists(Word Tag) const { return TIFFFindTAG(Tag, FEnv) >= 0; }
