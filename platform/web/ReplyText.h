#pragma once
// Reply bodies as text: in the charset the reply's Content-Type names, else a fallback the
// caller chooses. One decoder per reply, used on one thread.

#include <memory>
#include <string>
#include <string_view>

// The charset a Content-Type value names, quotes removed ("text/html; charset=UTF-8" gives
// "UTF-8"); empty when it names none.
std::string CharsetOf(std::string_view contentType);

// Turns a reply's bytes into UTF-8, piece by piece: a character cut between two pieces comes
// whole with the later one. Bytes the charset cannot read become U+FFFD.
class ReplyDecoder {
public:
    // The charset of the Content-Type, or fallback (an ICU converter name) when it names none or
    // one ICU does not know.
    ReplyDecoder(std::string_view contentType, const char* fallback);
    ~ReplyDecoder();
    ReplyDecoder(const ReplyDecoder&) = delete;
    ReplyDecoder& operator=(const ReplyDecoder&) = delete;

    // The text of the next piece; last flushes what an unfinished character left.
    std::string Decode(std::string_view bytes, bool last = false);
    // The converter's name as ICU gives it.
    std::string Name() const;

private:
    struct Converter;
    std::unique_ptr<Converter> converter_;
};

// The whole of one reply's body.
std::string DecodeReply(std::string_view bytes, std::string_view contentType, const char* fallback);
