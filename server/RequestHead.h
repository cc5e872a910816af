#pragma once
// The head of one HTTP request (request line and header fields, through the blank line), mended
// before the HTTP layer parses it. Pure functions; any thread.

#include <cstddef>
#include <string>
#include <string_view>

// The length of the head at the start of bytes, blank line included; 0 while it is incomplete.
size_t RequestHeadLength(std::string_view bytes);

// The head as the HTTP layer can take it, meaning the same:
// - every '?' of the target after its first becomes %3F: the query is all after the first '?',
//   and the player leaves a '?' in a value as it is;
// - a request that names neither Content-Length nor Transfer-Encoding has no body, and gets
//   "Content-Length: 0" so that nobody waits for one.
std::string MendRequestHead(std::string_view head);
