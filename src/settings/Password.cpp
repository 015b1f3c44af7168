#include "settings/Password.h"

#include "base/MessageService.h"
#include "data/datamodule.h"

#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QStringList>

int password_ok = 0;

namespace Password {

QString trimmed(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    auto blank = [](QChar c) { return c.unicode() <= 32 || c.isSpace(); };
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

namespace {
// Slow enough to make guessing expensive, quick enough not to hold up the
// clock's tick noticeably. Stored with each digest, so it can grow later.
constexpr int kIterations = 20000;
constexpr int kDigestBytes = 32;

QByteArray derive(const QString& password, const QByteArray& salt, int iterations) {
    return pbkdf2Sha256(password.toUtf8(), salt, iterations, kDigestBytes);
}

bool sameBytes(const QByteArray& a, const QByteArray& b) {
    // Takes as long however many leading bytes agree.
    if (a.size() != b.size())
        return false;
    unsigned char differ = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        differ |= static_cast<unsigned char>(a[i] ^ b[i]);
    return differ == 0;
}

QString stored(TDataModule1& dm) {
    return dm.ReadSetting(QStringLiteral("密码"));
}

QString storedForm(const QString& password) {
    return password.isEmpty() ? QString() : hash(password);
}
} // namespace

QByteArray pbkdf2Sha256(const QByteArray& password, const QByteArray& salt, int iterations,
                        int bytes) {
    QMessageAuthenticationCode mac(QCryptographicHash::Sha256, password);
    QByteArray key;
    for (quint32 block = 1; key.size() < bytes; ++block) {
        QByteArray index(4, Qt::Uninitialized);
        index[0] = char(block >> 24);
        index[1] = char(block >> 16);
        index[2] = char(block >> 8);
        index[3] = char(block);
        mac.reset();
        mac.addData(salt);
        mac.addData(index);
        QByteArray u = mac.result();
        QByteArray t = u;
        for (int i = 1; i < iterations; ++i) {
            mac.reset();
            mac.addData(u);
            u = mac.result();
            for (qsizetype j = 0; j < t.size(); ++j)
                t[j] = char(t[j] ^ u[j]);
        }
        key += t;
    }
    return key.left(bytes);
}

QString hash(const QString& password) {
    QByteArray salt(16, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(salt.data()),
                                          salt.size() / qsizetype(sizeof(quint32)));
    return QLatin1String(hashPrefix) + QString::number(kIterations) + QLatin1Char('$') +
           QString::fromLatin1(salt.toBase64()) + QLatin1Char('$') +
           QString::fromLatin1(derive(password, salt, kIterations).toBase64());
}

bool matches(const QString& storedValue, const QString& password) {
    if (!storedValue.startsWith(QLatin1String(hashPrefix)))
        return password == storedValue;
    const QStringList parts =
        storedValue.mid(qsizetype(qstrlen(hashPrefix))).split(QLatin1Char('$'));
    bool ok = false;
    const int iterations = parts.size() == 3 ? parts[0].toInt(&ok) : 0;
    if (!ok || iterations < 1 || iterations > 10'000'000)
        return password == storedValue; // not one of ours after all
    const QByteArray salt = QByteArray::fromBase64(parts[1].toLatin1());
    const QByteArray digest = QByteArray::fromBase64(parts[2].toLatin1());
    return sameBytes(derive(password, salt, iterations), digest);
}

bool check(TDataModule1& dm, const QString& typed) {
    const QString password = trimmed(typed);
    const QString value = stored(dm);
    if (!matches(value, password)) {
        msg::error(QStringLiteral("密码错误。"));
        return false;
    }
    password_ok = 1;
    // A password still in plain text is replaced by its digest; should the
    // write fail, it simply stays as it was until the next time.
    if (!value.isEmpty() && !value.startsWith(QLatin1String(hashPrefix)))
        dm.WriteSetting(QStringLiteral("密码"), hash(password));
    return true;
}

ChangeResult change(TDataModule1& dm, const QString& current, const QString& newPassword,
                    const QString& confirmation) {
    const QString fresh = trimmed(newPassword);
    if (fresh != trimmed(confirmation)) {
        msg::error(QStringLiteral("两次输入的密码不一致，请重新输入。"), QStringLiteral("出错"));
        return ChangeResult::Mismatch;
    }
    if (!matches(stored(dm), trimmed(current))) {
        msg::error(QStringLiteral("输入的原密码不正确，请重新输入。"), QStringLiteral("出错"));
        return ChangeResult::WrongCurrent;
    }
    if (!dm.WriteSetting(QStringLiteral("密码"), storedForm(fresh))) {
        msg::error(QStringLiteral("数据库写入出错!"));
        return ChangeResult::WriteFailed;
    }
    msg::notice(QStringLiteral("修改密码成功。"));
    return ChangeResult::Changed;
}

} // namespace Password
