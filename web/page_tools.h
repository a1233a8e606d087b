#pragma once
// Reading values out of page and header texts: plain substring searches that respect double-byte
// characters, followed by a copy up to a stop character or a second marker. Nothing is parsed as
// HTML. Every operation reads the list as the concatenation of its elements; a value that is not found
// leaves the out text as it was.

#include <string_view>

#include "web/last_response.h"

namespace wharfling {

// out becomes the list's elements joined in order (empty for an empty list).
void JoinChunks(const ChunkList& chunks, Text& out);

// True when marker occurs in the joined text.
bool PageContains(const ChunkList& chunks, std::string_view marker);

// True when marker occurs. out becomes the bytes after its first occurrence up to the next stop
// character (possibly empty); when no stop character follows, out is left untouched.
bool ExtractBetween(const ChunkList& chunks, std::string_view marker, char stop, Text& out);

// ExtractBetween with the marker "-msg\">" and the stop character '<'.
bool ExtractMessage(const ChunkList& chunks, Text& out);

// True when "Location:" (else "location:") occurs in the header text. out becomes the bytes from one
// byte after the marker (the blank after the colon) up to the next CR; untouched when no CR follows.
bool ExtractRedirect(const ChunkList& headers, Text& out);

// True when the status line of the final response in the header text reads "200 OK" (as in
// "HTTP/1.1 200 OK"). The success test for a driver that looks for "200 OK" in the header text: a
// plain search would also find it in any header value, behind a 500 status.
bool FinalStatusIs200Ok(const ChunkList& headers);

// The bracketed search used to walk repeated entries. From offset from (when above 0) on, finds the
// first start marker whose middle marker begins at most maxGap bytes after it; out1 becomes the text
// between them. Then finds end, searching again from the end of start; out2 becomes the text between
// the end of middle and end (empty when end begins before the end of middle). Returns the offset, in
// the joined text, of the first byte after end; -1 when no start qualifies or middle is absent; -2
// when end is absent (out1 already set). Passing the result as from continues the walk.
int ExtractPair(const ChunkList& chunks, std::string_view start, std::string_view middle, int maxGap,
                std::string_view end, Text& out1, Text& out2, int from);

}  // namespace wharfling
