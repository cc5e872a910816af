#pragma once
// Query routing: keyword hashing, the table a leaf sends its ultrapeers (reset, then zlib
// patches of 4-bit entries) and the reader an ultrapeer keeps per leaf. Any thread; one object
// per owner.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gnutella {

constexpr uint32_t kQrpSlots = 65536;  // 16 bits
constexpr uint8_t kQrpInfinity = 7;

uint32_t QrpHash(std::string_view word, int bits);
// Lower-case alphanumeric words of a text; words shorter than two letters are left out.
std::vector<std::string> Keywords(std::string_view text);

class QrpTable {
public:
    QrpTable();
    void Add(std::string_view word);
    bool Has(std::string_view word) const;
    // Whether a query should reach this table's owner: every word for one or two words,
    // two thirds of them for longer queries.
    bool Matches(std::string_view queryText) const;
    // The route-table-update payloads that give a peer this table: a reset, then patches.
    std::vector<std::string> Messages() const;

private:
    std::vector<bool> present_;
};

// Applies reset and patch messages from a peer, with every size bounded.
class QrpReader {
public:
    enum class Result { Ok, Complete, Bad };
    Result Apply(std::string_view payload);
    bool Ready() const { return ready_; }
    bool Matches(std::string_view queryText) const;

private:
    uint32_t slots_ = 0;
    uint8_t infinity_ = 0;
    std::vector<int8_t> table_;
    std::string pending_;  // compressed patch so far
    uint8_t sequenceSize_ = 0;
    uint8_t nextSequence_ = 1;
    uint8_t compressor_ = 0;
    uint8_t bits_ = 0;
    bool ready_ = false;
};

}  // namespace gnutella
