// A self-signed certificate and its key through OpenSSL 3, written as new files only.
#include "selfsignedpair.h"
#include "fail.h"

#include <QFile>
#include <QFileInfo>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <unistd.h>

namespace suite::server {

namespace {

template<auto Free> struct Deleter {
    template<typename T> void operator()(T* p) const { Free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Deleter<X509_free>>;
using Extension = std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION_free>>;
using Names = std::unique_ptr<GENERAL_NAMES, Deleter<GENERAL_NAMES_free>>;
using Name = std::unique_ptr<GENERAL_NAME, Deleter<GENERAL_NAME_free>>;
using Number = std::unique_ptr<BIGNUM, Deleter<BN_free>>;
using Memory = std::unique_ptr<BIO, Deleter<BIO_free>>;

// OpenSSL's reason for the last failure, for whoever has to read the message.
[[noreturn]] void failSsl(const char* what)
{
    char reason[256] = "unknown reason";
    if (const unsigned long code = ERR_get_error())
        ERR_error_string_n(code, reason, sizeof reason);
    ERR_clear_error();
    fail(QStringLiteral("cannot make the certificate: %1 failed (%2)").arg(QLatin1String(what), QLatin1String(reason)));
}

void check(int result, const char* what)
{
    if (result <= 0)
        failSsl(what);
}

QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool isDnsName(const QString& host)
{
    if (host.isEmpty() || host.size() > 253 || host.startsWith(u'.') || host.startsWith(u'-'))
        return false;
    for (const QChar c : host) {
        if (!(c.isDigit() || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'-' || c == u'.'))
            return false;
    }
    return true;
}

// The host as the certificate's alternative name: an IP address entry for an address literal, else a DNS entry.
// Built as a structure, not as OpenSSL's configuration text, where a comma in the host would add another name.
Names alternativeNames(const QString& host)
{
    const QByteArray ascii = host.toLatin1();
    Names names(GENERAL_NAMES_new());
    Name name(GENERAL_NAME_new());
    if (!names || !name)
        failSsl("GENERAL_NAME_new");
    if (ASN1_OCTET_STRING* address = a2i_IPADDRESS(ascii.constData())) {
        GENERAL_NAME_set0_value(name.get(), GEN_IPADD, address);
    } else {
        if (!isDnsName(host))
            fail(QStringLiteral("\"%1\" is neither a DNS name nor an IP address").arg(host));
        ASN1_IA5STRING* dns = ASN1_IA5STRING_new();
        if (!dns || !ASN1_STRING_set(dns, ascii.constData(), int(ascii.size()))) {
            ASN1_IA5STRING_free(dns);
            failSsl("ASN1_STRING_set");
        }
        GENERAL_NAME_set0_value(name.get(), GEN_DNS, dns);
    }
    check(sk_GENERAL_NAME_push(names.get(), name.get()), "sk_GENERAL_NAME_push");
    name.release();
    return names;
}

void addExtension(X509* certificate, X509V3_CTX& context, int nid, const char* value)
{
    Extension extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    if (!extension)
        failSsl(OBJ_nid2sn(nid));
    check(X509_add_ext(certificate, extension.get(), -1), "X509_add_ext");
}

Certificate selfSigned(const QString& host, EVP_PKEY* key, const CertificateValidity& validity)
{
    Certificate certificate(X509_new());
    if (!certificate)
        failSsl("X509_new");
    X509* x = certificate.get();
    check(X509_set_version(x, X509_VERSION_3), "X509_set_version");

    // 159 random bits: positive, under the 20 octets a serial may take, and never repeated by chance.
    Number serial(BN_new());
    if (!serial)
        failSsl("BN_new");
    check(BN_rand(serial.get(), 159, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY), "BN_rand");
    if (!BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(x)))
        failSsl("BN_to_ASN1_INTEGER");

    if (!ASN1_TIME_set(X509_getm_notBefore(x), validity.notBefore.toSecsSinceEpoch()) ||
        !ASN1_TIME_set(X509_getm_notAfter(x), validity.notAfter.toSecsSinceEpoch()))
        failSsl("ASN1_TIME_set");
    check(X509_set_pubkey(x, key), "X509_set_pubkey");

    // A common name holds at most 64 characters; a longer host is named by the alternative name alone.
    X509_NAME* subject = X509_get_subject_name(x);
    const QByteArray commonName = host.toUtf8();
    if (commonName.size() <= 64)
        check(X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                                         reinterpret_cast<const unsigned char*>(commonName.constData()), -1, -1, 0),
              "X509_NAME_add_entry_by_txt");
    check(X509_set_issuer_name(x, subject), "X509_set_issuer_name");

    X509V3_CTX context;
    X509V3_set_ctx(&context, x, x, nullptr, nullptr, 0);
    // A CA that signs itself: the same file then serves the clients as their CA file.
    addExtension(x, context, NID_basic_constraints, "critical,CA:TRUE");
    addExtension(x, context, NID_key_usage, "critical,digitalSignature,keyCertSign");
    addExtension(x, context, NID_ext_key_usage, "serverAuth");
    addExtension(x, context, NID_subject_key_identifier, "hash");
    addExtension(x, context, NID_authority_key_identifier, "keyid:always");
    const Names names = alternativeNames(host);
    check(X509_add1_ext_i2d(x, NID_subject_alt_name, names.get(), 0, X509V3_ADD_DEFAULT), "X509_add1_ext_i2d");

    check(X509_sign(x, key, EVP_sha256()), "X509_sign");
    return certificate;
}

template<typename Write> QByteArray pem(Write write, const char* what)
{
    Memory bio(BIO_new(BIO_s_mem()));
    if (!bio)
        failSsl("BIO_new");
    check(write(bio.get()), what);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return QByteArray(data, qsizetype(size));
}

// A file this call created, removed again unless the whole pair was written.
class NewFile {
public:
    NewFile(const QString& path, mode_t mode)
        : m_path(path)
    {
        const QByteArray name = QFile::encodeName(path);
        // O_EXCL refuses an existing file and any link, even a dangling one, where the file goes.
        m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (m_fd < 0) {
            if (errno == EEXIST)
                fail(QStringLiteral("%1 exists already: nothing was written; remove it or choose another name")
                         .arg(path));
            fail(QStringLiteral("cannot create %1: %2").arg(path, lastError()));
        }
    }
    ~NewFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_kept)
            ::unlink(QFile::encodeName(m_path).constData());
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    void write(const QByteArray& data)
    {
        qsizetype done = 0;
        while (done < data.size()) {
            const ssize_t n = ::write(m_fd, data.constData() + done, size_t(data.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                fail(QStringLiteral("cannot write %1: %2").arg(m_path, lastError()));
            done += n;
        }
        if (::fsync(m_fd) != 0 || ::close(m_fd) != 0) {
            m_fd = -1;
            fail(QStringLiteral("cannot write %1: %2").arg(m_path, lastError()));
        }
        m_fd = -1;
    }
    void keep() { m_kept = true; }

private:
    QString m_path;
    int m_fd = -1;
    bool m_kept = false;
};

} // namespace

CertificateValidity CertificateValidity::fromNow(int days)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    return {now, now.addDays(days)};
}

void makeSelfSignedPair(const QString& host, const QString& certPath, const QString& keyPath,
                        const CertificateValidity& validity)
{
    if (host.trimmed().isEmpty())
        fail(QStringLiteral("no host name for the certificate"));
    if (!validity.notBefore.isValid() || !validity.notAfter.isValid() || validity.notAfter <= validity.notBefore)
        fail(QStringLiteral("the certificate's validity ends before it starts"));
    if (QFileInfo(certPath).absoluteFilePath() == QFileInfo(keyPath).absoluteFilePath())
        fail(QStringLiteral("the certificate and the key need two files"));

    // Everything is made in memory first, so a refused host or an OpenSSL failure leaves no file.
    QString name = host.trimmed();
    if (name.startsWith(u'[') && name.endsWith(u']'))
        name = name.mid(1, name.size() - 2);
    const Key key(EVP_EC_gen("P-256"));
    if (!key)
        failSsl("EVP_EC_gen");
    const Certificate certificate = selfSigned(name, key.get(), validity);
    const QByteArray keyPem =
        pem([&](BIO* bio) { return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr); },
            "PEM_write_bio_PrivateKey");
    const QByteArray certificatePem =
        pem([&](BIO* bio) { return PEM_write_bio_X509(bio, certificate.get()); }, "PEM_write_bio_X509");

    NewFile keyFile(keyPath, 0600);
    NewFile certificateFile(certPath, 0644);
    keyFile.write(keyPem);
    certificateFile.write(certificatePem);
    keyFile.keep();
    certificateFile.keep();
}

} // namespace suite::server
