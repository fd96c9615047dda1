#include "db/oracle/OracleSql.h"

#include "core/AsciiText.h"

#include <cctype>
#include <optional>
#include <vector>

namespace brivel::db {

std::string FirstBindPlaceholder(const std::string& sql)
{
    auto isNameChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#';
    };
    for (size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            // A doubled quote stays inside the literal: the scan just resumes at it.
            const size_t end = sql.find(c, i + 1);
            if (end == std::string::npos)
                return {};
            i = end;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            i = sql.find('\n', i);
            if (i == std::string::npos)
                return {};
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            i = sql.find("*/", i + 2);
            if (i == std::string::npos)
                return {};
            ++i;
        } else if (c == ':' && i + 1 < sql.size() && isNameChar(sql[i + 1])) {
            size_t end = i + 1;
            while (end < sql.size() && isNameChar(sql[end]))
                ++end;
            return sql.substr(i, end - i);
        }
    }
    return {};
}

namespace {

// An Oracle Net parameter "(NAME=value)" or "(NAME=(...)(...))".
struct NetParam {
    std::string name;  // upper case, blanks around it removed
    size_t valueAt = 0; // offset just after the "="
    std::vector<NetParam> children;
};

class NetParser {
public:
    explicit NetParser(const std::string& text) : s_(text) {}

    // The whole text as one parameter, or nothing when it is not well formed.
    std::optional<NetParam> Parse()
    {
        NetParam root;
        if (!Param(root))
            return std::nullopt;
        SkipBlanks();
        if (i_ != s_.size())
            return std::nullopt;
        return root;
    }

private:
    void SkipBlanks()
    {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_])))
            ++i_;
    }

    bool Param(NetParam& p)
    {
        SkipBlanks();
        if (i_ >= s_.size() || s_[i_] != '(')
            return false;
        const size_t nameStart = ++i_;
        while (i_ < s_.size() && s_[i_] != '=' && s_[i_] != '(' && s_[i_] != ')')
            ++i_;
        if (i_ >= s_.size() || s_[i_] != '=')
            return false;
        for (size_t k = nameStart; k < i_; ++k)
            if (!std::isspace(static_cast<unsigned char>(s_[k])))
                p.name += UpperAscii(s_[k]);
        p.valueAt = ++i_;
        SkipBlanks();
        if (i_ < s_.size() && s_[i_] == '(') {
            while (i_ < s_.size() && s_[i_] == '(') {
                NetParam child;
                if (!Param(child))
                    return false;
                p.children.push_back(std::move(child));
                SkipBlanks();
            }
        } else {
            // A plain value; double quotes let it hold the reserved characters.
            while (i_ < s_.size() && s_[i_] != ')') {
                if (s_[i_] == '(' || s_[i_] == '=')
                    return false;
                if (s_[i_] == '"') {
                    const size_t close = s_.find('"', i_ + 1);
                    if (close == std::string::npos)
                        return false;
                    i_ = close;
                }
                ++i_;
            }
        }
        if (i_ >= s_.size() || s_[i_] != ')')
            return false;
        ++i_;
        return true;
    }

    const std::string& s_;
    size_t i_ = 0;
};

} // namespace

std::string WithConnectTimeout(const std::string& descriptor)
{
    const std::optional<NetParam> root = NetParser(descriptor).Parse();
    if (!root || root->name != "DESCRIPTION" || root->children.empty())
        return descriptor;
    for (const NetParam& p : root->children)
        if (p.name == "CONNECT_TIMEOUT" || p.name == "TRANSPORT_CONNECT_TIMEOUT")
            return descriptor;  // the descriptor's own bound stands
    return descriptor.substr(0, root->valueAt) + "(CONNECT_TIMEOUT=15)(TRANSPORT_CONNECT_TIMEOUT=15)" +
           descriptor.substr(root->valueAt);
}

} // namespace brivel::db
