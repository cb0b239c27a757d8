#include "tarvex/oracle_user_names.h"

#include "TK/tk_logger.h"
#include "TK/tk_wstring.h"

std::wstring oracle_user_names::candidate(const std::wstring& schema) const
{
    return uppercase_ ? static_cast<std::wstring>(tk_wstring(schema).to_upper()) : schema;
}

void oracle_user_names::assign(const std::wstring& schema, const std::wstring& user)
{
    tk_logger::log(2, L"Oracle user of schema '%s': '%s'", schema.c_str(), user.c_str());
    users_[schema] = user;
    taken_.add_existing_name(user);
}

void oracle_user_names::plan(const std::vector<std::wstring>& schemas, bool uppercase)
{
    uppercase_ = uppercase;
    // Names Oracle takes as written first, so that none of them loses its name to a safe name made before it.
    std::vector<std::wstring> refused;
    for (const auto& s : schemas) {
        if (s.empty() || users_.count(s)) continue;
        const std::wstring c = candidate(s);
        if (taken_.is_acceptable(c) && !taken_.is_duplicated(c))
            assign(s, c);
        else
            refused.push_back(s);
    }
    for (const auto& s : refused)
        if (!users_.count(s)) assign(s, taken_.get_safe_name(candidate(s)));
}

std::wstring oracle_user_names::user_of(const std::wstring& schema)
{
    if (schema.empty()) return schema;
    auto it = users_.find(schema);
    if (it != users_.end()) return it->second;
    plan({schema}, uppercase_);
    return users_[schema];
}

void oracle_user_names::clear()
{
    users_.clear();
    taken_ = ora_validator();
}
