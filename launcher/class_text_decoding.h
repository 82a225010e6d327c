// Turning the embedded class text back into class bytes: base64, then
// inflation of the gzip member it holds.
#pragma once

#include <cstdint>

#include "foundation/arrays.h"

namespace launcher {

// Decodes n characters of standard base64: every character outside the
// alphabet (padding included) counts as 0, trailing "=" shorten the output.
// Null when n < 1 or the text leaves no room for its padding.
foundation::DataArray<char>* decodeBase64(const char* text, int32_t n);

// Inflates a gzip member or a zlib stream (the header tells which). Null
// when the data is corrupt or ends before the stream does.
foundation::DataArray<char>* gunzipBytes(foundation::DataArray<char>* input, int32_t length);

}  // namespace launcher
