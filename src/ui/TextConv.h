#pragma once
#include <QString>
#include <string>

namespace brivel::ui {

inline std::string Std(const QString& s) { return s.toStdString(); }
inline QString Q(const std::string& s) { return QString::fromStdString(s); }

// Text controls keep "\n"; the program's texts use CR LF.
inline QString ToCrLf(const QString& s)
{
    QString t = s;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QChar(u'\r'), QChar(u'\n'));
    t.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return t;
}
inline QString ToLf(const QString& s)
{
    QString t = s;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QChar(u'\r'), QChar(u'\n'));
    return t;
}

} // namespace brivel::ui
