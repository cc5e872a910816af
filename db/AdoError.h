#pragma once
// Error codes, their meanings and the report texts of the access layer. The layer's internal
// operations throw AdoException; each public call catches it and keeps the composed text.

#include <cstdint>
#include <string>

namespace sonvera::db {

constexpr uint32_t kInvalidPointer = 0x80004003;      // E_POINTER
constexpr uint32_t kUnspecified = 0x80004005;         // E_FAIL
constexpr uint32_t kOutOfMemory = 0x8007000E;         // E_OUTOFMEMORY
constexpr uint32_t kInvalidArgument = 0x80070057;     // E_INVALIDARG
constexpr uint32_t kTypeMismatch = 0x80020005;        // DISP_E_TYPEMISMATCH
constexpr uint32_t kOverflow = 0x8002000A;            // DISP_E_OVERFLOW
constexpr uint32_t kErrorsInCommand = 0x80040E14;     // DB_E_ERRORSINCOMMAND
constexpr uint32_t kIntegrityViolation = 0x80040E2F;  // DB_E_INTEGRITYVIOLATION
constexpr uint32_t kParameterMissing = 0x80040E10;    // DB_E_PARAMNOTOPTIONAL
constexpr uint32_t kNoCurrentRecord = 0x800A0BCD;     // adErrNoCurrentRecord
constexpr uint32_t kArgumentOutOfRange = 0x800A0BB9;  // adErrInvalidArgument
constexpr uint32_t kItemNotFound = 0x800A0CC1;        // adErrItemNotFound
constexpr uint32_t kNotUpdatable = 0x800A0CB3;        // adErrFeatureNotAvailable
constexpr uint32_t kObjectClosed = 0x800A0E78;        // adErrObjectClosed
constexpr uint32_t kConnectionClosed = 0x800A0E7D;    // adErrInvalidConnection

struct AdoException {
    uint32_t code;
    std::string source;
    std::string description;
};

// The system text of a code, or "IDispatch error #n" / "Unknown error 0x...".
std::string CodeMeaning(uint32_t code);
// The body "<kind> Error\n\tCode = ...\n\tCode meaning = ...\n\tSource = ...\n\tDescription = ...\n".
std::string ComposeErrorBody(const char* kind, const AdoException& error);
// Maps an SQLite result code to the code the layer reports.
uint32_t CodeFromSqlite(int resultCode);

}  // namespace sonvera::db
