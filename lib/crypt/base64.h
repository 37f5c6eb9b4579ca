// Base64 decoding of the service's login reply.
#pragma once

#include <cstddef>
#include <string>

namespace cm_crypt {

// The most bytes base64_decode can produce from a text of this length.
std::size_t base64_decoded_size_limit(std::size_t text_length);

// Whether decoding uses every character of the text: it holds only alphabet
// characters, in whole groups of four, with "=" only as the padding at its
// end ("xx==" or "xxx="). Anything else the decoder takes as zero bits or
// leaves out.
bool base64_decodes_whole(const std::string& text);

// Decodes the text into the buffer and returns the number of bytes written,
// never more than size. Every group of four characters yields three bytes;
// the first "=" ends the text, yielding the bytes its group completes; a last
// group without "=" and with fewer than four characters yields nothing.
// Characters outside the alphabet take their place with the value 0.
std::size_t base64_decode(const std::string& text, unsigned char* buffer, std::size_t size);

}  // namespace cm_crypt
