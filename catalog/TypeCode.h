// The internal type codes of column values, and the mapping from SQL Server's
// system type ids to them.
#pragma once

#include <cstdint>

namespace quillmark {

enum TypeCode : std::int32_t {
  kBigInt = 0,
  kBinary = 1,
  kBit = 2,
  kChar = 3,
  kDateTime = 4,
  kDate = 5,
  kTime = 6,
  kDateTime2 = 7,
  kDateTimeOffset = 8,
  kInt = 9,
  kNChar = 10,
  kNVarChar = 11,
  kUnusedTypeCode = 12,
  kSmallInt = 13,
  kTinyInt = 14,
  kUniqueIdentifier = 15,
  kVarBinary = 16,
  kVarChar = 17,
  kSystemType232 = 18,
  kNText = 19,
  kSqlVariant = 20,
  kMoney = 21,
  kFloat = 22,
  kNumeric = 23,
  kDecimal = 24,
  kImage = 25,
  kText = 26,
  kSmallDateTime = 27,
  kReal = 28,
  kSmallMoney = 29,
  kTimestamp = 30,
  kHierarchyId = 31,
  kGeometry = 32,
  kClrType = 33,
  kXml = 34,
};

// The type code of a system type id; every id not known maps to char. Image
// (34) maps to text here; schema resolution stores image for image columns.
constexpr TypeCode TypeCodeOf(std::uint8_t systemTypeId) {
  switch (systemTypeId) {
    case 127: return kBigInt;
    case 173: return kBinary;
    case 104: return kBit;
    case 61: return kDateTime;
    case 40: return kDate;
    case 41: return kTime;
    case 42: return kDateTime2;
    case 43: return kDateTimeOffset;
    case 56: return kInt;
    case 239: return kNChar;
    case 231: return kNVarChar;
    case 52: return kSmallInt;
    case 48: return kTinyInt;
    case 36: return kUniqueIdentifier;
    case 165: return kVarBinary;
    case 167: return kVarChar;
    case 232: return kSystemType232;
    case 99: return kNText;
    case 98: return kSqlVariant;
    case 60: return kMoney;
    case 62: return kFloat;
    case 108: return kNumeric;
    case 106: return kDecimal;
    case 34: return kText;
    case 35: return kText;
    case 58: return kSmallDateTime;
    case 59: return kReal;
    case 122: return kSmallMoney;
    case 189: return kTimestamp;
    case 240: return kClrType;
    case 241: return kXml;
    default: return kChar;
  }
}

}  // namespace quillmark
