#pragma once
// A station's Ed25519 key (OpenSSL's EVP). Its private half seals the runs the
// station records; its public half, all a verifier needs, checks them years
// later. Keys are kept as PEM: PKCS#8 for the private half, the
// SubjectPublicKeyInfo for the public one, so OpenSSL's own tools read them.

#include <memory>
#include <string>
#include <string_view>

#include "base/Result.h"

struct evp_pkey_st;

namespace orvalt {

class StationKey {
  public:
    static Result<StationKey> Make();
    // `where` names the text in messages (its file).
    static Result<StationKey> FromPrivatePem(std::string_view pem, const std::string& where);
    static Result<StationKey> FromPublicPem(std::string_view pem, const std::string& where);

    // 16 hex digits of the SHA-256 of the raw public key: the name a seal
    // gives the key that made it.
    const std::string& Id() const { return id_; }
    bool CanSign() const { return canSign_; }

    // The signature of `message` as 128 hex digits; a key without its private
    // half can't sign.
    Result<std::string> Sign(std::string_view message) const;
    bool Verifies(std::string_view message, std::string_view signatureHex) const;

    Result<std::string> PrivatePem() const;
    Result<std::string> PublicPem() const;

  private:
    struct FreeKey {
        void operator()(evp_pkey_st* key) const;
    };
    StationKey(std::shared_ptr<evp_pkey_st> key, bool canSign);
    static Result<StationKey> FromPem(std::string_view pem, bool privateHalf,
                                      const std::string& what);

    std::shared_ptr<evp_pkey_st> key_;
    bool canSign_ = false;
    std::string id_;
};

}  // namespace orvalt
