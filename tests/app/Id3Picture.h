#pragma once
// An ID3v2.3 tag holding picture frames, as a tagger writes them.

#include <QByteArray>
#include <cstdint>
#include <utility>
#include <vector>

inline QByteArray Id3TagWithPictures(const std::vector<std::pair<char, QByteArray>>& pictures) {
    auto bigEndian = [](uint32_t v) {
        QByteArray b;
        for (int shift : {24, 16, 8, 0}) b += static_cast<char>((v >> shift) & 0xFF);
        return b;
    };
    QByteArray frames;
    for (const auto& [type, data] : pictures) {
        // Latin-1 description; picture type 3 is the front cover
        QByteArray body = QByteArray(1, '\0') + "image/png" + QByteArray(1, '\0') +
                          QByteArray(1, type) + "cover" + QByteArray(1, '\0') + data;
        frames += "APIC" + bigEndian(body.size()) + QByteArray(2, '\0') + body;
    }
    frames += QByteArray(64, '\0');  // padding
    const uint32_t size = frames.size();
    QByteArray header("ID3\x03\x00\x00", 6);
    for (int shift : {21, 14, 7, 0}) header += static_cast<char>((size >> shift) & 0x7F);
    return header + frames;
}
