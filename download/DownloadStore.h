#pragma once
// The download engine's one question to the library: does a track with this search string
// exist? Engine thread; shared connection.

#include <string>
#include <unordered_map>
#include <vector>

class CADODataBase;

// Answers for many search strings, read in few statements: a question about one string also
// asks about the strings that are likely to come next. A string whose answer cannot be read
// counts as held, so that a file the library may hold is not fetched.
class LibraryLookup {
public:
    explicit LibraryLookup(CADODataBase* database) : database_(database) {}
    bool Known(const std::string& searchString) const { return held_.count(searchString) != 0; }
    // Reads the answers for searchString and the unknown strings of ahead; the batch grows
    // with every read, so a search whose results are all held costs a few statements.
    void Read(const std::string& searchString, const std::vector<std::string>& ahead);
    bool Has(const std::string& searchString) const { return held_.at(searchString); }
    // How many strings the next Read may ask about.
    size_t BatchSize() const { return batch_; }

private:
    CADODataBase* database_;
    std::unordered_map<std::string, bool> held_;
    size_t batch_ = 8;
};
