#include "invfile/match_key.h"

#include <openssl/evp.h>

namespace bramble {

void AppendMatchKeyText(std::string_view occurrence, std::string* key_text) {
  for (size_t i = 0; i < occurrence.size(); ++i) {
    char c = occurrence[i];
    if (c == '^') {
      ++i;  // the subfield code goes with its marker
      continue;
    }
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) key_text->push_back(c);
  }
}

std::string Md5Hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  // EVP_Digest does the whole init/update/final cycle on one context.
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr) != 1) {
    return std::string();
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * length);
  for (unsigned int i = 0; i < length; ++i) {
    hex.push_back(kHex[digest[i] >> 4]);
    hex.push_back(kHex[digest[i] & 0x0F]);
  }
  return hex;
}

}  // namespace bramble
