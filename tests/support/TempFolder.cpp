#include "tests/support/TempFolder.h"

#include <cstdlib>
#include <stdexcept>

namespace sonvera::test {

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sonvera-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a temporary folder in " + pattern);
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace sonvera::test
