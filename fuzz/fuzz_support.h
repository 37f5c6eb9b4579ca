// What the fuzz targets share: a broken property ends the run as a crash, so
// the fuzzer keeps the input that broke it; and the input as a list of texts,
// from which the targets build trees of their own to write and read back.
#pragma once

#include <utf8.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

namespace calvimora_fuzz {

inline void require(bool property, const char* what) {
    if (!property) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

// The input as UTF-8 (damaged sequences become U+FFFD), cut at every NUL.
inline std::vector<std::wstring> texts_of(const std::uint8_t* data, std::size_t size) {
    std::string valid;
    utf8::replace_invalid(data, data + size, std::back_inserter(valid), 0xFFFD);
    std::vector<std::wstring> texts(1);
    for (auto at = valid.begin(); at != valid.end();) {
        const char32_t character = utf8::next(at, valid.end());
        if (character == 0)
            texts.emplace_back();
        else
            texts.back() += static_cast<wchar_t>(character);
    }
    return texts;
}

}  // namespace calvimora_fuzz
