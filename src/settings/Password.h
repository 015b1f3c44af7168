#pragma once

#include <QByteArray>
#include <QString>

class TDataModule1;

// Set to 1 by a successful password prompt; callers set it to 0 before asking.
extern int password_ok;

// The decisions of the password prompt and the password change window.
namespace Password {
// Leading and trailing blanks and control characters removed.
QString trimmed(const QString& text);

// PBKDF2 with HMAC-SHA256 (RFC 8018): bytes of key derived from password and
// salt in the given number of iterations.
QByteArray pbkdf2Sha256(const QByteArray& password, const QByteArray& salt, int iterations,
                        int bytes);

// The password is stored as a salted PBKDF2-SHA256 digest in the text
// "pbkdf2-sha256$<iterations>$<salt>$<digest>" (base64). The empty password
// is stored as the empty text. A value without the prefix is a password
// stored in plain text by an older version.
inline constexpr const char* hashPrefix = "pbkdf2-sha256$";
// The stored form of a (trimmed) password; a fresh salt every time.
QString hash(const QString& password);
// True when password (trimmed) is the one the stored value stands for.
bool matches(const QString& storedValue, const QString& password);

// Prompt "确定": true when the typed text (trimmed) is the stored password. A
// password still stored in plain text is replaced by its digest then. A wrong
// password shows "密码错误。". Read errors throw.
bool check(TDataModule1& dm, const QString& typed);

enum class ChangeResult { Changed, Mismatch, WrongCurrent, WriteFailed };
// Change "确定": every message of the change window is shown from here.
ChangeResult change(TDataModule1& dm, const QString& current, const QString& newPassword,
                    const QString& confirmation);
} // namespace Password
