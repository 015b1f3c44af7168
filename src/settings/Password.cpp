#include "settings/Password.h"

#include "base/MessageService.h"
#include "data/datamodule.h"

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

static QString stored(TDataModule1& dm) {
    return dm.ReadSetting(QStringLiteral("密码"));
}

bool check(TDataModule1& dm, const QString& typed) {
    if (trimmed(typed) != stored(dm)) {
        msg::error(QStringLiteral("密码错误。"));
        return false;
    }
    password_ok = 1;
    return true;
}

ChangeResult change(TDataModule1& dm, const QString& current, const QString& newPassword,
                    const QString& confirmation) {
    const QString fresh = trimmed(newPassword);
    if (fresh != trimmed(confirmation)) {
        msg::error(QStringLiteral("两次输入的密码不一致，请重新输入。"), QStringLiteral("出错"));
        return ChangeResult::Mismatch;
    }
    if (trimmed(current) != stored(dm)) {
        msg::error(QStringLiteral("输入的原密码不正确，请重新输入。"), QStringLiteral("出错"));
        return ChangeResult::WrongCurrent;
    }
    if (!dm.WriteSetting(QStringLiteral("密码"), fresh)) {
        msg::error(QStringLiteral("数据库写入出错!"));
        return ChangeResult::WriteFailed;
    }
    msg::notice(QStringLiteral("修改密码成功。"));
    return ChangeResult::Changed;
}

} // namespace Password
