#include "models/Sha256.h"

#include <QtEndian>
#include <openssl/evp.h>
#include <stdexcept>

void Sha256::ContextDeleter::operator()(evp_md_ctx_st* context) const
{
    EVP_MD_CTX_free(context);
}

Sha256::Sha256() : m_context(EVP_MD_CTX_new())
{
    if (!m_context || EVP_DigestInit_ex(m_context.get(), EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 is not available from libcrypto");
}

Sha256::~Sha256() = default;

void Sha256::update(QByteArrayView bytes)
{
    if (!bytes.isEmpty())
        EVP_DigestUpdate(m_context.get(), bytes.data(), static_cast<size_t>(bytes.size()));
}

void Sha256::updateField(QByteArrayView bytes)
{
    unsigned char length[8];
    qToBigEndian<quint64>(static_cast<quint64>(bytes.size()), length);
    EVP_DigestUpdate(m_context.get(), length, sizeof length);
    update(bytes);
}

QString Sha256::finalHex()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_DigestFinal_ex(m_context.get(), digest, &size);
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(digest), static_cast<qsizetype>(size)).toHex());
}

QString Sha256::hex(QByteArrayView bytes)
{
    Sha256 sha;
    sha.update(bytes);
    return sha.finalHex();
}
