#pragma once

#include <QByteArrayView>
#include <QString>
#include <memory>

struct evp_md_ctx_st;

// Streaming SHA-256 over OpenSSL's EVP interface.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void update(QByteArrayView bytes);
    // The bytes preceded by their length as a big-endian 64-bit integer.
    void updateField(QByteArrayView bytes);
    // The digest as lowercase hexadecimal; the object is spent afterwards.
    QString finalHex();

    static QString hex(QByteArrayView bytes);

private:
    struct ContextDeleter {
        void operator()(evp_md_ctx_st* context) const;
    };
    std::unique_ptr<evp_md_ctx_st, ContextDeleter> m_context;
};
