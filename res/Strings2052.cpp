#include "res/StringData.h"

namespace {

const ResStringEntry kTable[] = {
    {3103, "Good"},
};

}  // namespace

std::span<const ResStringEntry> Strings2052()
{
    return kTable;
}
