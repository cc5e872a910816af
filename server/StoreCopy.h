#pragma once
// Copies one store into another (an SQLite file into PostgreSQL when it is outgrown): every
// submission and feedback, in the order they came, so that votes and their ties come out alike.

#include <cstdint>
#include <string>

#include "server/InfoStore.h"

struct CopyCount {
    int64_t submissions = 0;
    int64_t feedback = 0;
};

// False, with the error text, when the target already holds submissions (a second copy would
// count every client twice) or a read or write fails.
bool CopyStore(InfoStore& from, InfoStore& to, CopyCount& copied, std::string& error);
