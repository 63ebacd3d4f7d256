#include "records/Sha256.h"

#include <openssl/evp.h>

#include <array>

#include "domain/HexText.h"

namespace orvalt {

// OpenSSL computes it: a digest a record is trusted by is not our own code.
std::string Sha256Hex(std::string_view bytes) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) !=
        1) {
        return {};  // only when the library itself fails; an empty digest matches nothing
    }
    return LowerHexText(digest.data(), length);
}

}  // namespace orvalt
