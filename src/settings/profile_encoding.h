#pragma once
// The text encodings a settings file can come in. Windows reads a file that starts with a
// UTF-16 byte-order mark as UTF-16 (Notepad's "Unicode" and "Unicode big endian") and writes
// it back so; any other file is bytes as they stand. Inside, the text of a UTF-16 file is held
// as UTF-8, with unpaired surrogates kept as their own three-byte forms, so that decoding and
// encoding again gives the very same bytes.

#include <string>
#include <string_view>

namespace kv218 {

enum class ProfileEncoding { Bytes, Utf16Le, Utf16Be };

struct DecodedProfile {
  ProfileEncoding encoding = ProfileEncoding::Bytes;
  std::string text;  // without the UTF-16 byte-order mark
  std::string tail;  // a last odd byte of a UTF-16 file, kept as it was
};

DecodedProfile DecodeProfile(std::string_view bytes);
// The file's bytes for text: the byte-order mark first for UTF-16, then the text, then tail.
// Bytes of text that are not UTF-8 go out as the code units of the same value.
std::string EncodeProfile(std::string_view text, ProfileEncoding encoding, std::string_view tail);

}  // namespace kv218
