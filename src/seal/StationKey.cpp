#include "seal/StationKey.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <array>

#include "domain/HexText.h"
#include "records/Sha256.h"

namespace orvalt {

namespace {

constexpr std::size_t kRawKeyBytes = 32;
constexpr std::size_t kSignatureBytes = 64;
constexpr std::size_t kIdDigits = 16;

using Bio = std::unique_ptr<BIO, decltype(&BIO_free)>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

// OpenSSL's last reason, for a message; its queue is emptied.
std::string OpenSslReason() {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) {
        return "OpenSSL gave no reason";
    }
    std::array<char, 256> text{};
    ERR_error_string_n(code, text.data(), text.size());
    return text.data();
}

// A PEM that asks for a passphrase is refused rather than prompting on a
// terminal that may not be there.
int NoPassphrase(char*, int, int, void*) {
    return -1;
}

Result<std::string> PemOf(EVP_PKEY* key, bool privateHalf) {
    const Bio bio(BIO_new(BIO_s_mem()), &BIO_free);
    const int written = bio ? (privateHalf ? PEM_write_bio_PrivateKey(bio.get(), key, nullptr,
                                                                      nullptr, 0, nullptr, nullptr)
                                           : PEM_write_bio_PUBKEY(bio.get(), key))
                            : 0;
    if (written != 1) {
        return Fail("Can't write the station key: " + OpenSslReason());
    }
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(length));
}

}  // namespace

void StationKey::FreeKey::operator()(evp_pkey_st* key) const {
    EVP_PKEY_free(key);
}

StationKey::StationKey(std::shared_ptr<evp_pkey_st> key, bool canSign)
    : key_(std::move(key)), canSign_(canSign) {
    std::array<unsigned char, kRawKeyBytes> raw{};
    std::size_t length = raw.size();
    if (EVP_PKEY_get_raw_public_key(key_.get(), raw.data(), &length) == 1) {
        id_ = Sha256Hex(std::string_view(reinterpret_cast<const char*>(raw.data()), length))
                  .substr(0, kIdDigits);
    }
}

Result<StationKey> StationKey::Make() {
    EVP_PKEY* made = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
    if (!made) {
        return Fail("Can't make a station key: " + OpenSslReason());
    }
    return StationKey(std::shared_ptr<evp_pkey_st>(made, FreeKey{}), true);
}

// `what` names the half asked for in a refusal: "The station key FILE is no
// private key", "The key FILE is no public key".
Result<StationKey> StationKey::FromPem(std::string_view pem, bool privateHalf,
                                       const std::string& what) {
    const Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), &BIO_free);
    EVP_PKEY* read = !bio ? nullptr
                     : privateHalf
                         ? PEM_read_bio_PrivateKey(bio.get(), nullptr, NoPassphrase, nullptr)
                         : PEM_read_bio_PUBKEY(bio.get(), nullptr, NoPassphrase, nullptr);
    if (!read) {
        return Fail(what + " is no " + (privateHalf ? "private" : "public") +
                    " key: " + OpenSslReason());
    }
    std::shared_ptr<evp_pkey_st> key(read, FreeKey{});
    if (!EVP_PKEY_is_a(read, "ED25519")) {
        return Fail(what + " is not an Ed25519 key.");
    }
    return StationKey(std::move(key), privateHalf);
}

Result<StationKey> StationKey::FromPrivatePem(std::string_view pem, const std::string& where) {
    return FromPem(pem, true, "The station key " + where);
}

Result<StationKey> StationKey::FromPublicPem(std::string_view pem, const std::string& where) {
    return FromPem(pem, false, "The key " + where);
}

Result<std::string> StationKey::Sign(std::string_view message) const {
    if (!canSign_) {
        return Fail("The key " + id_ + " has no private half to sign with.");
    }
    const DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    std::array<unsigned char, kSignatureBytes> signature{};
    std::size_t length = signature.size();
    if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key_.get()) != 1 ||
        EVP_DigestSign(context.get(), signature.data(), &length,
                       reinterpret_cast<const unsigned char*>(message.data()),
                       message.size()) != 1) {
        return Fail("Can't sign with the key " + id_ + ": " + OpenSslReason());
    }
    return LowerHexText(signature.data(), length);
}

bool StationKey::Verifies(std::string_view message, std::string_view signatureHex) const {
    std::array<unsigned char, kSignatureBytes> signature{};
    if (!BytesFromHex(signatureHex, signature.data(), signature.size())) {
        return false;
    }
    const DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    const bool verified =
        context &&
        EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key_.get()) == 1 &&
        EVP_DigestVerify(context.get(), signature.data(), signature.size(),
                         reinterpret_cast<const unsigned char*>(message.data()),
                         message.size()) == 1;
    ERR_clear_error();  // a signature that does not verify leaves a reason queued
    return verified;
}

Result<std::string> StationKey::PrivatePem() const {
    if (!canSign_) {
        return Fail("The key " + id_ + " has no private half.");
    }
    return PemOf(key_.get(), true);
}

Result<std::string> StationKey::PublicPem() const {
    return PemOf(key_.get(), false);
}

}  // namespace orvalt
