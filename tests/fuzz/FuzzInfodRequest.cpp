// Every request to sonvera-infod comes from the network: any method, target and body must get
// an answer, never a crash, and no page may carry markup that came in with the request.

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "server/AccessLog.h"
#include "server/InfoService.h"
#include "server/RequestHead.h"

namespace {

struct Fixture {
    std::unique_ptr<InfoStore> store;
    std::unique_ptr<InfoService> service;
    std::chrono::steady_clock::time_point now{};
    Fixture() {
        std::string error;
        store = InfoStore::Open(":memory:", error);
        if (!store) std::abort();
        ServiceOptions options;
        options.currentVersion = "1.24b";
        // The clock moves a second per request, so submissions are stored, not refused.
        service = std::make_unique<InfoService>(*store, options, [this] {
            now += std::chrono::seconds(1);
            return now;
        });
    }
};

std::string Field(const uint8_t*& data, size_t& size) {
    const uint8_t* end = static_cast<const uint8_t*>(std::memchr(data, '\n', size));
    const size_t length = end ? size_t(end - data) : size;
    std::string field(reinterpret_cast<const char*>(data), length);
    const size_t used = end ? length + 1 : length;
    data += used;
    size -= used;
    return field;
}

}  // namespace

// Input: method, target and client on their own lines, then the body.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A fresh database now and then, so long runs do not grow it without end.
    static auto fixture = std::make_unique<Fixture>();
    static int runs = 0;
    if (++runs % 20000 == 0) fixture = std::make_unique<Fixture>();
    // The same bytes as a request head: mended, its target keeps one '?' and its fields
    const std::string_view raw(reinterpret_cast<const char*>(data), size);
    const size_t headLength = RequestHeadLength(raw);
    if (headLength > size) std::abort();
    const std::string mended = MendRequestHead(raw.substr(0, headLength ? headLength : size));
    const size_t lineEnd = mended.find('\n');
    const size_t targetStart = mended.find(' ');
    if (lineEnd != std::string::npos && targetStart < lineEnd) {
        const size_t targetEnd = std::min(mended.find(' ', targetStart + 1), lineEnd);
        const std::string_view target =
            std::string_view(mended).substr(targetStart, targetEnd - targetStart);
        if (std::count(target.begin(), target.end(), '?') > 1) std::abort();
    }
    if (mended.size() < std::min(size, headLength ? headLength : size)) std::abort();
    HttpRequest request;
    request.method = Field(data, size);
    request.target = Field(data, size);
    request.client = Field(data, size);
    request.host = "fuzz";
    request.body.assign(reinterpret_cast<const char*>(data), size);
    // Its access-log line stays one line of the common log format: the request line quoted once.
    const std::string line = CommonLogLine(request.client, 0, request.method + " " + request.target,
                                           200, request.body.size());
    if (std::count(line.begin(), line.end(), '\n') != 1 || line.back() != '\n') std::abort();
    size_t quotes = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\')
            ++i;  // an escaped character
        else if (line[i] == '"')
            ++quotes;
    }
    if (quotes != 2) std::abort();
    const HttpResponse response = fixture->service->Handle(request);
    if (response.status < 200 || response.status > 599) std::abort();
    if (response.contentType.rfind("text/html", 0) == 0) {
        // Our own templates hold no script and no element named like the input's.
        if (response.body.find("<script") != std::string::npos) std::abort();
        if (response.body.find("<SONVERA") != std::string::npos) std::abort();
    }
    return 0;
}
