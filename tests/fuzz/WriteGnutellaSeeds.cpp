// Writes seed inputs for the Gnutella fuzz targets: folder and target number as arguments.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/gnutella/HashCache.h"
#include "platform/gnutella/Messages.h"
#include "platform/gnutella/Qrp.h"

using namespace gnutella;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: fuzz_gnutella_seeds FOLDER TARGET\n");
        return 2;
    }
    const int target = std::atoi(argv[2]);
    QueryHit hit;
    hit.ip = 0x7F000001;
    hit.port = 6346;
    hit.vendor = "GTKG";
    hit.results.push_back({1, 1234, "Blue Moon.mp3", Sha1Digest{1, 2, 0, 4}});
    hit.results.push_back({2, 5000000000ull, "big.mp3", std::nullopt});
    Query query;
    query.text = "blue moon";
    Pong pong;
    pong.packed = {{0x7F000001, 6346}};
    pong.ultrapeer = true;
    std::vector<std::string> seeds;
    switch (target) {
        case 1:
            seeds.push_back(
                EncodeMessage(Guid{}, kQuery, 3, 0, EncodeQuery(query)) +
                EncodeMessage(Guid{}, kQueryHit, 3, 0, EncodeQueryHit(hit, true)) +
                EncodeMessage(Guid{}, kPong, 1, 0, EncodePong(pong)) +
                EncodeMessage(Guid{}, kVendor, 1, 0, EncodeVendor(MessagesSupported())) +
                EncodeMessage(Guid{}, kPush, 3, 0, EncodePush(Push{})));
            break;
        case 2:
            seeds.push_back(
                "GNUTELLA CONNECT/0.6\r\nUser-Agent: X/1\r\nX-Ultrapeer: False\r\n"
                "Accept-Encoding: deflate\r\nListen-IP: 127.0.0.1:6346\r\n\r\n");
            seeds.push_back(
                "GNUTELLA/0.6 503 Full\r\nX-Try-Ultrapeers: 127.0.0.1:6346,127.0.0.1:1\r\n\r\n");
            break;
        case 3:
            seeds.push_back("GET /get/1/a%20b.mp3 HTTP/1.1\r\nRange: bytes=10-\r\n\r\n");
            seeds.push_back(
                "HTTP/1.1 206 Partial\r\nContent-Range: bytes 0-9/100\r\n"
                "Content-Length: 10\r\n\r\n");
            seeds.push_back("GIV 1:00112233445566778899AABBCCDDEEFF/x\n\n");
            break;
        case 4:
            seeds.push_back(EncodeQueryHit(hit, true));
            seeds.push_back(EncodeQueryHit(hit, false));
            break;
        case 5: {
            QrpTable table;
            table.Add("blue");
            std::string joined;
            for (const auto& m : table.Messages()) joined += (joined.empty() ? "" : "\n--\n") + m;
            seeds.push_back(joined);
            break;
        }
        case 6: {
            SharedFile f;
            f.path = "/music/a\\b\nc.mp3";
            f.size = 1234;
            f.modified = 1700000000000000000;
            seeds.push_back(HashCacheText({f, f}));
            break;
        }
        default:
            return 2;
    }
    for (size_t i = 0; i < seeds.size(); ++i) {
        std::ofstream out(std::string(argv[1]) + "/seed-" + std::to_string(i), std::ios::binary);
        out << seeds[i];
    }
    return 0;
}
