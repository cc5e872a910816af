#include "db/AdoError.h"

#include <cstdio>

#include "db/sqlite/Sqlite.h"

namespace sonvera::db {

std::string CodeMeaning(uint32_t code) {
    switch (code) {
        case kInvalidPointer: return "Invalid pointer";
        case kUnspecified: return "Unspecified error";
        case kOutOfMemory: return "Not enough storage is available to complete this operation.";
        case kInvalidArgument: return "The parameter is incorrect.";
        case kTypeMismatch: return "Type mismatch.";
        case kOverflow: return "Out of present range.";
        default: break;
    }
    char buffer[64];
    if (code > 0x80040200u && code <= 0x8004FFFFu) {
        std::snprintf(buffer, sizeof buffer, "IDispatch error #%d",
                      static_cast<int>(code & 0xFFFF) - 0x200);
    } else {
        std::snprintf(buffer, sizeof buffer, "Unknown error 0x%0lX",
                      static_cast<unsigned long>(code));
    }
    return buffer;
}

std::string ComposeErrorBody(const char* kind, const AdoException& error) {
    const std::string meaning = CodeMeaning(error.code);
    const char* format = "%s Error\n\tCode = %08lx\n\tCode meaning = %s\n\tSource = %s\n\tDescription = %s\n";
    int size = std::snprintf(nullptr, 0, format, kind, static_cast<unsigned long>(error.code),
                             meaning.c_str(), error.source.c_str(), error.description.c_str());
    std::string text(static_cast<size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, kind, static_cast<unsigned long>(error.code),
                  meaning.c_str(), error.source.c_str(), error.description.c_str());
    text.resize(static_cast<size_t>(size));
    return text;
}

uint32_t CodeFromSqlite(int resultCode) {
    switch (resultCode & 0xFF) {
        case SQLITE_ERROR: return kErrorsInCommand;
        case SQLITE_CONSTRAINT: return kIntegrityViolation;
        case SQLITE_MISMATCH: return kTypeMismatch;
        case SQLITE_RANGE: return kParameterMissing;
        case SQLITE_NOMEM: return kOutOfMemory;
        case SQLITE_MISUSE: return kInvalidPointer;
        default: return kUnspecified;
    }
}

}  // namespace sonvera::db
