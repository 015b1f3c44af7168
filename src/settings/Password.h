#pragma once

#include <QString>

class TDataModule1;

// Set to 1 by a successful password prompt; callers set it to 0 before asking.
extern int password_ok;

// The decisions of the password prompt and the password change window.
namespace Password {
// Leading and trailing blanks and control characters removed.
QString trimmed(const QString& text);

// Prompt "确定": true when the typed text (trimmed) equals the stored password
// (as stored). A wrong password shows "密码错误。". Read errors throw.
bool check(TDataModule1& dm, const QString& typed);

enum class ChangeResult { Changed, Mismatch, WrongCurrent, WriteFailed };
// Change "确定": every message of the change window is shown from here.
ChangeResult change(TDataModule1& dm, const QString& current, const QString& newPassword,
                    const QString& confirmation);
} // namespace Password
